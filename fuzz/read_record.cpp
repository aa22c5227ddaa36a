// Arbitrary read-back records (they come from the controller) through the decoder: no crash, no read
// outside the record, and a decoded line is consistent with what the decoder claims.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/read_record.h"

using namespace ferrolad;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First two bytes: the end code the caller expects; the rest: the record, any length.
  const auto endCode = static_cast<uint16_t>(data[0] << 8 | data[1]);
  const std::span<const uint8_t> record(data + 2, size - 2);
  TDebugInstruction out;
  bool endFound = false;
  const bool ok = DecodeInstruction(record, endCode, out, endFound);
  if (ok && record.size() != kReadBackRecordSize) std::abort();  // only whole records decode
  if (ok && !endFound && out.Text.empty()) std::abort();         // a decoded line has text
  if (out.Operands.size() > kReadBackOperandBlock) std::abort();
  return 0;
}
