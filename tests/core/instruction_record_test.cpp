#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/il_text.h"
#include "core/instruction_record.h"

using namespace ferrolad;

namespace {

std::vector<uint8_t> Encode(const std::string& line) {
  TInstructionRecord r;
  EXPECT_EQ(ParseLine(line, r), 0) << line;
  return {r.begin(), r.end()};
}

std::vector<uint8_t> Block(const std::vector<uint8_t>& rec, int slot) {
  auto at = rec.begin() + 2 + (slot - 1) * 10;
  return {at, at + 10};
}

}  // namespace

TEST(InstructionRecord, MovExample) {
  std::vector<uint8_t> expected = {0x20, 0x18, 0x00, 0x4B, 0x0B, 0xB8, 0, 0, 0, 0, 0, 0,
                                   0x00, 0x44, 0x01, 0x69, 0,    0,    0, 0, 0, 0};
  expected.resize(42, 0);
  EXPECT_EQ(Encode("MOV\tK3000\tD361"), expected);
}

TEST(InstructionRecord, OperandBlocks) {
  struct Case {
    const char* Line;
    int Slot;
    std::vector<uint8_t> Bytes;
  };
  const Case cases[] = {
      {"CJ P5", 1, {0x00, 0x50, 0x00, 0x05, 0, 0, 0, 0, 0, 0}},
      {"P 5", 1, {0x00, 0x00, 0x00, 0x05, 0, 0, 0, 0, 0, 0}},
      {"I 1007", 1, {0x00, 0x00, 0x03, 0xEF, 0, 0, 0, 0, 0, 0}},
      {"MOV K-1 D0", 1, {0x00, 0x4B, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
      {"MOV F1.5 D0", 1, {0x00, 0x46, 0x00, 0x00, 0x3F, 0xC0, 0, 0, 0, 0}},
      {"MOV K5 D10A3", 2, {0x00, 0x44, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x41, 0x00, 0x03}},
      {"MOV K100@B2 D0", 1, {0x00, 0x4B, 0x00, 0x64, 0x00, 0x00, 0x00, 0x42, 0x00, 0x02}},
      {"LD X17", 1, {0x00, 0x58, 0x00, 0x0F, 0, 0, 0, 0, 0, 0}},
      {"DMOV H12345678 D0", 1, {0x00, 0x48, 0x56, 0x78, 0x12, 0x34, 0, 0, 0, 0}},
      {"ZCP K1 K2 K3 M0", 4, {0x00, 0x4D, 0x00, 0x00, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(Block(Encode(c.Line), c.Slot), c.Bytes) << c.Line;
  // Blocks of operands the instruction lacks stay zero, as does everything after END's code.
  const auto end = Encode("END");
  EXPECT_EQ(end[0], 0x60);
  EXPECT_EQ(end[1], 0x23);
  EXPECT_EQ(std::vector<uint8_t>(end.begin() + 2, end.end()), std::vector<uint8_t>(40, 0));
}

TEST(InstructionRecord, RecordToInstructionInvertsTheEncoding) {
  const char* lines[] = {"MOV K3000 D361", "DMOV HFFFFFFFF D0", "MOV F-0.25@A0 D2", "LD X17",     "P 31",
                         "I 2000",         "CJ P5B7",           "ZCP K-7 K9 D3 M5", "SPIN",       "DCMP D0 K-2147483647 Y1",
                         "LD<> X10A1 K1@B1"};
  for (const char* line : lines) {
    TInstructionRecord r;
    ASSERT_EQ(ParseLine(line, r), 0) << line;
    const TSingleInstruction si = RecordToInstruction(r);
    EXPECT_EQ(si.Instruction.Name, std::string(LineMnemonic(line))) << line;
    ASSERT_EQ(static_cast<int>(si.Operands.size()), OperandCount(si.Instruction)) << line;
    // Re-encoding the decoded operands gives the same bytes.
    TInstructionRecord again{};
    StoreInstructionCode(again, si.Instruction.Code);
    for (size_t k = 0; k < si.Operands.size(); ++k) StoreOperand(again, static_cast<int>(k + 1), si.Operands[k]);
    EXPECT_EQ(again, r) << line;
  }
  TInstructionRecord r;
  ASSERT_EQ(ParseLine("DMOV HFFFFFFFF D0", r), 0);
  EXPECT_EQ(RecordToInstruction(r).Operands[0].Value, 4294967295);
  ASSERT_EQ(ParseLine("DMOV K-5 D0", r), 0);
  EXPECT_EQ(RecordToInstruction(r).Operands[0].Value, -5);
  ASSERT_EQ(ParseLine("P 3", r), 0);
  EXPECT_EQ(RecordToInstruction(r).Operands[0].OpType, OpTypeEmpty);
}

TEST(InstructionRecord, BadRecords) {
  // Wrong length: "Unknown" without operands.
  const std::vector<uint8_t> short40(40, 0);
  TSingleInstruction si = RecordToInstruction(short40);
  EXPECT_EQ(si.Instruction.Name, "Unknown");
  EXPECT_TRUE(si.Operands.empty());
  EXPECT_EQ(RecordToInstruction(std::vector<uint8_t>{}).Instruction.Name, "Unknown");

  TInstructionRecord good;
  ASSERT_EQ(ParseLine("MOV K5 D10A3", good), 0);
  auto corrupt = [&](size_t at, uint8_t v) {
    TInstructionRecord r = good;
    r[at] = v;
    return RecordToInstruction(r);
  };
  // An operand that fails its check gives the empty instruction.
  const std::pair<size_t, uint8_t> faults[] = {
      {13, 'X'},   // X is no destination of MOV
      {14, 0x02},  // D522: out of range
      {13, 0},     // no letter outside a label line
      {19, 'C'},   // index register C does not exist
      {21, 8},     // index number 8
      {3, 'Z'},    // unknown operand letter
  };
  for (const auto& [at, v] : faults) {
    si = corrupt(at, v);
    EXPECT_EQ(si.Instruction.Name, "") << at;
    EXPECT_EQ(si.Instruction.Code, 0) << at;
    EXPECT_TRUE(si.Operands.empty()) << at;
  }
  // An unknown code is "Unknown" with no operands.
  TInstructionRecord unknown{};
  unknown[0] = 0x12;
  unknown[1] = 0x34;
  EXPECT_EQ(RecordToInstruction(unknown).Instruction.Name, "Unknown");
}
