// Base of the request engine's worker threads: a thread that can be told to terminate, whose
// sleeps and event waits end early when it is, and that the engine joins once it has ended.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "core/manual_reset_event.h"

namespace ferrolad {

class TWorkerThread {
 public:
  TWorkerThread() = default;
  virtual ~TWorkerThread();  // joins
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;

  void Start();
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  bool Done() const { return done_.load(); }
  void Join();

 protected:
  virtual void Execute() = 0;
  // Sleeps ms; false when told to terminate meanwhile.
  bool Sleep(int ms);
  // Waits for the event up to ms; gives up early (false) once terminated or `stop` is set.
  bool WaitFor(ManualResetEvent& event, int ms, const std::atomic<bool>* stop = nullptr);

 private:
  std::atomic<bool> terminated_{false};
  std::atomic<bool> done_{false};
  std::mutex mu_;
  std::condition_variable cv_;
  std::thread thread_;
};

}  // namespace ferrolad
