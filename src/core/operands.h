// Operand model: operand types, the operand type table, operand values, and the text forms of operands.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ferrolad {

// The ordinals are stored nowhere, but several tables are indexed by them: keep the order.
enum TOperandType : uint8_t {
  OpTypeNull = 0,
  OpTypeX,
  OpTypeY,
  OpTypeM,
  OpTypeT,
  OpTypeC,
  OpTypeK,
  OpTypeH,
  OpTypeF,
  OpTypeD,
  OpTypeP,
  OpTypeI,
  OpTypeA,
  OpTypeB,
  OpTypeEmpty,  // the bare number of a label line (P, I)
};

inline constexpr int kOperandTypeCount = 15;

// One row of the operand type table; catalogue slots hold copies of rows (value ranges zero there).
struct TOperand {
  TOperandType OpType = OpTypeNull;
  std::string Name;
  int64_t MaxNumber = 0;
  int64_t MinNumber = 0;
  uint8_t IndexAllowed = 0;
  TOperandType IndexType = OpTypeNull;
  uint8_t IndexNumber = 0;
  int32_t MaxValue16 = 0;
  int32_t MinValue16 = 0;
  int64_t MaxValue32 = 0;
  int64_t MinValue32 = 0;
};

// A parsed operand. Value: the number (X/Y/A/B already converted from octal), the K or H constant,
// the raw IEEE single bit pattern for F, or the label number.
struct TSingleOperand {
  TOperandType OpType = OpTypeNull;
  int64_t Value = 0;
  TOperandType IndexType = OpTypeNull;  // OpTypeA, OpTypeB or OpTypeNull
  uint8_t IndexNumber = 0;              // 0..7

  friend bool operator==(const TSingleOperand&, const TSingleOperand&) = default;
};

// The fifteen rows, in TOperandType order.
const std::array<TOperand, kOperandTypeCount>& OperandTypeTable();
const TOperand& OperandTypeRow(TOperandType type);

TOperandType TypeFromLetter(char letter);  // anything but the thirteen upper-case letters gives OpTypeNull
char LetterFromType(TOperandType type);    // OpTypeNull and OpTypeEmpty give ' '

bool IsAddressType(TOperandType type);  // X Y M T C D A B
bool IsAddressType(char letter);
bool IsWordType(TOperandType type);  // T C D A B
bool IsWordType(char letter);
bool IsTimerOrCounter(TOperandType type);  // T C
bool IsTimerOrCounter(char letter);
bool IsBitType(TOperandType type);  // X Y M T C
bool IsBitType(char letter);

// Value range of an operand of `type` in a 16-bit (width 0) or 32-bit (width 1) instruction; 0 otherwise.
int64_t MaxValue(TOperandType type, int width);
int64_t MinValue(TOperandType type, int width);
int64_t MaxValue(char letter, int width);
int64_t MinValue(char letter, int width);

// Number part of an operand as written in IL: octal for X Y A B, upper-case hexadecimal (two digits at
// least) for H, the single-precision value for F (bit pattern in `value`), decimal otherwise.
std::string OperandNumberText(char letter, int64_t value);
// Letter and number for the address operands X Y A B M T C D; " " for any other letter.
std::string OperandText(char letter, int64_t number);
// F constants: 10 significant digits, general format, '.' as separator in every locale.
std::string FloatText(float value);

struct TParsedOperand {
  TSingleOperand Operand;
  size_t Length = 0;  // characters of the token, from its first character
};

// Parses the operand token at the start of `text` (leading blanks already removed). `linkClass` is the
// instruction's LinkClass: 8 (label line) reads a bare number. Empty result on any fault.
std::optional<TParsedOperand> ParseOperand(std::string_view text, uint8_t linkClass);

}  // namespace ferrolad
