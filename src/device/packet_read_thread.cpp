#include "device/packet_read_thread.h"

#include <algorithm>
#include <exception>

namespace ferrolad {

namespace {

bool Add(TRegistersArray& list, const TDeviceDescription& model, const char* name, int32_t value, bool counted,
         bool verify, bool repeat, bool noData) {
  TRWmbrReg r;
  if (!BuildRequest(model, name, value, counted, 0, repeat, verify, noData, r)) return false;
  list.push_back(std::move(r));
  return true;
}

}  // namespace

TPacketReadThread::TPacketReadThread(TModBus& modbus, MainThread& main, const TCommonDatas& settings,
                                     const TDeviceDescription& model, TFastReadingProcess& reading,
                                     TProgramReadingView& view, TProgramType type, uint8_t slaveId, Hooks hooks)
    : ProgramType(type),
      MaxRegistersPerRead(settings.MaxReadRegisters()),
      StartWait(settings.ComTimeout() + settings.ResponseWait() + settings.GeneralTimeout()),
      PerRequestWait((settings.ReadAttempts() - 1) * settings.ComTimeout() + settings.ResponseWait() +
                     settings.ComTimeout() + settings.ResponseWait() + settings.GeneralTimeout() +
                     2 * ((settings.ResponseWait() + settings.ComTimeout()) * (settings.ReadAttempts() - 1) +
                          settings.ResponseWait())),
      modbus_(modbus),
      gate_(main),
      model_(model),
      reading_(reading),
      view_(view),
      slaveId_(slaveId),
      hooks_(std::move(hooks)) {}

TPacketReadThread::~TPacketReadThread() { Stop(); }

void TPacketReadThread::Stop() {
  Terminate();
  gate_.Close();  // a step waiting on the window thread gives up
  Join();
}

std::optional<TRegistersArray> TPacketReadThread::PartOneRequests(const TDeviceDescription& model, TProgramType type) {
  TRegistersArray list;
  const bool ok = Add(list, model, "GET_RUN_STOP", 0, false, true, false, true) &&
                  Add(list, model, "SET_READ_WRITE_PROG", 0, true, false, false, false) &&
                  Add(list, model, "SET_MAIN_SERVICE_PROG", type == TProgramType::Service ? 1 : 0, true, false,
                      false, false) &&
                  Add(list, model, "GET_ROM_STATE", 0, false, true, true, true);
  if (!ok) return std::nullopt;
  return list;
}

std::optional<TRegistersArray> TPacketReadThread::PacketRequests(const TDeviceDescription& model, int nextLine,
                                                                 int packetLines, int maxRegistersPerRead) {
  TRegistersArray list;
  const bool ok = Add(list, model, "GET_ROM_STATE", 0, false, true, true, true) &&
                  Add(list, model, "WRITE_PROG_LINE_NUMBER", nextLine, true, false, false, false) &&
                  Add(list, model, "WRITE_PROG_LINES_QTY", packetLines, true, false, false, false) &&
                  Add(list, model, "START_PACKET_RW_PROG", 1, true, false, false, false) &&
                  Add(list, model, "GET_ROM_STATE", 0, false, true, true, true) &&
                  Add(list, model, "READ_PROG_LINES_QTY", 0, true, false, false, true);
  const TDC_Record first = LookupCommand("GET_RW_SECTOR", model);
  const TDC_Record last = LookupCommand("LAST_ADDRESS_FOR_RW_SECTOR", model);
  if (!ok || !first.Valid || !last.Valid || last.Address < first.Address) return std::nullopt;
  // A piece is at most what one read may carry; a setting of 0 or less would never end.
  const int piece = std::max(1, std::min<int>(first.RegisterCount, maxRegistersPerRead));
  for (int address = first.Address; address <= last.Address; address += piece) {
    TRWmbrReg r;
    r.FunctionCode = first.FunctionCode;
    r.Address = static_cast<uint16_t>(address);
    r.Count = static_cast<uint16_t>(std::min(piece, last.Address - address + 1));
    r.Name = first.Name;
    r.Counted = 1;
    list.push_back(std::move(r));
  }
  return list;
}

bool TPacketReadThread::Stopping() const { return Terminated() || modbus_.StopAll.load(); }

void TPacketReadThread::Log(const std::string& text) {
  if (modbus_.Log) modbus_.Log->PostLogEntry(LogEntryKind::Error, text);
}

void TPacketReadThread::UpdateView(const std::function<void()>& change) {
  gate_.RunSync([&] {
    change();
    if (hooks_.ViewChanged) hooks_.ViewChanged();
  });
}

void TPacketReadThread::DisplayOff() {
  {
    std::lock_guard lock(reading_.Lock);
    reading_.Active = false;
    reading_.Done = true;
  }
  UpdateView([&] { SetReadingDisplay(view_, false); });
}

void TPacketReadThread::SetResult(uint8_t code) {
  {
    std::lock_guard lock(reading_.Lock);
    reading_.ResultCode = code;
  }
  const std::string comment = ReadResultComment(code);
  if (!comment.empty()) UpdateView([&] { view_.MemoIL.push_back(comment); });
}

void TPacketReadThread::Show() {
  UpdateView([&] {
    std::lock_guard lock(reading_.Lock);
    ShowReadProgram(reading_, reading_.SectorReady, view_);
  });
}

bool TPacketReadThread::Transfer(const char* name, const TRegistersArray& list, bool& refused) {
  refused = false;
  WaitFor(modbus_.RWThreadFree, StartWait, &modbus_.StopAll);
  if (Stopping()) return false;
  {
    std::lock_guard lock(reading_.Lock);
    reading_.SectorReady = false;
  }
  bool started = false;
  gate_.RunSync([&] { started = modbus_.StartTransfer(true, slaveId_, true, name, list); });
  if (!started) {
    refused = true;
    return false;
  }
  const long long limit = static_cast<long long>(list.size()) * PerRequestWait;
  return WaitFor(modbus_.TransferFree, static_cast<int>(std::min<long long>(limit, 1LL << 30)), &modbus_.StopAll);
}

void TPacketReadThread::Execute() {
  try {
    Run();
  } catch (const std::exception&) {
    Log("Program error. It is recommended to restart the software");
    if (!Stopping()) DisplayOff();
  }
  gate_.RunSync([&] {
    view_.PageControlEnabled = true;
    if (hooks_.Ended) hooks_.Ended();
    if (hooks_.ViewChanged) hooks_.ViewChanged();
  });
}

void TPacketReadThread::Run() {
  if (Stopping()) return;
  {
    std::lock_guard lock(reading_.Lock);
    reading_.Reset();
    reading_.ProgramType = static_cast<uint8_t>(ProgramType);
    reading_.MaxLines = ProgramType == TProgramType::Main ? kMainProgramMaxLines : kServiceProgramMaxLines;
    reading_.Active = true;
  }
  UpdateView([&] {
    view_.PageControlEnabled = false;
    view_.lblProgramReadingCounter.clear();
    SetReadingDisplay(view_, true);
  });
  const auto partOne = PartOneRequests(model_, ProgramType);
  if (!partOne) {
    DisplayOff();
    return;
  }
  bool refused = false;
  if (!Transfer(kPartOneName, *partOne, refused)) {
    if (Stopping()) return;
    Log(refused ? "Program reading failed" : "Program reading failed - timeout error");
    SetResult(ReadResultNone);
    DisplayOff();
    return;
  }
  if (Stopping()) return;
  bool inRun = false;
  gate_.RunSync([&] { inRun = hooks_.ControllerInRun && hooks_.ControllerInRun(); });
  if (inRun) {
    Log("Reading impossible. Change the controller to STOP mode");
    DisplayOff();
    return;
  }
  int maxLines;
  {
    std::lock_guard lock(reading_.Lock);
    reading_.NextLine = 0;
    reading_.PacketLines = kLinesPerPacket;
    reading_.LinesInPacket = 0;
    maxLines = reading_.MaxLines;
  }
  while (true) {
    if (Stopping()) return;
    int nextLine, packetLines;
    {
      std::lock_guard lock(reading_.Lock);
      nextLine = reading_.NextLine;
      packetLines = reading_.PacketLines;
    }
    const auto packet = PacketRequests(model_, nextLine, packetLines, MaxRegistersPerRead);
    if (!packet) {
      DisplayOff();
      return;
    }
    if (!Transfer(kPartTwoName, *packet, refused)) {
      if (Stopping()) return;
      Log(refused ? "Program reading failed" : "Program reading failed - timeout error 2");
      DisplayOff();
      return;
    }
    if (Stopping()) return;
    bool dataArrived;
    {
      std::lock_guard lock(reading_.Lock);
      dataArrived = reading_.SectorReady;
    }
    if (!dataArrived) {
      Log("Program reading failed");
      SetResult(ReadResultFailed);
      Show();
      DisplayOff();
      return;
    }
    // Decode what this packet delivered.
    bool failed = false, endFound = false;
    int linesInPacket = 0;
    {
      std::lock_guard lock(reading_.Lock);
      linesInPacket = reading_.LinesInPacket;
      int decoded = 0;
      for (size_t at = 0; at + kReadBackRecordSize <= reading_.Data.size() && decoded < linesInPacket;
           at += kReadBackRecordSize) {
        TDebugInstruction instruction;
        if (!DecodeInstruction(std::span<const uint8_t>(reading_.Data).subspan(at, kReadBackRecordSize),
                               model_.EndCode, instruction, reading_.EndFound)) {
          failed = true;
          break;
        }
        reading_.Instructions.push_back(std::move(instruction));
        ++decoded;
        const size_t count = reading_.Instructions.size();
        gate_.Post([this, count] {
          view_.lblProgramReadingCounter = "Commands: " + std::to_string(count);
          if (hooks_.ViewChanged) hooks_.ViewChanged();
        });
        if (reading_.EndFound) break;
      }
      reading_.DecodedInPacket = static_cast<uint8_t>(decoded);
      endFound = reading_.EndFound;
    }
    if (failed) {
      Log("Program reading failed - imposible to convert data to instructions");
      SetResult(ReadResultUndecodable);
      DisplayOff();
      return;
    }
    if (endFound) {
      SetResult(ReadResultSuccess);
      Show();
      DisplayOff();
      return;
    }
    {
      std::lock_guard lock(reading_.Lock);
      reading_.NextLine += reading_.PacketLines;
      nextLine = reading_.NextLine;
    }
    // A controller that copied fewer lines than asked has no more to give: asking on up to the
    // memory's end would only repeat empty packets.
    if (nextLine >= maxLines || linesInPacket < packetLines) {
      Log("Program reading failed - no END instruction");
      SetResult(ReadResultNoEnd);
      Show();
      DisplayOff();
      return;
    }
  }
}

}  // namespace ferrolad
