#include "device/controller_link.h"

namespace ferrolad {

TControllerLink::TControllerLink(TModBus& modbus, MainThread& main, const TCommonDatas& settings)
    : Ident(modbus), modbus_(modbus), main_(main), settings_(settings) {
  Disconnect = [this] {
    if (auto port = modbus_.Port()) port->Close();
  };
}

TControllerLink::~TControllerLink() { StopReading(); }

void TControllerLink::ShowMessage(const std::string& text) { Messages.push_back(text); }

TReadResponse TControllerLink::CurrentResponse() const {
  TReadResponse r;
  std::lock_guard lock(modbus_.ResponseLock);
  r.Function = modbus_.ResponseFunction;
  r.Address = modbus_.ResponseAddress;
  r.Value = modbus_.ResponseValue;
  r.Bytes = modbus_.ResponseBytes;
  r.RequestedItems = modbus_.RequestedItems;
  return r;
}

void TControllerLink::Bind() {
  Ident.Bind();
  Ident.ShowMessage = [this](const std::string& text) { ShowMessage(text); };
  Ident.Disconnect = [this] {
    if (Disconnect) Disconnect();
  };
  Status.ClosePort = [this] {
    if (Disconnect) Disconnect();
  };
  Status.Forward = [this](TResponseRoute route, const TReadResponse& r) {
    switch (route) {
      case TResponseRoute::Identification: Ident.OnIdentificationAnswer(r); break;
      case TResponseRoute::Breakpoints: Ident.OnBreakpointAnswer(r); break;
      case TResponseRoute::ProgramLineCount: Reading.OnLineCount(static_cast<uint16_t>(r.Value & 0xFFFF)); break;
      case TResponseRoute::ProgramSector: Reading.OnSectorData(r.Bytes); break;
      default: break;
    }
  };
  modbus_.HandleResponse = [this] {
    const TReadResponse r = CurrentResponse();
    Status.HandleResponse(r);
    if (AnswerHandled) AnswerHandled(r);
  };
  modbus_.ClearSectorReady = [this] { Reading.ClearSectorReady(); };
}

bool TControllerLink::StartReading(TProgramType type, uint8_t slaveId) {
  if (ReadingRunning()) return false;
  const auto model = CurrentDevice();
  if (!model || model->Empty()) return false;
  StopReading();
  readerEnded_ = false;
  TPacketReadThread::Hooks hooks;
  hooks.ControllerInRun = [this] { return Status.Values.RunStop == 1; };
  hooks.Ended = [this] { readerEnded_ = true; };
  reader_ = std::make_unique<TPacketReadThread>(modbus_, main_, settings_, *model, Reading, Program, type, slaveId,
                                                std::move(hooks));
  reader_->Start();
  return true;
}

bool TControllerLink::ReadingRunning() const { return reader_ != nullptr && !readerEnded_; }

void TControllerLink::StopReading() {
  if (reader_) reader_->Stop();
  reader_.reset();
  readerEnded_ = true;
}

}  // namespace ferrolad
