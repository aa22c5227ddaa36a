#include "core/read_record.h"

#include "core/operands.h"

namespace ferrolad {

namespace {

uint16_t Word(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

struct Block {
  uint32_t value;
  uint16_t indexNumber;
  char indexLetter;
  char type;
};

Block ReadBlock(std::span<const uint8_t> b, int slot) {
  const size_t at = 2 + static_cast<size_t>(slot) * kReadBackOperandBlock;
  Block k;
  k.value = static_cast<uint32_t>(Word(b, at)) | static_cast<uint32_t>(Word(b, at + 2)) << 16;
  k.indexNumber = Word(b, at + 4);
  k.indexLetter = static_cast<char>(b[at + 6]);
  k.type = static_cast<char>(b[at + 7]);
  return k;
}

std::string OctalIndex(uint16_t n) {
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + (n & 7)));
    n >>= 3;
  } while (n != 0);
  return s;
}

TDebugOperand Watch(char letter, uint32_t value) {
  TDebugOperand op;
  op.OpLetter = letter;
  op.Number = static_cast<uint16_t>(value & 0xFFFF);
  op.Active = true;
  return op;
}

}  // namespace

bool DecodeInstruction(std::span<const uint8_t> bytes, uint16_t endCode, TDebugInstruction& out, bool& endFound) {
  if (bytes.size() != kReadBackRecordSize) return false;
  const uint16_t code = Word(bytes, 0);
  const int index = FindInstructionIndexByCode(code);
  if (index == 0) return false;
  const TInstructions& entry = InstructionCatalogue()[static_cast<size_t>(index)];
  if (code == endCode) endFound = true;

  TDebugInstruction result;
  result.Instruction = entry;
  result.Text = entry.Name;
  if (entry.LinkClass == LinkLabel) {
    const Block k = ReadBlock(bytes, 0);
    result.Text += "\t" + std::to_string(k.value);
    if (k.indexLetter != 0) result.Text += k.indexLetter + OctalIndex(k.indexNumber);
    result.Operands.push_back(Watch(k.type, k.value));
  } else {
    for (int slot = 0; slot < 4; ++slot) {
      const Block k = ReadBlock(bytes, slot);
      if (k.type == 0) break;
      // K is a signed 32-bit constant; H and F keep the raw pattern.
      const int64_t value = k.type == 'K' ? static_cast<int64_t>(static_cast<int32_t>(k.value))
                                          : static_cast<int64_t>(k.value);
      result.Text += '\t';
      result.Text += k.type;
      result.Text += OperandNumberText(k.type, value);
      if (k.indexLetter != 0) {
        if (k.type == 'K' || k.type == 'H' || k.type == 'F') result.Text += '@';
        result.Text += k.indexLetter + OctalIndex(k.indexNumber);
      }
      if (IsAddressType(k.type)) result.Operands.push_back(Watch(k.type, k.value));
    }
  }
  out = std::move(result);
  return true;
}

}  // namespace ferrolad
