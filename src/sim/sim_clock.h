// Time source of the simulated controller: real time for users, a hand-advanced clock for tests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace ferrolad::sim {

class SimClock {
 public:
  virtual ~SimClock() = default;
  virtual int64_t nowUs() const = 0;  // microseconds since an arbitrary origin, never decreasing
};

class SteadySimClock final : public SimClock {
 public:
  int64_t nowUs() const override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// Tests advance it by hand so that motion and program execution are deterministic.
class ManualSimClock final : public SimClock {
 public:
  int64_t nowUs() const override { return now_.load(); }
  void advanceUs(int64_t us) { now_.fetch_add(us < 0 ? 0 : us); }
  void advanceMs(int64_t ms) { advanceUs(ms * 1000); }

 private:
  std::atomic<int64_t> now_{0};
};

}  // namespace ferrolad::sim
