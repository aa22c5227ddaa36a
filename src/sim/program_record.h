// The two stored forms of one program line: the 42-byte record a client uploads (21 registers)
// and the 34-byte record the controller hands back through the reading window (17 registers).
#pragma once

#include <array>
#include <cstdint>

namespace ferrolad::sim {

using UploadRecord = std::array<uint8_t, 42>;
using ReadBackRecord = std::array<uint8_t, 34>;

// Re-packs each operand block: [0,type][value lo][value hi][0,index letter][0,index number]
// becomes [value lo][value hi][index number][index letter, type].
ReadBackRecord ToReadBack(const UploadRecord& rec);
UploadRecord FromReadBack(const ReadBackRecord& rec);

inline uint16_t RecordCode(const UploadRecord& rec) {
  return static_cast<uint16_t>(rec[0] << 8 | rec[1]);
}

}  // namespace ferrolad::sim
