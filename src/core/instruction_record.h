// The 42-byte instruction record written to the controller for one instruction line
// (code, then four 10-byte operand blocks; 16-bit values high byte first).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/instruction_catalogue.h"

namespace ferrolad {

inline constexpr size_t kInstructionRecordSize = 42;
inline constexpr size_t kOperandBlockSize = 10;

using TInstructionRecord = std::array<uint8_t, kInstructionRecordSize>;

void StoreInstructionCode(TInstructionRecord& record, uint16_t code);
// Writes operand `slot` (1..4) into its block.
void StoreOperand(TInstructionRecord& record, int slot, const TSingleOperand& operand);

// Inverse of the encoding. A length other than 42 gives "Unknown" without operands; an operand that
// fails its check gives an empty instruction (no name, code 0, no operands).
TSingleInstruction RecordToInstruction(std::span<const uint8_t> bytes);

}  // namespace ferrolad
