// Worker threads reach the window thread through a gate: like MainThread::runSync, but a caller
// blocked in it is released when the gate closes, so shutting down never waits on a window thread
// that is itself busy shutting down.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "core/main_thread.h"

namespace ferrolad {

class MainGate {
 public:
  explicit MainGate(MainThread& main);
  ~MainGate();  // closes
  MainGate(const MainGate&) = delete;
  MainGate& operator=(const MainGate&) = delete;

  // Runs fn on the window thread and waits for it (inline when called there). False when the gate
  // is closed, or closes while waiting; fn then does not run (or has already run).
  bool RunSync(std::function<void()> fn);
  // Queues fn without waiting; dropped if the gate is closed before it runs.
  void Post(std::function<void()> fn);
  // From now on nothing new runs; waiting callers return false. Waits for a routine that is running.
  void Close();
  bool Closed() const;
  MainThread& Main() const { return main_; }

 private:
  struct State {
    std::recursive_mutex running;  // held while a routine runs on the window thread
    mutable std::mutex mu;
    std::condition_variable cv;
    bool closed = false;
  };
  MainThread& main_;
  std::shared_ptr<State> state_;
};

}  // namespace ferrolad
