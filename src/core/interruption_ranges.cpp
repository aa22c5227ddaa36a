#include "core/interruption_ranges.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace ferrolad {

namespace {

struct RangeStore {
  std::mutex Lock;
  std::shared_ptr<const std::vector<TInterruptionRange>> Ranges =
      std::make_shared<const std::vector<TInterruptionRange>>(DefaultInterruptionRanges());
};

RangeStore& Store() {
  static RangeStore store;
  return store;
}

std::shared_ptr<const std::vector<TInterruptionRange>> Snapshot() {
  RangeStore& s = Store();
  std::lock_guard<std::mutex> guard(s.Lock);
  return s.Ranges;
}

}  // namespace

std::vector<TInterruptionRange> DefaultInterruptionRanges() {
  return {
      {"I", 0, 0},        // communication
      {"I", 1, 100},      // timed
      {"I", 1000, 1007},  // external inputs
      {"I", 2000, 2001},  // driver
  };
}

void SetInterruptionRanges(std::vector<TInterruptionRange> ranges) {
  auto fresh = std::make_shared<const std::vector<TInterruptionRange>>(std::move(ranges));
  RangeStore& s = Store();
  std::lock_guard<std::mutex> guard(s.Lock);
  s.Ranges = std::move(fresh);
}

std::vector<TInterruptionRange> InterruptionRanges() { return *Snapshot(); }

bool InInterruptionRange(const std::string& mnemonic, int64_t number) {
  auto ranges = Snapshot();
  return std::any_of(ranges->begin(), ranges->end(), [&](const TInterruptionRange& r) {
    return r.Mnemonic == mnemonic && number >= r.MinNumber && number <= r.MaxNumber;
  });
}

}  // namespace ferrolad
