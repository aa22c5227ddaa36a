// TRWRegistersThread: carries one transfer, a list of requests, to its end: one frame per request
// through the per-frame worker, the answer and its value awaited, verified reads, progress and result
// on the window thread, the first failure reported with its line.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "comm/worker_thread.h"
#include "core/rw_request.h"

namespace ferrolad {

class TModBus;

class TRWRegistersThread final : public TWorkerThread {
 public:
  // waitFor: the transfer this one supersedes (null: start at once).
  TRWRegistersThread(TModBus& modbus, uint8_t slaveId, const TRegistersArray& requests, bool isUserCommand,
                     bool userCommand, const std::string& name, std::shared_ptr<TRWRegistersThread> waitFor,
                     int waitFreeTimeout);

  bool CheckAbort() const;
  void SetMessage(const std::string& text);
  bool SendRecord(const TRWmbrReg& request, int32_t line);

  // Fields, as the window and the dispatcher see them.
  const bool WaitForFree;
  const int WaitFreeTimeout;
  std::atomic<bool> Failed{true};
  std::string Message;
  std::string BoxText;
  std::atomic<int32_t> Line{0};
  std::atomic<int32_t> CommandsTransferred{0};
  uint16_t LastAddress = 0;
  const bool IsUserTransfer;
  const bool Abortable;
  const int Timeout;
  const int CycleDelay;
  const bool NoLog;
  const uint8_t SlaveID;
  const bool UserCommand;
  std::atomic<bool> Superseded{false};
  const TRegistersArray Requests;
  const std::string Name;
  std::atomic<bool> CancelRequested{false};
  ManualResetEvent Ended{false};  // signalled as the thread ends; a superseding transfer waits on it

 protected:
  void Execute() override;

 private:
  void Run();
  void End();
  void ShowProgress();
  void ShowResult();
  TModBus& modbus_;
  std::shared_ptr<TRWRegistersThread> waitFor_;
};

}  // namespace ferrolad
