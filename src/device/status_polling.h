// The status timer and its watchdog as tick operations: each status tick sends the next request of
// the current model's status list; the watchdog clears stale indicators and stops a failing poll.
#pragma once

#include <cstdint>
#include <string>

#include "core/rw_request.h"
#include "device/status_model.h"

namespace ferrolad {

// What polling needs from the rest of the program (port, request engine, debugger, port box).
class TStatusEnvironment {
 public:
  virtual ~TStatusEnvironment() = default;
  virtual bool PortOpen() const = 0;
  virtual bool InitSequenceActive() const = 0;      // identification chain running
  virtual bool DebuggerRunning() const = 0;         // the debugger polls instead
  virtual bool DebuggerPollingActive() const = 0;
  virtual bool UserCommandPending() const = 0;
  // Starts a status-poll transfer (not a user command, thread-user-flag off); false when refused.
  virtual bool StartStatusPoll(const std::string& name, const TRegistersArray& requests) = 0;
  // Outcome bookkeeping of transfers.
  virtual uint8_t ErrorFlag() const = 0;
  virtual void ClearErrorFlag() = 0;
  virtual uint8_t ErrorCount() const = 0;
  virtual void ResetErrorCount() = 0;
  virtual uint8_t LastErrorCode() const = 0;
  virtual void EmptyPortBox() = 0;
};

class TStatusPolling {
 public:
  static constexpr int kDefaultInterval = 200;
  static constexpr int kWatchdogInterval = 1200;
  static constexpr int kWatchdogLimit = 3;  // ticks without a poll before the indicators go white

  TStatusPolling(TStatusModel& model, TStatusEnvironment& environment)
      : model_(model), env_(environment) {}

  // TimerGetState
  bool TimerGetStateEnabled = false;
  int TimerGetStateInterval = kDefaultInterval;
  int Tag = 0;  // index of the next status request; survives pauses
  // TimerResetStateInfo
  bool TimerResetStateInfoEnabled = false;
  int TimerResetStateInfoInterval = kWatchdogInterval;
  int WatchdogCounter = 0;

  // Enabling the status timer (TimerGetStateStartTimer) also arms the watchdog, unless the
  // identification chain runs.
  void EnableStatusTimer();
  void DisableStatusTimer() { TimerGetStateEnabled = false; }
  void RestartStatusTimer();

  void btn200msClick() { TimerGetStateInterval = 200; }
  void btn1000msClick() { TimerGetStateInterval = 1000; }
  void btn10000msClick() { TimerGetStateInterval = 10000; }

  // One tick of each timer; a disabled timer does nothing.
  void TimerGetStateTimer();
  void TimerResetStateInfoTimer();

 private:
  TStatusModel& model_;
  TStatusEnvironment& env_;
};

}  // namespace ferrolad
