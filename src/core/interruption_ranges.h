// Number ranges of interruption markers. Core holds a default list; the device layer installs the
// current model's list (core cannot depend on the device layer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferrolad {

struct TInterruptionRange {
  std::string Mnemonic;  // "I" for marker ranges; other rows are ignored by operand checks
  int64_t MinNumber = 0;
  int64_t MaxNumber = 0;
};

// I 0 (communication), I 1..100 (timed), I 1000..1007 (external), I 2000..2001 (driver).
std::vector<TInterruptionRange> DefaultInterruptionRanges();

void SetInterruptionRanges(std::vector<TInterruptionRange> ranges);
std::vector<TInterruptionRange> InterruptionRanges();

// True when `number` lies in a range whose Mnemonic equals `mnemonic`.
bool InInterruptionRange(const std::string& mnemonic, int64_t number);

}  // namespace ferrolad
