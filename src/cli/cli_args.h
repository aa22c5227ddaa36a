// Small helpers for reading command-line arguments.
#pragma once

#include <string>

namespace ferrolad::cli {

// A whole-text integer in decimal, 0x hexadecimal or 0 octal notation within [lo, hi].
bool ParseNumber(const std::string& text, long long lo, long long hi, long long& value);

}  // namespace ferrolad::cli
