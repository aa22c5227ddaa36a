#include "device/ident_chain.h"

namespace ferrolad {

namespace {

TRegistersArray ToRequests(const TDC_Records_Array& records) {
  TRegistersArray list;
  for (const TDC_Record& r : records) list.push_back(RequestFromRecord(r, true));
  return list;
}

}  // namespace

TIdentificationChain::TIdentificationChain(TModBus& modbus) : modbus_(modbus) {}

TRegistersArray TIdentificationChain::VersionInfoList() { return ToRequests(VersionInfoRequests()); }
TRegistersArray TIdentificationChain::MapsInfoList() { return ToRequests(MapsInfoRequests()); }

TRegistersArray TIdentificationChain::InitialInformationList() {
  const auto model = CurrentDevice();
  if (!model || model->Empty()) return {};
  return ToRequests(model->ParameterReads);
}

void TIdentificationChain::Bind() {
  modbus_.MapsInfoRequests = [] { return MapsInfoList(); };
  modbus_.InitialInformationRequests = [] { return InitialInformationList(); };
  modbus_.IdentificationEnded = [this] {
    Breakpoints.Lines = pendingLines_;
    Breakpoints.Active = pendingActive_;
    Breakpoints.Shown = true;
    Finished = true;
    Notify();
  };
}

bool TIdentificationChain::Start() {
  State.Reset();
  Breakpoints = {};
  pendingLines_ = {};
  pendingActive_ = {};
  ModelName.clear();
  Finished = false;
  return modbus_.GetVersionInfo(VersionInfoList());
}

void TIdentificationChain::Notify() {
  if (Changed) Changed();
}

void TIdentificationChain::OnIdentificationAnswer(const TReadResponse& response) {
  const TIdentificationAction action =
      HandleIdentificationAnswer(State, response.Address, static_cast<uint32_t>(response.Value));
  if (action.Apply != nullptr) {
    ApplyDeviceDescription(*action.Apply, State.Fw, Device);
    ModelName = action.Apply->ModelName;
  }
  if (action.Disconnect) {
    if (ShowMessage) ShowMessage(action.Message);
    // Nothing is left to identify on a closed port: the later steps would only fail one by one.
    modbus_.InitSequenceActive = 0;
    if (Disconnect) Disconnect();
  }
  Notify();
}

void TIdentificationChain::OnBreakpointAnswer(const TReadResponse& response) {
  if (response.Function == 3 && response.Address >= 0x6200 && response.Address <= 0x6203) {
    pendingLines_[response.Address - 0x6200] = static_cast<uint16_t>(response.Value & 0xFFFF);
  } else if (response.Function == 1 && response.Address >= 0x6200 && response.Address <= 0x6203) {
    for (int i = 0; i < response.RequestedItems && response.Address - 0x6200 + i < 4; ++i) {
      pendingActive_[static_cast<size_t>(response.Address - 0x6200 + i)] = (response.Value >> i) & 1;
    }
  }
}

}  // namespace ferrolad
