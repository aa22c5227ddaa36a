#include "core/main_thread.h"

#include <algorithm>
#include <exception>

namespace ferrolad {

// A runSync caller waits on one of these; it lives on the caller's stack until `done`.
struct Waiter {
  bool done = false;
  std::exception_ptr error;
};

EventLoopMainThread::EventLoopMainThread(Mode mode) : owner_(std::this_thread::get_id()) {
  if (mode == Mode::OwnThread) {
    owner_ = std::thread::id();
    thread_ = std::thread([this] {
      owner_ = std::this_thread::get_id();
      std::unique_lock lock(mutex_);
      while (true) {
        cv_.wait(lock, [this] { return stopRequested_ || !queue_.empty(); });
        if (stopRequested_) break;
        runOne(lock);
      }
    });
  }
}

EventLoopMainThread::~EventLoopMainThread() {
  {
    std::unique_lock lock(mutex_);
    closed_ = true;
    stopRequested_ = true;
    dropQueued(lock);
    cv_.notify_all();
    cv_.wait(lock, [this] { return syncCallers_ == 0; });
  }
  if (thread_.joinable()) thread_.join();
}

bool EventLoopMainThread::isCurrentThread() const { return owner_.load() == std::this_thread::get_id(); }

void EventLoopMainThread::bindToCurrentThread() {
  if (!thread_.joinable()) owner_ = std::this_thread::get_id();
}

void EventLoopMainThread::post(std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  queue_.push_back(Task{std::move(fn), nullptr});
  cv_.notify_all();
}

void EventLoopMainThread::runSync(std::function<void()> fn) {
  if (isCurrentThread()) {
    fn();
    return;
  }
  Waiter waiter;
  {
    std::unique_lock lock(mutex_);
    if (closed_) return;
    queue_.push_back(Task{std::move(fn), &waiter});
    ++syncCallers_;
    cv_.notify_all();
    cv_.wait(lock, [&] { return waiter.done; });
    --syncCallers_;
    cv_.notify_all();  // under the lock: the destructor may be waiting for the last caller to leave
  }
  if (waiter.error) std::rethrow_exception(waiter.error);
}

bool EventLoopMainThread::runOne(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  Task task = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  std::exception_ptr error;
  if (task.waiter) {
    try {
      task.fn();
    } catch (...) {
      error = std::current_exception();
    }
  } else {
    task.fn();  // a posted task that throws is the poster's bug: let it surface
  }
  lock.lock();
  if (task.waiter) {
    task.waiter->error = error;
    task.waiter->done = true;
    cv_.notify_all();
  }
  return true;
}

void EventLoopMainThread::dropQueued(std::unique_lock<std::mutex>&) {
  for (auto& task : queue_) {
    if (task.waiter) task.waiter->done = true;
  }
  queue_.clear();
}

void EventLoopMainThread::run() {
  bindToCurrentThread();
  std::unique_lock lock(mutex_);
  while (true) {
    cv_.wait(lock, [this] { return stopRequested_ || !queue_.empty(); });
    if (stopRequested_) break;
    runOne(lock);
  }
  if (!closed_) stopRequested_ = false;
}

bool EventLoopMainThread::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  bindToCurrentThread();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    std::unique_lock lock(mutex_);
    // `done` may turn true on another thread without posting anything: look again every few ms.
    const auto slice = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(2));
    if (!cv_.wait_until(lock, slice, [this] { return stopRequested_ || !queue_.empty(); })) {
      if (std::chrono::steady_clock::now() >= deadline) {
        lock.unlock();
        return done();
      }
      continue;
    }
    if (stopRequested_) {
      if (!closed_) stopRequested_ = false;
      lock.unlock();
      return done();
    }
    runOne(lock);
  }
  return true;
}

void EventLoopMainThread::runFor(std::chrono::milliseconds duration) {
  runUntil([] { return false; }, duration);
}

size_t EventLoopMainThread::processPending() {
  bindToCurrentThread();
  size_t count = 0;
  std::unique_lock lock(mutex_);
  while (runOne(lock)) ++count;
  return count;
}

size_t EventLoopMainThread::pendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

void EventLoopMainThread::stop() {
  {
    std::unique_lock lock(mutex_);
    stopRequested_ = true;
    if (thread_.joinable()) {
      closed_ = true;
      dropQueued(lock);
    }
  }
  cv_.notify_all();
}

}  // namespace ferrolad
