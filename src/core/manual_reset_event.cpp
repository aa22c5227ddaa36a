#include "core/manual_reset_event.h"

#include <chrono>

namespace ferrolad {

ManualResetEvent::ManualResetEvent(bool initiallySet, std::string name) : name_(std::move(name)), set_(initiallySet) {}

void ManualResetEvent::set() {
  // Notify under the lock: a waiter may destroy the event as soon as its wait returns.
  std::lock_guard lock(mutex_);
  set_ = true;
  cv_.notify_all();
}

void ManualResetEvent::reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool ManualResetEvent::wait(int ms) {
  std::unique_lock lock(mutex_);
  if (ms < 0) {
    cv_.wait(lock, [this] { return set_; });
    return true;
  }
  return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set_; });
}

bool ManualResetEvent::isSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

}  // namespace ferrolad
