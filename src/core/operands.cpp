#include "core/operands.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace ferrolad {

namespace {

TOperand Row(TOperandType type, const char* name, int64_t minNumber, int64_t maxNumber, uint8_t indexAllowed,
             int32_t minValue16, int32_t maxValue16, int64_t minValue32, int64_t maxValue32) {
  TOperand r;
  r.OpType = type;
  r.Name = name;
  r.MaxNumber = maxNumber;
  r.MinNumber = minNumber;
  r.IndexAllowed = indexAllowed;
  r.MaxValue16 = maxValue16;
  r.MinValue16 = minValue16;
  r.MaxValue32 = maxValue32;
  r.MinValue32 = minValue32;
  return r;
}

std::array<TOperand, kOperandTypeCount> BuildTypeTable() {
  // The 32-bit lower bound of K and D is -2147483647 on purpose: the controller keeps -2^31 apart.
  return {
      Row(OpTypeNull, "Null", 0, 1, 0, 0, 0, 0, 0),
      Row(OpTypeX, "X", 0, 127, 1, 0, 0, 0, 0),
      Row(OpTypeY, "Y", 0, 127, 1, 0, 0, 0, 0),
      Row(OpTypeM, "M", 0, 127, 1, 0, 0, 0, 0),
      Row(OpTypeT, "T", 0, 63, 1, 0, 65535, 0, 0),
      Row(OpTypeC, "C", 0, 65, 1, 0, 65535, 0, 0),
      Row(OpTypeK, "K", -2147483647, 2147483647, 1, -32768, 32767, -2147483647, 2147483647),
      Row(OpTypeH, "H", 0, 4294967295, 1, 0, 65535, 0, 4294967295),
      Row(OpTypeF, "F", 0, 4294967295, 1, 0, 0, 0, 4294967295),
      Row(OpTypeD, "D", 0, 391, 1, -32768, 32767, -2147483647, 2147483647),
      Row(OpTypeP, "P", 0, 31, 1, 0, 0, 0, 0),
      Row(OpTypeI, "I", 0, 2001, 0, 0, 0, 0, 0),
      Row(OpTypeA, "A", 0, 7, 1, 0, 65535, 0, 0),
      Row(OpTypeB, "B", 0, 7, 1, 0, 65535, 0, 0),
      Row(OpTypeEmpty, "", 0, 2001, 0, 0, 0, 0, 0),
  };
}

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }
bool IsDecDigit(char c) { return c >= '0' && c <= '9'; }

// Characters that may follow the type letter.
bool AllowedChar(TOperandType type, char c) {
  switch (type) {
    case OpTypeX:
    case OpTypeY:
    case OpTypeA:
    case OpTypeB:
      return IsOctalDigit(c) || c == 'A' || c == 'B';
    case OpTypeM:
    case OpTypeT:
    case OpTypeC:
    case OpTypeD:
    case OpTypeP:
    case OpTypeI:
      return IsDecDigit(c) || c == 'A' || c == 'B';
    case OpTypeK:
      return c == '-' || IsDecDigit(c) || c == '@' || c == 'A' || c == 'B';
    case OpTypeH:
      return IsDecDigit(c) || c == '@' || (c >= 'A' && c <= 'F');
    case OpTypeF:
      return c == '-' || c == '.' || IsDecDigit(c) || c == '@' || c == 'A' || c == 'B';
    case OpTypeEmpty:
      return IsDecDigit(c);
    default:
      return false;
  }
}

// Digits only, at most 32 bits; an empty text reads as 0 (the controller's own convention for octal).
bool ConvertOctal(std::string_view s, int64_t& out) {
  uint64_t v = 0;
  for (char c : s) {
    if (!IsOctalDigit(c)) return false;
    v = v * 8 + static_cast<uint64_t>(c - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  out = static_cast<int64_t>(v);
  return true;
}

// Signed 32-bit decimal, optional leading '-' only where `allowMinus`.
bool ConvertDecimal(std::string_view s, bool allowMinus, int64_t& out) {
  if (s.empty()) return false;
  if (!allowMinus && s.front() == '-') return false;
  int32_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
  if (ec != std::errc() || p != s.data() + s.size()) return false;
  out = v;
  return true;
}

bool ConvertHex(std::string_view s, int64_t& out) {
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char c : s) {
    unsigned d;
    if (IsDecDigit(c)) {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    v = v * 16 + d;
    if (v > 0xFFFFFFFFull) return false;
  }
  out = static_cast<int64_t>(v);
  return true;
}

// Decimal fraction without exponent, rounded once to single precision; Value is the bit pattern.
bool ConvertFloat(std::string_view s, int64_t& out) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!(IsDecDigit(c) || c == '-' || c == '.')) return false;
  }
  const char* first = s.data();
  const char* last = s.data() + s.size();
  float f = 0;
  auto [p, ec] = std::from_chars(first, last, f, std::chars_format::fixed);
  if (p != last) return false;
  if (ec == std::errc::result_out_of_range) {
    // Too small for a normal single (integer part all zeros): keep the tiny value or a signed zero;
    // too large: refuse.
    std::string_view digits = s.front() == '-' ? s.substr(1) : s;
    std::string_view intPart = digits.substr(0, digits.find('.'));
    if (intPart.find_first_not_of('0') != std::string_view::npos) return false;
    double d = 0;
    auto [pd, ecd] = std::from_chars(first, last, d, std::chars_format::fixed);
    if (pd == last && ecd == std::errc()) {
      f = static_cast<float>(d);
    } else {
      f = s.front() == '-' ? -0.0f : 0.0f;
    }
  } else if (ec != std::errc()) {
    return false;
  }
  if (!std::isfinite(f)) return false;
  out = static_cast<int64_t>(std::bit_cast<uint32_t>(f));
  return true;
}

std::string Octal(int64_t value) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, magnitude, 8);
  std::string out;
  if (value < 0) out.push_back('-');
  out.append(buf, r.ptr);
  return out;
}

}  // namespace

const std::array<TOperand, kOperandTypeCount>& OperandTypeTable() {
  static const std::array<TOperand, kOperandTypeCount> table = BuildTypeTable();
  return table;
}

const TOperand& OperandTypeRow(TOperandType type) {
  const auto& t = OperandTypeTable();
  return static_cast<unsigned>(type) < t.size() ? t[type] : t[OpTypeNull];
}

TOperandType TypeFromLetter(char letter) {
  switch (letter) {
    case 'A': return OpTypeA;
    case 'B': return OpTypeB;
    case 'C': return OpTypeC;
    case 'D': return OpTypeD;
    case 'F': return OpTypeF;
    case 'H': return OpTypeH;
    case 'I': return OpTypeI;
    case 'K': return OpTypeK;
    case 'M': return OpTypeM;
    case 'P': return OpTypeP;
    case 'T': return OpTypeT;
    case 'X': return OpTypeX;
    case 'Y': return OpTypeY;
    default: return OpTypeNull;
  }
}

char LetterFromType(TOperandType type) {
  static constexpr char letters[kOperandTypeCount] = {' ', 'X', 'Y', 'M', 'T', 'C', 'K', 'H',
                                                      'F', 'D', 'P', 'I', 'A', 'B', ' '};
  return static_cast<unsigned>(type) < kOperandTypeCount ? letters[type] : ' ';
}

bool IsAddressType(TOperandType t) {
  return t == OpTypeX || t == OpTypeY || t == OpTypeM || t == OpTypeT || t == OpTypeC || t == OpTypeD ||
         t == OpTypeA || t == OpTypeB;
}
bool IsWordType(TOperandType t) {
  return t == OpTypeT || t == OpTypeC || t == OpTypeD || t == OpTypeA || t == OpTypeB;
}
bool IsTimerOrCounter(TOperandType t) { return t == OpTypeT || t == OpTypeC; }
bool IsBitType(TOperandType t) {
  return t == OpTypeX || t == OpTypeY || t == OpTypeM || t == OpTypeT || t == OpTypeC;
}
bool IsAddressType(char letter) { return IsAddressType(TypeFromLetter(letter)); }
bool IsWordType(char letter) { return IsWordType(TypeFromLetter(letter)); }
bool IsTimerOrCounter(char letter) { return IsTimerOrCounter(TypeFromLetter(letter)); }
bool IsBitType(char letter) { return IsBitType(TypeFromLetter(letter)); }

int64_t MaxValue(TOperandType type, int width) {
  const TOperand& r = OperandTypeRow(type);
  return width == 0 ? r.MaxValue16 : width == 1 ? r.MaxValue32 : 0;
}
int64_t MinValue(TOperandType type, int width) {
  const TOperand& r = OperandTypeRow(type);
  return width == 0 ? r.MinValue16 : width == 1 ? r.MinValue32 : 0;
}
int64_t MaxValue(char letter, int width) { return MaxValue(TypeFromLetter(letter), width); }
int64_t MinValue(char letter, int width) { return MinValue(TypeFromLetter(letter), width); }

std::string FloatText(float value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return std::signbit(value) ? "-0" : "0";
  char buf[64];
  // to_chars is locale-independent, unlike printf.
  auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::scientific, 9);
  std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));  // [-]d.ddddddddde[+-]XX
  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  size_t ePos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, ePos)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::string_view expText = sci.substr(ePos + 1);
  if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
  std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  // Built by appending: GCC 12 warns falsely (-Wrestrict) on some string concatenations.
  std::string out;
  if (negative) out.push_back('-');
  if (exponent >= -5 && exponent <= 9) {
    if (exponent >= 0) {
      size_t intLen = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= intLen) {
        out.append(digits).append(intLen - digits.size(), '0');
      } else {
        out.append(digits, 0, intLen).append(1, '.').append(digits, intLen);
      }
    } else {
      out.append("0.").append(static_cast<size_t>(-exponent - 1), '0').append(digits);
    }
  } else {
    out.append(digits, 0, 1);
    if (digits.size() > 1) out.append(1, '.').append(digits, 1);
    out.append(1, 'E').append(std::to_string(exponent));
  }
  return out;
}

std::string OperandNumberText(char letter, int64_t value) {
  switch (letter) {
    case 'X':
    case 'Y':
    case 'A':
    case 'B':
      return Octal(value);
    case 'H': {
      uint64_t v = value < 0 ? static_cast<uint32_t>(value) : static_cast<uint64_t>(value);
      char buf[32];
      auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
      std::string s(buf, r.ptr);
      for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
      if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
      return s;
    }
    case 'F':
      return FloatText(std::bit_cast<float>(static_cast<uint32_t>(value)));
    default:
      return std::to_string(value);
  }
}

std::string OperandText(char letter, int64_t number) {
  if (!IsAddressType(letter)) return " ";
  std::string out(1, letter);
  out.append(OperandNumberText(letter, number));
  return out;
}

std::optional<TParsedOperand> ParseOperand(std::string_view text, uint8_t linkClass) {
  constexpr uint8_t kLabelLine = 8;
  TOperandType type;
  size_t start;
  if (linkClass == kLabelLine) {
    type = OpTypeEmpty;
    start = 0;
  } else {
    if (text.empty()) return std::nullopt;
    type = TypeFromLetter(text.front());
    if (type == OpTypeNull) return std::nullopt;
    start = 1;
  }
  size_t end = start;
  while (end < text.size() && text[end] != ' ' && text[end] != '\t') {
    if (!AllowedChar(type, text[end])) return std::nullopt;
    ++end;
  }
  // A letter followed by a blank is no operand (it would otherwise read as number 0).
  if (end == start) return std::nullopt;
  std::string_view token = text.substr(start, end - start);

  std::string_view valueText = token;
  std::string_view indexText;
  if (type == OpTypeK || type == OpTypeH || type == OpTypeF) {
    size_t at = token.find('@');
    if (at != std::string_view::npos) {
      if (token.size() < 4) return std::nullopt;
      valueText = token.substr(0, at);
      indexText = token.substr(at + 1);
    }
  } else {
    size_t ab = token.find_first_of("AB");
    if (ab != std::string_view::npos) {
      valueText = token.substr(0, ab);
      indexText = token.substr(ab);
    }
  }

  TParsedOperand result;
  TSingleOperand& op = result.Operand;
  op.OpType = type;
  bool ok = false;
  switch (type) {
    case OpTypeX:
    case OpTypeY:
    case OpTypeA:
    case OpTypeB:
      ok = ConvertOctal(valueText, op.Value);
      break;
    case OpTypeK:
      ok = ConvertDecimal(valueText, true, op.Value);
      break;
    case OpTypeH:
      ok = ConvertHex(valueText, op.Value);
      break;
    case OpTypeF:
      ok = ConvertFloat(valueText, op.Value);
      break;
    default:  // M T C D P I and label numbers
      ok = ConvertDecimal(valueText, false, op.Value);
      break;
  }
  if (!ok) return std::nullopt;

  if (!indexText.empty()) {
    if (indexText.size() != 2 || (indexText[0] != 'A' && indexText[0] != 'B') || !IsOctalDigit(indexText[1])) {
      return std::nullopt;
    }
    op.IndexType = indexText[0] == 'A' ? OpTypeA : OpTypeB;
    op.IndexNumber = static_cast<uint8_t>(indexText[1] - '0');
  }
  result.Length = end;
  return result;
}

}  // namespace ferrolad
