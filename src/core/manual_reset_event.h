// A manual-reset event: stays signalled until reset, releases every waiter while signalled.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

namespace ferrolad {

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySet = false, std::string name = {});
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void set();
  void reset();
  // Waits until the event is signalled or `ms` milliseconds have passed (ms < 0: no limit).
  // Returns true when it was signalled.
  bool wait(int ms);
  bool isSet() const;
  const std::string& name() const { return name_; }

 private:
  const std::string name_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;
};

}  // namespace ferrolad
