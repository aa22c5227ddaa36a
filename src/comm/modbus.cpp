#include "comm/modbus.h"

#include <algorithm>
#include <utility>

#include "comm/rw_registers_thread.h"
#include "comm/rw_thread.h"

namespace ferrolad {

TModBus::TModBus(uint8_t deviceId) {
  DeviceID = deviceId;
  IdField = deviceId;
}

TModBus::~TModBus() { Shutdown(); }

TBytesArray TModBus::BuildRequestBytes(const TRWmbrReg& request, uint8_t slaveId) {
  uint8_t items = 0;
  TBytesArray bytes = ferrolad::BuildRequestBytes(request, slaveId, &items);
  RequestedItems = items;
  return bytes;
}

// ---------------------------------------------------------------------------------------------
// Wiring

void TModBus::Attach(MainThread& main, const TCommonDatas& settings, TransferLogSink* log) {
  main_ = &main;
  Settings = &settings;
  Log = log;
  gate_ = std::make_unique<MainGate>(main);
  NotifierEnded.reset();
  readPortThread_ = std::make_shared<TReadPortThread>(*this);
  Track(readPortThread_);
  readPortThread_->Start();
}

void TModBus::SetPort(std::shared_ptr<TPort> port) {
  std::shared_ptr<TPort> old;
  {
    std::lock_guard lock(portMu_);
    old = std::exchange(port_, port);
  }
  if (old && old != port) old->SetOnReceive(nullptr);
  if (port) {
    port->SetOnReceive([this](const uint8_t* d, size_t n, uint32_t e) { DataReceived(d, n, e); });
    ReadReady = &port->ReadReady;
  } else {
    ReadReady = nullptr;
  }
}

std::shared_ptr<TPort> TModBus::Port() const {
  std::lock_guard lock(portMu_);
  return port_;
}

bool TModBus::PortOpen() const {
  auto port = Port();
  return port && port->Connected();
}

int TModBus::SettingOr(int (TCommonDatas::*get)() const, int fallback) const {
  return Settings ? (Settings->*get)() : fallback;
}

// ---------------------------------------------------------------------------------------------
// Window thread from the workers

bool TModBus::OnMain(std::function<void()> fn) {
  if (!gate_) return false;
  return gate_->RunSync(std::move(fn));
}

void TModBus::LogLine(bool noLog, const std::string& text) {
  if (noLog || Log == nullptr) return;
  // Through the gate: a worker must never wait on a window thread that is shutting down.
  OnMain([this, &text] { Log->AddLogLine(text); });
}

void TModBus::LogEntry(LogEntryKind kind, std::string text) {
  if (Log) Log->PostLogEntry(kind, std::move(text));
}

void TModBus::Changed() {
  if (ViewChanged) ViewChanged();
}

void TModBus::StatusTimer(bool enabled) {
  if (SetStatusTimer) SetStatusTimer(enabled);
}

void TModBus::Track(std::shared_ptr<TWorkerThread> worker) {
  std::lock_guard lock(workersMu_);
  workers_.push_back(std::move(worker));
}

void TModBus::Reap() {
  std::vector<std::shared_ptr<TWorkerThread>> ended;
  {
    std::lock_guard lock(workersMu_);
    auto it = std::stable_partition(workers_.begin(), workers_.end(), [](const auto& w) { return !w->Done(); });
    ended.assign(std::make_move_iterator(it), std::make_move_iterator(workers_.end()));
    workers_.erase(it, workers_.end());
  }
  for (auto& w : ended) w->Join();
}

bool TModBus::TransferRunning() const {
  std::lock_guard lock(const_cast<std::mutex&>(ThreadExitLock));
  return CurrentTransfer != nullptr || SupersededTransfer != nullptr;
}

size_t TModBus::LiveWorkers() const {
  std::lock_guard lock(workersMu_);
  return static_cast<size_t>(std::count_if(workers_.begin(), workers_.end(), [](const auto& w) { return !w->Done(); }));
}

// ---------------------------------------------------------------------------------------------
// Dispatch

bool TModBus::StartTransfer(bool isUserCommand, uint8_t slaveId, bool threadUserFlag, const std::string& name,
                            const TRegistersArray& requests) {
  if (StopAll || !gate_) return false;
  Reap();
  const int totalTimeout = SettingOr(&TCommonDatas::TotalTimeout, 800);
  if (isUserCommand) {
    StatusTimer(false);
    UserCommandPending = 1;
    std::lock_guard dispatch(DispatchLock);
    // The chain reads the versions the model is chosen by; nothing may come between its steps.
    if (InitSequenceActive && !chainDispatch_) return false;
    std::unique_lock exit(ThreadExitLock);
    if (CurrentTransfer) {
      if (SupersededTransfer) {
        exit.unlock();
        LogEntry(LogEntryKind::Error, kNotReadyMessage);
        return false;
      }
      auto old = CurrentTransfer;
      old->CancelRequested = true;
      int wait = totalTimeout;
      if (old->IsUserTransfer) wait *= std::max<int>(1, static_cast<int>(old->Requests.size()));
      old->Superseded = true;
      SupersededTransfer = old;
      CurrentTransfer = std::make_shared<TRWRegistersThread>(*this, slaveId, requests, true, threadUserFlag, name,
                                                             old, wait);
    } else {
      CurrentTransfer = std::make_shared<TRWRegistersThread>(*this, slaveId, requests, true, threadUserFlag, name,
                                                             nullptr, 0);
    }
    auto started = CurrentTransfer;
    exit.unlock();
    Track(started);
    started->Start();
    return true;
  }
  std::unique_lock exit(ThreadExitLock);
  if (CurrentTransfer || SupersededTransfer) {
    exit.unlock();
    LogEntry(LogEntryKind::Error, kStatusNotReadyMessage);
    return false;
  }
  CurrentTransfer =
      std::make_shared<TRWRegistersThread>(*this, slaveId, requests, false, threadUserFlag, name, nullptr, 0);
  auto started = CurrentTransfer;
  exit.unlock();
  Track(started);
  started->Start();
  return true;
}

bool TModBus::SendCommands(const std::string& name, const TRegistersArray& commands) {
  TRegistersArray list;
  list.reserve(commands.size());
  for (const TRWmbrReg& c : commands) {
    if (c.FunctionCode < 1 || c.FunctionCode > 4) return false;
    TRWmbrReg r;
    r.FunctionCode = c.FunctionCode;
    r.Address = c.Address;
    r.Count = c.Count;
    r.Name = c.Name;
    r.Caption = c.Caption;
    r.Verify = 0;
    r.Counted = 1;
    r.RepeatUntilMatch = 0;
    list.push_back(std::move(r));
  }
  return StartTransfer(true, IdField.load(), true, name, list);
}

bool TModBus::StartChainStep(const std::string& name, const TRegistersArray& commands) {
  chainDispatch_ = true;
  const bool started = SendCommands(name, commands);
  chainDispatch_ = false;
  // A step that cannot start ends the chain; otherwise user commands would stay refused for good.
  if (!started) InitSequenceActive = 0;
  return started;
}

bool TModBus::GetVersionInfo(const TRegistersArray& commands) {
  InitSequenceActive = 1;
  return StartChainStep("GetVersionInfo", commands);
}

bool TModBus::GetMapsInfo(const TRegistersArray& commands) { return StartChainStep("GetMapsInfo", commands); }

bool TModBus::GetInitialInformation(const TRegistersArray& commands) {
  return StartChainStep("GetInitialInformation", commands);
}

void TModBus::ContinueIdentification(const std::string& endedName) {
  if (!InitSequenceActive || StopAll) return;
  if (endedName == "GetVersionInfo") {
    GetMapsInfo(MapsInfoRequests ? MapsInfoRequests() : TRegistersArray{});
  } else if (endedName == "GetMapsInfo") {
    GetInitialInformation(InitialInformationRequests ? InitialInformationRequests() : TRegistersArray{});
  } else if (endedName == "GetInitialInformation") {
    if (IdentificationEnded) IdentificationEnded();
    InitSequenceActive = 0;
  }
}

std::optional<TRegistersArray> BuildDirectCommandList(bool verify, bool requireStop, bool readBack,
                                                      const std::vector<TDirectRecord>& records) {
  TRegistersArray list;
  TRWmbrReg check;
  check.FunctionCode = 2;
  check.Address = 0xF001;  // GET_RUN_STOP
  check.Count = 1;
  check.Name = "GET_RUN_STOP";
  check.Verify = verify ? 1 : 0;
  check.ExpectedValue = requireStop ? 0 : 1;  // 0 = STOP, 1 = RUN
  check.Counted = 0;
  list.push_back(check);
  for (const TDirectRecord& record : records) {
    const uint8_t fc = record.FunctionCode;
    const bool writes = fc == 5 || fc == 6 || fc == 15 || fc == 16;
    if (!writes || record.RegisterCount < 1 || record.RegisterCount > 2) return std::nullopt;
    const auto v = static_cast<uint32_t>(record.Value);
    TRWmbrReg write;
    write.FunctionCode = fc;
    write.Address = record.Address;
    write.Count = record.RegisterCount;
    write.Name = record.Name;
    write.Counted = 1;
    if (record.RegisterCount == 1) {
      write.Data = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    } else {
      write.Data = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 24),
                    static_cast<uint8_t>(v >> 16)};
    }
    list.push_back(write);
    if (readBack) {
      TRWmbrReg read;
      // Coils are read back with "read coils"; a function 15 request would be a write without data.
      read.FunctionCode = (fc == 5 || fc == 15) ? 1 : 3;
      read.Address = record.Address;
      read.Count = record.RegisterCount;
      read.Name = record.Name;
      list.push_back(read);
    }
  }
  return list;
}

bool TModBus::SendDirectCommand(bool verify, bool requireStop, bool readBack, const std::vector<TDirectRecord>& commands) {
  auto list = BuildDirectCommandList(verify, requireStop, readBack, commands);
  if (!list) return false;
  return StartTransfer(true, IdField.load(), true, "SendDirectCommand - 1", *list);
}

bool TModBus::SendDirectCommand(bool verify, bool requireStop, bool readBack, const TDirectRecord& command) {
  auto list = BuildDirectCommandList(verify, requireStop, readBack, {command});
  if (!list) return false;
  return StartTransfer(true, IdField.load(), true, "SendDirectCommand - 2", *list);
}

bool TModBus::SendDirectCommand(bool verify, bool requireStop, bool readBack, int32_t value,
                                const TDirectRecord& command) {
  TDirectRecord withValue = command;
  withValue.Value = value;
  auto list = BuildDirectCommandList(verify, requireStop, readBack, {withValue});
  if (!list) return false;
  return StartTransfer(true, IdField.load(), true, "SendDirectCommand - 3", *list);
}

// ---------------------------------------------------------------------------------------------
// Frame queue

bool TModBus::QueueFrame(int mode, bool threadUserFlag, const std::string& name, const TBytesArray& request,
                         uint16_t address) {
  if (StopAll) return false;
  const int generalTimeout = SettingOr(&TCommonDatas::GeneralTimeout, 100);
  if (mode == 0) {
    if (request.size() < 6) return false;
    std::string frame = AsciiFrame(request);
    if (frame.empty()) return false;
    bool empty;
    {
      std::lock_guard lock(frameQueueMu_);
      empty = FrameQueue.empty();
    }
    if (empty && !FramesLock.wait(generalTimeout)) return false;
    if (!FramesLock.wait(generalTimeout)) return false;
    FramesLock.reset();
    {
      std::lock_guard lock(frameQueueMu_);
      FrameQueue.push_back({std::move(frame), address});
    }
    FramesLock.set();
  } else if (mode == 1) {
    return false;
  }
  Reap();
  auto worker = std::make_shared<TRWThread>(*this, name.empty() ? std::string("???") : name, threadUserFlag, mode);
  {
    std::lock_guard lock(ThreadExitLock);
    CurrentRWThread = worker;
  }
  Track(worker);
  worker->Start();
  return true;
}

void TModBus::EnqueueFrameText(std::string text, uint16_t address) {
  std::lock_guard lock(frameQueueMu_);
  FrameQueue.push_back({std::move(text), address});
}

// ---------------------------------------------------------------------------------------------
// Receive path

void TModBus::DataReceived(const uint8_t* data, size_t size, uint32_t) {
  if (StopAll) return;
  if (readPortThread_) readPortThread_->DataReceived(data, size);
}

// ---------------------------------------------------------------------------------------------
// Connection

void TModBus::ResetForConnect() {
  ErrorCount = 0;
  {
    std::lock_guard lock(ResponseLock);
    ResponseFunction = 0;
    ResponseValid = 0;
    ResponseValue = 0;
    ResponseAddress = 0;
  }
  RequestFunction = 0;
  RequestAddress = 0;
  RWThreadFree.set();
  TransferFree.set();
  ResponseEvent.reset();
  ValueEvent.reset();
  FramesLock.set();
  LastErrorCode = 0;
  ErrorFlag = 0;
}

// ---------------------------------------------------------------------------------------------
// Close

void TModBus::Close() {
  if (closed_) return;
  closed_ = true;
  StopAll = true;
  // Workers stop reaching the window thread now; it is about to wait for them.
  if (gate_) gate_->Close();
  StatusTimer(false);
  {
    std::lock_guard lock(ThreadExitLock);
    if (CurrentTransfer) CurrentTransfer->Terminate();
    if (CurrentRWThread) CurrentRWThread->Terminate();
  }
  if (readPortThread_) {
    readPortThread_->Terminate();
    readPortThread_->Wake();
  }
  const int notifierWait = SettingOr(&TCommonDatas::ComReadTimeout, 30) + SettingOr(&TCommonDatas::ComHandleTimeout, 50) +
                           SettingOr(&TCommonDatas::ResponseTimeout1, 100);
  if (readPortThread_) NotifierEnded.wait(notifierWait);
  RWThreadFree.wait(SettingOr(&TCommonDatas::ResponseWait, 180) * SettingOr(&TCommonDatas::RepeatCount, 3));
}

void TModBus::Shutdown() {
  if (shutDown_) return;
  Close();
  shutDown_ = true;
  if (auto port = Port()) {
    port->Close();
    port->SetOnReceive(nullptr);
  }
  {
    std::lock_guard lock(ThreadExitLock);
    std::lock_guard workers(workersMu_);
    for (auto& w : workers_) w->Terminate();
  }
  if (readPortThread_) readPortThread_->Wake();
  const int totalTimeout = SettingOr(&TCommonDatas::TotalTimeout, 800);
  const int generalTimeout = SettingOr(&TCommonDatas::GeneralTimeout, 100);
  RWThreadFree.wait(totalTimeout);
  TransferFree.wait(totalTimeout + generalTimeout);
  FramesLock.wait(generalTimeout);
  if (readPortThread_) {
    NotifierEnded.wait(SettingOr(&TCommonDatas::ComReadTimeout, 30) + SettingOr(&TCommonDatas::ComHandleTimeout, 50) +
                       SettingOr(&TCommonDatas::ResponseTimeout1, 100));
  }
  // Every wait of a terminated worker is cut short, so these joins end promptly.
  std::vector<std::shared_ptr<TWorkerThread>> all;
  {
    std::lock_guard lock(workersMu_);
    all.swap(workers_);
  }
  for (auto& w : all) w->Join();
  {
    std::lock_guard lock(ThreadExitLock);
    CurrentTransfer.reset();
    SupersededTransfer.reset();
    CurrentRWThread.reset();
  }
  readPortThread_.reset();
}

}  // namespace ferrolad
