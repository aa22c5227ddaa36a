#include "device/status_polling.h"

#include "device/device_description.h"

namespace ferrolad {

void TStatusPolling::EnableStatusTimer() {
  TimerGetStateEnabled = true;
  if (!env_.InitSequenceActive()) TimerResetStateInfoEnabled = true;
}

void TStatusPolling::RestartStatusTimer() {
  DisableStatusTimer();
  EnableStatusTimer();
}

void TStatusPolling::TimerGetStateTimer() {
  if (!TimerGetStateEnabled || !env_.PortOpen() || env_.InitSequenceActive()) return;
  TLabel& reading = model_.View.lblCurrentReading;
  if (env_.DebuggerRunning()) {
    reading.Visible = false;
    return;
  }
  reading.Visible = true;
  if (env_.UserCommandPending()) return;
  const auto model = CurrentDevice();
  const TRegistersArray& polls = model->StatusPolls;
  if (polls.empty()) return;  // no model yet: nothing to ask for
  if (Tag < 0 || Tag >= static_cast<int>(polls.size())) Tag = 0;
  reading.Caption = polls[Tag].Name;
  if (env_.StartStatusPoll("TimerGetStateTimer + tag=" + std::to_string(Tag), {polls[Tag]})) {
    Tag = (Tag + 1) % static_cast<int>(polls.size());
    WatchdogCounter = 0;
  }
}

void TStatusPolling::TimerResetStateInfoTimer() {
  if (!TimerResetStateInfoEnabled) return;
  if (env_.InitSequenceActive()) return;
  if (env_.DebuggerRunning() && env_.DebuggerPollingActive()) return;
  if (++WatchdogCounter >= kWatchdogLimit) {
    model_.ClearIndicators();
    WatchdogCounter = 0;
  }
  if (env_.ErrorFlag() == 0) {
    RestartStatusTimer();
    return;
  }
  if (env_.ErrorCount() <= 3) {
    env_.ClearErrorFlag();
    RestartStatusTimer();
    return;
  }
  // More than three failed polls: stop polling until a user command enables it again.
  DisableStatusTimer();
  if (env_.LastErrorCode() > 0) {
    env_.EmptyPortBox();
    env_.ResetErrorCount();
    TimerResetStateInfoEnabled = false;
  }
}

}  // namespace ferrolad
