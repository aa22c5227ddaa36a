// The "window thread": the one thread that owns the displays and processes received text.
// Workers either run a routine there and wait (runSync) or hand it over without waiting (post).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ferrolad {

struct MainThread {
  virtual ~MainThread() = default;
  // Runs `fn` on the main thread and waits for it; runs it inline when called there.
  virtual void runSync(std::function<void()> fn) = 0;
  // Queues `fn` for the main thread and returns at once; tasks run in the order they were posted.
  virtual void post(std::function<void()> fn) = 0;
  // True when the caller is the main thread.
  virtual bool isCurrentThread() const = 0;
};

// A plain event loop for the command-line tool and the tests.
//
// Without its own thread, the main thread is whichever thread created the loop or last ran it
// (run, runUntil, processPending). With `OwnThread` the loop runs on a thread of its own until it is
// destroyed. After stop() in own-thread mode, or once destroyed, posted work is dropped and runSync
// returns without running, so a worker never hangs on a loop that has gone away.
class EventLoopMainThread final : public MainThread {
 public:
  enum class Mode { CallerThread, OwnThread };
  explicit EventLoopMainThread(Mode mode = Mode::CallerThread);
  ~EventLoopMainThread() override;
  EventLoopMainThread(const EventLoopMainThread&) = delete;
  EventLoopMainThread& operator=(const EventLoopMainThread&) = delete;

  void runSync(std::function<void()> fn) override;
  void post(std::function<void()> fn) override;
  bool isCurrentThread() const override;

  // Caller-thread mode: runs tasks until stop() is called (from a task or another thread).
  void run();
  // Runs tasks until `done` returns true (checked after every task and every few ms) or `timeout` passes.
  // Returns the last value of `done`.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Runs tasks for `duration`, whatever happens.
  void runFor(std::chrono::milliseconds duration);
  // Runs the tasks queued so far (and those they queue) without waiting; returns how many ran.
  size_t processPending();
  // Tasks waiting to run.
  size_t pendingCount() const;
  // Ends run(); in own-thread mode also ends the thread (queued tasks are dropped).
  void stop();

 private:
  struct Task {
    std::function<void()> fn;
    struct Waiter* waiter = nullptr;
  };
  void bindToCurrentThread();
  bool runOne(std::unique_lock<std::mutex>& lock);
  void dropQueued(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Task> queue_;
  bool stopRequested_ = false;
  bool closed_ = false;
  int syncCallers_ = 0;  // runSync callers still inside; the destructor waits for them
  std::atomic<std::thread::id> owner_;
  std::thread thread_;
};

}  // namespace ferrolad
