#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <string>

#include "core/instruction_catalogue.h"
#include "core/interruption_ranges.h"
#include "core/operands.h"

using namespace ferrolad;

namespace {

// Parses `text` as operand `slot` of `mnemonic` and validates it.
bool Accepts(const char* mnemonic, int slot, const std::string& text) {
  const TInstructions e = FindInstructionByName(mnemonic);
  auto p = ParseOperand(text, e.LinkClass);
  return p && p->Length == text.size() && ValidateOperand(p->Operand, slot, e.Code);
}

}  // namespace

TEST(Operands, LettersAndTypes) {
  const std::string letters = "XYMTCKHFDPIAB";
  for (char c : letters) {
    const TOperandType t = TypeFromLetter(c);
    EXPECT_NE(t, OpTypeNull) << c;
    EXPECT_EQ(LetterFromType(t), c);
    EXPECT_EQ(OperandTypeRow(t).Name, std::string(1, c));
  }
  for (char c : std::string("xkEGJZ0@ \0", 10)) EXPECT_EQ(TypeFromLetter(c), OpTypeNull) << int(c);
  EXPECT_EQ(LetterFromType(OpTypeNull), ' ');
  EXPECT_EQ(LetterFromType(OpTypeEmpty), ' ');
  EXPECT_EQ(LetterFromType(static_cast<TOperandType>(77)), ' ');
  EXPECT_TRUE(IsAddressType('B'));
  EXPECT_FALSE(IsAddressType('K'));
  EXPECT_TRUE(IsWordType('D'));
  EXPECT_FALSE(IsWordType('M'));
  EXPECT_TRUE(IsTimerOrCounter(OpTypeC));
  EXPECT_FALSE(IsTimerOrCounter(OpTypeD));
  EXPECT_TRUE(IsBitType('T'));
  EXPECT_FALSE(IsBitType('A'));
}

TEST(Operands, ValueRanges) {
  EXPECT_EQ(MaxValue('K', 0), 32767);
  EXPECT_EQ(MinValue('K', 0), -32768);
  EXPECT_EQ(MinValue('K', 1), -2147483647);
  EXPECT_EQ(MinValue(OpTypeD, 1), -2147483647);
  EXPECT_EQ(MaxValue('H', 1), 4294967295);
  EXPECT_EQ(MaxValue('T', 0), 65535);
  EXPECT_EQ(MaxValue('T', 1), 0);
  EXPECT_EQ(MaxValue('K', 2), 0);
  EXPECT_EQ(MinValue('K', -1), 0);
  EXPECT_EQ(MaxValue('?', 0), 0);
}

TEST(Operands, AcceptedAndRefusedOperands) {
  struct Case {
    const char* Mnemonic;
    int Slot;
    const char* Text;
    bool Valid;
  };
  const Case cases[] = {
      {"LD", 1, "X0", true},          {"LD", 1, "X10", true},        {"LD", 1, "X177", true},
      {"LD", 1, "X200", false},       {"LD", 1, "X8", false},        {"LD", 1, "Y9", false},
      {"LD", 1, "Y177", true},        {"LD", 1, "M127", true},       {"LD", 1, "M128", false},
      {"LD", 1, "T63", true},         {"LD", 1, "D0", false},        {"LD", 1, "x0", false},
      {"LD", 1, "X", false},          {"LD", 1, "X-1", false},       {"LD", 1, "X10A7", true},
      {"LD", 1, "X10A8", false},      {"LD", 1, "M5B3", true},       {"LD", 1, "M5B", false},
      {"LD", 1, "M5AB", false},       {"LD", 1, "M5A01", false},
      {"TMR", 1, "T63", true},        {"TMR", 1, "T64", false},      {"TMR", 1, "C0", false},
      {"CNT", 1, "C65", true},        {"CNT", 1, "C66", false},
      {"MOV", 1, "D391", true},       {"MOV", 2, "D391", true},      {"MOV", 2, "D392", false},
      {"MOV", 1, "K2147483647", true}, {"MOV", 1, "K-2147483647", true},
      {"MOV", 1, "K-2147483648", false}, {"MOV", 1, "K2147483648", false}, {"MOV", 1, "K99999999999", false},
      {"MOV", 1, "H7FFFFFFF", true},  {"MOV", 1, "H80000000", true}, {"MOV", 1, "HFFFFFFFF", true},
      {"MOV", 1, "H100000000", false}, {"MOV", 1, "Hff", false},     {"MOV", 1, "H0", true},
      {"MOV", 1, "F1.5", true},       {"MOV", 1, "F-0.25", true},    {"MOV", 1, "F1e5", false},
      {"MOV", 1, "F1E5", false},      {"MOV", 1, "F1,5", false},     {"MOV", 1, "F.", false},
      {"MOV", 1, "F1.2.3", false},    {"MOV", 1, "F1000000000000000000000000000000000000000000000000", false},
      {"MOV", 1, "F0.0000000000000000000000000000000000000000000001", true},
      {"MOV", 1, "K100@A1", true},    {"MOV", 1, "K100A1", false},   {"MOV", 1, "K1@A", false},
      {"MOV", 1, "K@A1", false},      {"MOV", 1, "H1F@B2", true},    {"MOV", 1, "F2.5@A0", true},
      {"MOV", 1, "K1@A8", false},     {"MOV", 1, "K1@C1", false},    {"MOV", 1, "K-", false},
      {"MOV", 1, "K5-", false},       {"MOV", 1, "K", false},
      {"MOV", 2, "D10A0", true},      {"MOV", 2, "D10C0", false},    {"MOV", 2, "K5", false},
      {"MOV", 2, "X0", false},        {"MOV", 1, "X0", true},        {"MOV", 2, "A7", true},
      {"MOV", 2, "A8", false},        {"MOV", 2, "B7", true},        {"MOV", 3, "D0", false},
      {"MOV", 0, "D0", false},        {"MOV", 1, "P0", false},
      {"CJ", 1, "P31", true},         {"CJ", 1, "P32", false},       {"CJ", 1, "P5A1", true},
      {"P", 1, "31", true},           {"P", 1, "32", false},         {"P", 1, "P1", false},
      {"P", 1, "1A0", false},         {"I", 1, "0", true},           {"I", 1, "7", true},
      {"I", 1, "100", true},          {"I", 1, "101", false},        {"I", 1, "1007", true},
      {"I", 1, "1008", false},        {"I", 1, "2001", true},        {"I", 1, "2002", false},
      {"I", 1, "500", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Accepts(c.Mnemonic, c.Slot, c.Text), c.Valid) << c.Mnemonic << " slot " << c.Slot << " " << c.Text;
  }
}

TEST(Operands, ParsedValuesAndLength) {
  auto op = ParseOperand("X17\tY0", LinkLoad);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Length, 3u);
  EXPECT_EQ(op->Operand.OpType, OpTypeX);
  EXPECT_EQ(op->Operand.Value, 15);

  op = ParseOperand("D10A3 rest", LinkOutputSide);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Length, 5u);
  EXPECT_EQ(op->Operand, (TSingleOperand{OpTypeD, 10, OpTypeA, 3}));

  op = ParseOperand("K-1@B7", LinkOutputSide);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Operand, (TSingleOperand{OpTypeK, -1, OpTypeB, 7}));

  op = ParseOperand("HFFFFFFFF", LinkOutputSide);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Operand.Value, 4294967295);

  op = ParseOperand("F1.5", LinkOutputSide);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Operand.Value, 0x3FC00000);
  op = ParseOperand("F-0.25", LinkOutputSide);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Operand.Value, 0xBE800000);
  // Rounded once to single precision: 0.1 is the nearest single, not a double cast down.
  op = ParseOperand("F0.1", LinkOutputSide);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Operand.Value, std::bit_cast<uint32_t>(0.1f));

  op = ParseOperand("5", LinkLabel);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Operand.OpType, OpTypeEmpty);
  EXPECT_EQ(op->Operand.Value, 5);

  EXPECT_FALSE(ParseOperand("", LinkLoad));
  EXPECT_FALSE(ParseOperand("", LinkLabel));
  EXPECT_FALSE(ParseOperand("X ", LinkLoad));  // a bare letter is not X0
}

TEST(Operands, NumberText) {
  struct Case {
    char Letter;
    int64_t Value;
    const char* Text;
  };
  const Case cases[] = {
      {'X', 15, "17"},   {'Y', 127, "177"}, {'A', 7, "7"},       {'B', 0, "0"},      {'M', 108, "108"},
      {'D', 361, "361"}, {'K', -5, "-5"},   {'K', 3000, "3000"}, {'H', 0x1F, "1F"},  {'H', 5, "05"},
      {'H', 0xFFFFFFFF, "FFFFFFFF"},        {'H', -1, "FFFFFFFF"},                   {'P', 31, "31"},
      {'F', 0x3FC00000, "1.5"},             {'F', std::bit_cast<uint32_t>(0.1f), "0.1000000015"},
      {'F', std::bit_cast<uint32_t>(1e10f), "1E10"},
      {'F', std::bit_cast<uint32_t>(1e9f), "1000000000"},
      {'F', std::bit_cast<uint32_t>(-0.25f), "-0.25"},
      {'F', std::bit_cast<uint32_t>(0.0000152587890625f), "0.00001525878906"},
      {'F', std::bit_cast<uint32_t>(0.00001f), "9.999999747E-6"},
      {'F', std::bit_cast<uint32_t>(0.000001f), "9.999999975E-7"},
      {'F', std::bit_cast<uint32_t>(1.5e-7f), "1.500000053E-7"},
      {'F', std::bit_cast<uint32_t>(-3e20f), "-3.00000006E20"},
      {'F', std::bit_cast<uint32_t>(123456.0f), "123456"},
      {'F', std::bit_cast<uint32_t>(0.5f), "0.5"},
      {'F', std::bit_cast<uint32_t>(9999999999.0f), "1E10"},
      {'F', 0, "0"},
      {'F', 0x7F800000, "INF"},
      {'F', 0x7FC00000, "NAN"},
  };
  for (const auto& c : cases) EXPECT_EQ(OperandNumberText(c.Letter, c.Value), c.Text) << c.Letter << c.Value;
  EXPECT_EQ(OperandText('X', 8), "X10");
  EXPECT_EQ(OperandText('D', 361), "D361");
  EXPECT_EQ(OperandText('K', 5), " ");
  EXPECT_EQ(OperandText('P', 5), " ");
}

TEST(Operands, FloatTextRoundTripsThroughTheParser) {
  for (float f : {1.5f, 0.1f, -0.25f, 3.14159274f, 1e10f, 1e-6f, 123456.789f, -7e-30f, 3.4e38f, 16777217.0f}) {
    const std::string text = OperandNumberText('F', std::bit_cast<uint32_t>(f));
    if (text.find('E') != std::string::npos) continue;  // the parser takes no exponent
    auto op = ParseOperand("F" + text, LinkOutputSide);
    ASSERT_TRUE(op) << text;
    EXPECT_EQ(op->Operand.Value, std::bit_cast<uint32_t>(f)) << text;
  }
}

TEST(Operands, FloatTextIgnoresTheNumericLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(OperandNumberText('F', 0x3FC00000), "1.5");
  auto op = ParseOperand("F2.5", LinkOutputSide);
  std::setlocale(LC_NUMERIC, saved.c_str());
  ASSERT_TRUE(op);
  EXPECT_EQ(op->Operand.Value, std::bit_cast<uint32_t>(2.5f));
}

TEST(Operands, ValidateOperandEdges) {
  const uint16_t mov = FindInstructionByName("MOV").Code;
  EXPECT_FALSE(ValidateOperand(TSingleOperand{OpTypeNull, 0, OpTypeNull, 0}, 1, mov));
  EXPECT_FALSE(ValidateOperand(TSingleOperand{static_cast<TOperandType>(99), 0, OpTypeNull, 0}, 1, mov));
  EXPECT_FALSE(ValidateOperand(TSingleOperand{OpTypeD, 0, OpTypeNull, 0}, 5, mov));
  // Code 0: the type table alone decides.
  EXPECT_TRUE(ValidateOperand(TSingleOperand{OpTypeD, 391, OpTypeNull, 0}, 9, 0));
  EXPECT_FALSE(ValidateOperand(TSingleOperand{OpTypeD, 392, OpTypeNull, 0}, 1, 0));
  EXPECT_TRUE(ValidateOperand(TSingleOperand{OpTypeEmpty, 2001, OpTypeNull, 0}, 1, 0));
}

TEST(InterruptionRanges, InstalledListDecidesWhichMarkersExist) {
  const uint16_t i = FindInstructionByName("I").Code;
  const TSingleOperand seven{OpTypeEmpty, 7, OpTypeNull, 0};
  const TSingleOperand big{OpTypeEmpty, 1500, OpTypeNull, 0};
  EXPECT_TRUE(ValidateOperand(seven, 1, i));
  EXPECT_FALSE(ValidateOperand(big, 1, i));
  SetInterruptionRanges({{"EI", 0, 2001}, {"I", 1400, 1600}});
  EXPECT_FALSE(ValidateOperand(seven, 1, i));
  EXPECT_TRUE(ValidateOperand(big, 1, i));
  SetInterruptionRanges({});
  EXPECT_FALSE(ValidateOperand(seven, 1, i));  // no I entry: no marker is valid
  SetInterruptionRanges(DefaultInterruptionRanges());
  EXPECT_TRUE(ValidateOperand(seven, 1, i));
  ASSERT_EQ(InterruptionRanges().size(), 4u);
  EXPECT_EQ(InterruptionRanges()[3].MaxNumber, 2001);
}
