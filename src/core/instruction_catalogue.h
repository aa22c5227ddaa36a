// The instruction catalogue: every mnemonic the controllers understand, with code, operand slots,
// link class, category and ladder element kind. Built once, read-only afterwards (safe from any thread).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/operands.h"

namespace ferrolad {

using TOperandsArr = std::vector<TOperand>;

// One operand slot of a catalogue entry; a slot with no Types is not used.
struct TInstructionOperand {
  TOperandsArr Types;   // accepted types, in order; copies of operand type table rows
  std::string Role;     // "S", "S1", "S2", "D", "D1", "D2", "n" or ""
  std::string Caption;  // shown beside the operand, e.g. "Contact name"
};

// Link classes (how an instruction joins the logic of its rung).
enum : uint8_t {
  LinkLoad = 0,
  LinkSeries = 1,
  LinkParallel = 2,
  LinkBlock = 3,
  LinkOutputSide = 4,
  LinkCoil = 5,
  LinkEmptyLine = 6,
  LinkInversion = 7,
  LinkLabel = 8,
  LinkLoadCompare = 9,
  LinkSeriesCompare = 10,
  LinkParallelCompare = 11,
};

inline constexpr uint8_t kCategoryNone = 12;
inline constexpr int kInstructionCount = 241;

struct TInstructions {
  std::string Name;
  bool IsPulse = false;  // bit 11 of Code
  bool Is32Bit = false;  // bit 12 of Code
  uint8_t Group = 0;     // bits 13..15 of Code
  std::array<TInstructionOperand, 4> Operands;
  uint16_t Code = 0;  // 0 only for "Unknown"
  std::string Description;
  uint8_t ElementKind = 0;
  uint8_t LinkClass = 0;
  uint8_t Category = kCategoryNone;
};

// One program line: a copy of the catalogue entry and the operands given.
struct TSingleInstruction {
  TInstructions Instruction;
  std::vector<TSingleOperand> Operands;
};

// The name table from which entries take code, element kind and description.
struct TInstrAPI_Name {
  std::string Name;
  uint16_t Code = 0;
  uint8_t ElementKind = 0;
  std::string Description;
};

// Builds the tables; idempotent. Every lookup also builds them on first use.
void InitInstructionCatalogue();

// All 241 entries, index 0 = "Unknown".
const std::vector<TInstructions>& InstructionCatalogue();
const std::vector<TInstrAPI_Name>& InstructionNameTable();

// Index-returning lookups (no copy): 0 when not found.
int FindInstructionIndexByName(std::string_view name);
int FindInstructionIndexByCode(uint16_t code);

// Copies of entries; entry 0 ("Unknown", Code 0) when nothing matches. Names are case-sensitive.
TInstructions FindInstructionByName(std::string_view name);
TInstructions FindInstructionByCode(uint16_t code);
// 2 LD, 3 LDI, 4 OUT, 5 LDF, 6 LDP, 7..10 LD&, 20 INV; any other kind: entry 0.
TInstructions InstructionForElementKind(int elementKind);

int OperandCount(const TInstructions& entry);  // leading non-empty slots, 0..4
int CellSpan(const TInstructions& entry);      // grid cells the element occupies

std::string_view LineMnemonic(std::string_view line);  // up to the first blank or tab
bool IsOutputLine(std::string_view line);              // coil or instruction box
bool HasEntryCondition(std::string_view mnemonic);

// Checks a parsed operand against slot 1..4 of the instruction with `code` (code 0: only the type
// table's range). Operands of the interruption marker I must also fall in an interruption range.
bool ValidateOperand(const TSingleOperand& operand, int slot, uint16_t code);
// The same against an entry already at hand (no lookup by code).
bool ValidateOperand(const TSingleOperand& operand, int slot, const TInstructions& entry);

}  // namespace ferrolad
