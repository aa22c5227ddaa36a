#include "comm/rw_thread.h"

#include "comm/modbus.h"

namespace ferrolad {

// ---------------------------------------------------------------------------------------------
// Per-frame worker

TRWThread::TRWThread(TModBus& modbus, std::string name, bool userFlag, int mode)
    : modbus_(modbus), name_(std::move(name)), userFlag_(userFlag), mode_(mode) {
  modbus_.RWThreadFree.reset();
  modbus_.FramesLock.reset();
  responseWait_ = modbus_.SettingOr(&TCommonDatas::ResponseWait, 180);
  comTimeout_ = modbus_.SettingOr(&TCommonDatas::ComTimeout, 80);
  repeatCount_ = modbus_.SettingOr(&TCommonDatas::RepeatCount, 3);
  noLog_ = modbus_.Settings != nullptr && !modbus_.Settings->WriteLog();
}

void TRWThread::Line(const std::string& text) { modbus_.LogLine(noLog_, text); }

void TRWThread::Execute() {
  std::vector<TModBus::QueuedFrame> frames;
  {
    std::lock_guard lock(modbus_.frameQueueMu_);
    frames.swap(modbus_.FrameQueue);
  }
  if (frames.empty()) Line("No data for transfer");
  for (const auto& queued : frames) {
    auto port = modbus_.Port();
    if (modbus_.StopAll || !port || !port->Connected()) break;
    const std::string& frame = queued.Text;
    Line("...");
    if (Terminated()) break;
    if (frame.size() < 11) {
      Line("Wrong data for transfer");
      break;
    }
    // The expectations are read by the response checks on the window thread: set them there.
    bool expectationsSet = true;
    if (!modbus_.OnMain([&] {
          modbus_.CurrentAddress = queued.Address;
          modbus_.ClearResponse();
          if (mode_ == 0) expectationsSet = modbus_.SetExpectations(frame);
        })) {
      break;
    }
    if (!expectationsSet) {
      Line("Wrong Modbus Command");
      break;
    }
    bool answered = false;
    int attempt = 0;
    while (!answered && attempt <= repeatCount_) {
      if (attempt == repeatCount_) {
        Terminate();
        modbus_.OnMain([&] {
          if (modbus_.ConnectionLost) {
            modbus_.ConnectionLost();
          } else {
            if (auto p = modbus_.Port()) p->Close();
            if (modbus_.ShowMessage) modbus_.ShowMessage(TModBus::kConnectionLostMessage);
          }
          modbus_.View.btnConnectComPortCaption = "Connect";
          modbus_.Changed();
        });
        break;
      }
      if (Terminated() || modbus_.StopAll) break;
      if (attempt > 0) Line("Attempt " + std::to_string(attempt + 1) + "=> ");
      std::string logText = frame.substr(1);
      if (!userFlag_) logText = "Get state - " + logText;
      port->ReadReady.set();
      const bool gated = modbus_.ModemStatusGate && port->ModemStatus() != 0;
      if (gated || !port->Write(frame)) {
        Line("Error sending command");
        ++attempt;
        if (!Sleep(comTimeout_)) break;
        continue;
      }
      if (!noLog_) modbus_.LogEntry(LogEntryKind::Send, logText);
      if (WaitFor(modbus_.ResponseEvent, responseWait_, &modbus_.StopAll)) {
        answered = true;
      } else {
        if (Terminated() || modbus_.StopAll) break;
        modbus_.LogEntry(LogEntryKind::Error, "No answer!");
        Line("No answer to command");
        ++attempt;
      }
    }
    if (!answered) break;
  }
  std::lock_guard lock(modbus_.ThreadExitLock);
  if (modbus_.CurrentRWThread.get() == this) modbus_.CurrentRWThread.reset();
  modbus_.FramesLock.set();
  modbus_.RWThreadFree.set();
}

// ---------------------------------------------------------------------------------------------
// Hand-off thread

void TReadPortThread::DataReceived(const uint8_t* data, size_t size) {
  {
    std::lock_guard lock(mu_);
    handed_.append(reinterpret_cast<const char*>(data), size);
    pending_ = true;
  }
  cv_.notify_all();
}

void TReadPortThread::Wake() {
  { std::lock_guard lock(mu_); }
  cv_.notify_all();
}

void TReadPortThread::Execute() {
  while (!Terminated()) {
    std::string text;
    {
      std::unique_lock lock(mu_);
      cv_.wait(lock, [&] { return pending_ || Terminated(); });
      if (Terminated()) break;
      text.swap(handed_);
      pending_ = false;
    }
    modbus_.OnMain([&] { modbus_.ProcessReceived(text); });
  }
  modbus_.NotifierEnded.set();
}

}  // namespace ferrolad
