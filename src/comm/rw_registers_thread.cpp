#include "comm/rw_registers_thread.h"

#include "comm/modbus.h"

namespace ferrolad {

TRWRegistersThread::TRWRegistersThread(TModBus& modbus, uint8_t slaveId, const TRegistersArray& requests,
                                       bool isUserCommand, bool userCommand, const std::string& name,
                                       std::shared_ptr<TRWRegistersThread> waitFor, int waitFreeTimeout)
    : WaitForFree(waitFor != nullptr),
      WaitFreeTimeout(waitFreeTimeout),
      IsUserTransfer(isUserCommand),
      Abortable(!isUserCommand),
      Timeout(modbus.SettingOr(&TCommonDatas::TotalTimeout, 800)),
      CycleDelay(modbus.SettingOr(&TCommonDatas::GeneralTimeout, 100)),
      NoLog(modbus.Settings != nullptr && !modbus.Settings->WriteLog()),
      SlaveID(slaveId),
      UserCommand(userCommand),
      Requests(requests),
      Name(name),
      modbus_(modbus),
      waitFor_(std::move(waitFor)) {
  modbus_.TransferFree.reset();
  modbus_.ErrorFlag = 0;
  modbus_.RecordCount = static_cast<int32_t>(Requests.size());
}

bool TRWRegistersThread::CheckAbort() const {
  return Terminated() || modbus_.StopAll ||
         (Abortable && (modbus_.UserCommandPending.load() != 0 || CancelRequested.load()));
}

void TRWRegistersThread::SetMessage(const std::string& text) {
  Message = text;
  if (!text.empty()) Failed = true;
  if (Failed && !NoLog) modbus_.LogEntry(LogEntryKind::Error, text);
}

bool TRWRegistersThread::SendRecord(const TRWmbrReg& request, int32_t line) {
  if (!modbus_.PortOpen()) {
    modbus_.OnMain([&] {
      if (modbus_.ShowMessage) modbus_.ShowMessage("No connection");
    });
    return false;
  }
  const TBytesArray bytes = modbus_.BuildRequestBytes(request, SlaveID);
  return modbus_.QueueFrame(0, UserCommand, Name + " Line=" + std::to_string(line), bytes, request.Address);
}

void TRWRegistersThread::ShowProgress() {
  const int32_t transferred = CommandsTransferred.load();
  modbus_.OnMain([&] {
    TCommView& v = modbus_.View;
    v.shpState = TCommColor::Yellow;
    // "Data transferring" followed by a growing row of up to eight dots, then again from the start;
    // any other text (such as "Com port ready") is replaced rather than extended without end.
    static const std::string kBase = "Data transferring";
    std::string& state = v.lblCommunicationState;
    if (state.rfind(kBase, 0) != 0 || state.size() >= kBase.size() + 8) {
      state = kBase;
    } else {
      state += ".";
    }
    v.lblCommandsTransfered = "Commands transferred: " + std::to_string(transferred);
    modbus_.Changed();
  });
}

void TRWRegistersThread::ShowResult() {
  const bool failed = Failed.load();
  modbus_.OnMain([&] {
    TCommView& v = modbus_.View;
    v.shpState = TCommColor::Green;
    if (failed) {
      v.shpState = TCommColor::Red;
      v.lblCommunicationResult = "Data transfer result: failed ";
      v.lblCommunicationResultColor = TCommColor::Red;
    } else if (IsUserTransfer) {
      v.lblCommunicationResult = "Data transfer result:  successful";
      v.lblCommunicationResultColor = TCommColor::Green;
    }
    if (modbus_.PortOpen()) {
      v.lblCommunicationState = "Com port ready";
    } else {
      v.lblCommunicationState = "Not Connected";
      v.shpState = TCommColor::White;
      v.lblPortConnected.clear();
    }
    modbus_.Changed();
  });
}

void TRWRegistersThread::Execute() {
  Run();
  End();
}

void TRWRegistersThread::Run() {
  if (modbus_.StopAll) return;
  if (WaitForFree && !WaitFor(waitFor_->Ended, WaitFreeTimeout, &modbus_.StopAll)) {
    if (!NoLog && !modbus_.StopAll && !Terminated()) modbus_.LogEntry(LogEntryKind::Error, TModBus::kNotReadyMessage);
    return;
  }
  waitFor_.reset();
  if (Terminated() || modbus_.StopAll || CheckAbort()) return;
  const auto n = static_cast<int32_t>(Requests.size());
  Line = 0;
  CommandsTransferred = 0;
  if (modbus_.UserCommandPending) ShowProgress();
  Failed = true;
  int tries = 0;
  const int readAttempts = modbus_.SettingOr(&TCommonDatas::ReadAttempts, 1);
  while (Line < n && !Terminated()) {
    if (CheckAbort()) return;
    if (modbus_.ClearSectorReady) modbus_.ClearSectorReady();
    if (tries > 0) {
      if (CheckAbort()) return;
      Sleep(Timeout);
      if (CheckAbort()) return;
    }
    const TRWmbrReg& request = Requests[static_cast<size_t>(Line.load())];
    if (request.FunctionCode == 0) {
      ++Line;
      modbus_.ValueEvent.reset();
      modbus_.ResponseEvent.reset();
      Failed = false;
      continue;
    }
    if (!WaitFor(modbus_.RWThreadFree, Timeout, &modbus_.StopAll)) {
      if (CheckAbort()) return;
      SetMessage("RW thread is not ready, line: " + std::to_string(Line));
      if (++tries >= readAttempts) {
        Terminate();
        return;
      }
      continue;
    }
    if (CheckAbort()) return;
    modbus_.ValueEvent.reset();
    modbus_.ResponseEvent.reset();
    if (!SendRecord(request, Line)) {
      if (CheckAbort()) return;
      SetMessage("Error sending commands sequence, line: " + std::to_string(Line));
      modbus_.LastErrorCode = 2;
      Terminate();
      return;
    }
    CommandsTransferred += request.Counted;
    if (modbus_.UserCommandPending) ShowProgress();
    if (CheckAbort()) return;
    const bool answered = WaitFor(modbus_.ResponseEvent, Timeout, &modbus_.StopAll);
    if (CheckAbort()) return;
    if (!answered) {
      SetMessage("No response to command sequence 1, line: " + std::to_string(Line));
      modbus_.LastErrorCode = 1;
      if (++tries >= readAttempts) {
        Terminate();
        return;
      }
      continue;
    }
    if (request.FunctionCode >= 1 && request.FunctionCode <= 4) {
      if (CheckAbort()) return;
      if (!WaitFor(modbus_.ValueEvent, Timeout, &modbus_.StopAll)) {
        if (CheckAbort()) return;
        SetMessage("No response to command sequence 2, line: " + std::to_string(Line));
        modbus_.LastErrorCode = 1;
        Terminate();
        return;
      }
      uint8_t function;
      int32_t value;
      {
        std::lock_guard lock(modbus_.ResponseLock);
        function = modbus_.ResponseFunction;
        value = modbus_.ResponseValue;
      }
      if (modbus_.ResponseValid == 0) {
        SetMessage("No response to command sequence 3, line: " + std::to_string(Line));
        modbus_.LastErrorCode = 1;
        Terminate();
        return;
      }
      if (function != request.FunctionCode) {
        SetMessage("Modbus received responce error, line: " + std::to_string(Line));
        Terminate();
        return;
      }
      LastAddress = request.Address;
      if (CheckAbort()) return;
      if (modbus_.HandleResponse) modbus_.OnMain([&] { modbus_.HandleResponse(); });
      if (CheckAbort()) return;
      if (request.Verify && request.ExpectedValue != value) {
        if (request.RepeatUntilMatch) {
          ShowProgress();
          --Line;
          Sleep(CycleDelay);
          if (CheckAbort()) return;
        } else {
          SetMessage("Data transfer not finished, line: " + std::to_string(Line));
          modbus_.UserCommandPending = 0;
          modbus_.OnMain([&] { modbus_.StatusTimer(true); });
          Terminate();
          return;
        }
      }
    }
    Failed = false;
    ++Line;
    tries = 0;
  }
  // A status poll that finishes must not clear the flag of a user command that is waiting for it.
  if (IsUserTransfer) modbus_.UserCommandPending = 0;
  modbus_.OnMain([&] { modbus_.StatusTimer(true); });
}

void TRWRegistersThread::End() {
  const bool terminated = Terminated();
  if (!terminated) {
    ShowResult();
    if (Failed) {
      ++modbus_.ErrorCount;
      modbus_.ErrorFlag = 1;
      if (!IsUserTransfer) modbus_.OnMain([&] { modbus_.StatusTimer(false); });
    }
  }
  if (UserCommand && !Superseded) {
    modbus_.UserCommandPending = 0;
    modbus_.OnMain([&] { modbus_.StatusTimer(true); });
  }
  {
    std::lock_guard lock(modbus_.ThreadExitLock);
    if (modbus_.SupersededTransfer.get() == this) modbus_.SupersededTransfer.reset();
    if (modbus_.CurrentTransfer.get() == this) modbus_.CurrentTransfer.reset();
    // Free only when no other transfer (the one that superseded this) is still around.
    if (!modbus_.CurrentTransfer && !modbus_.SupersededTransfer) modbus_.TransferFree.set();
    Ended.set();
  }
  TTransferOutcome outcome;
  outcome.Name = Name;
  outcome.UserCommand = IsUserTransfer;
  outcome.Failed = Failed;
  outcome.Terminated = terminated;
  outcome.Message = Message;
  outcome.Line = Line;
  outcome.CommandsTransferred = CommandsTransferred;
  modbus_.OnMain([&] {
    if (modbus_.TransferEnded) modbus_.TransferEnded(outcome);
    if (!modbus_.StopAll) modbus_.ContinueIdentification(Name);
  });
}

}  // namespace ferrolad
