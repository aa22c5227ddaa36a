#include "cli/cli_args.h"

namespace ferrolad::cli {

bool ParseNumber(const std::string& text, long long lo, long long hi, long long& value) {
  if (text.empty()) return false;
  try {
    size_t used = 0;
    const long long v = std::stoll(text, &used, 0);
    if (used != text.size() || v < lo || v > hi) return false;
    value = v;
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ferrolad::cli
