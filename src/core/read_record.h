// The 34-byte record in which a controller hands back one program line, the program list records
// shared with the debugger, and the decoder that turns a record into an instruction-list line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/instruction_catalogue.h"

namespace ferrolad {

inline constexpr size_t kReadBackRegisters = 17;
inline constexpr size_t kReadBackRecordSize = kReadBackRegisters * 2;
inline constexpr size_t kReadBackOperandBlock = 8;

// An operand of a program line, also a watch entry of the debugger.
struct TDebugOperand {
  char OpLetter = 0;
  uint16_t Number = 0;
  int64_t Value = 0;
  uint8_t Signal = 0;  // 0 "L", 2 "H", 3 "HF", 4 "LF"
  bool Active = false;
  uint8_t Is32Bit = 0;
  bool ReadOk = false;
  uint8_t Format = 0;  // 0 decimal, 1 hexadecimal, 2 floating point
};

// One line of the program read back from the controller.
struct TDebugInstruction {
  std::string Text;
  TInstructions Instruction;
  std::vector<TDebugOperand> Operands;
};

// Decodes one record. False for a record that is not 34 bytes or whose code is unknown; endFound is
// set when the code is endCode.
bool DecodeInstruction(std::span<const uint8_t> bytes, uint16_t endCode, TDebugInstruction& out, bool& endFound);

}  // namespace ferrolad
