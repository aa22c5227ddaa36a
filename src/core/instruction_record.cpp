#include "core/instruction_record.h"

namespace ferrolad {

namespace {

constexpr uint8_t kLabelKind = 21;

size_t BlockOffset(int slot) { return 2 + static_cast<size_t>(slot - 1) * kOperandBlockSize; }

uint16_t Word(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

}  // namespace

void StoreInstructionCode(TInstructionRecord& record, uint16_t code) {
  record[0] = static_cast<uint8_t>(code >> 8);
  record[1] = static_cast<uint8_t>(code);
}

void StoreOperand(TInstructionRecord& record, int slot, const TSingleOperand& operand) {
  if (slot < 1 || slot > 4) return;
  uint8_t* b = record.data() + BlockOffset(slot);
  // A label line's bare number carries no letter.
  b[0] = 0;
  b[1] = operand.OpType == OpTypeEmpty ? 0 : static_cast<uint8_t>(LetterFromType(operand.OpType));
  const uint32_t v = static_cast<uint32_t>(operand.Value);
  b[2] = static_cast<uint8_t>(v >> 8);
  b[3] = static_cast<uint8_t>(v);
  b[4] = static_cast<uint8_t>(v >> 24);
  b[5] = static_cast<uint8_t>(v >> 16);
  const bool indexed = operand.IndexType == OpTypeA || operand.IndexType == OpTypeB;
  b[6] = 0;
  b[7] = indexed ? static_cast<uint8_t>(LetterFromType(operand.IndexType)) : 0;
  b[8] = 0;
  b[9] = indexed ? operand.IndexNumber : 0;
}

TSingleInstruction RecordToInstruction(std::span<const uint8_t> bytes) {
  TSingleInstruction result;
  if (bytes.size() != kInstructionRecordSize) {
    result.Instruction = InstructionCatalogue()[0];
    return result;
  }
  const TInstructions& entry = InstructionCatalogue()[static_cast<size_t>(FindInstructionIndexByCode(Word(bytes, 0)))];
  const int n = OperandCount(entry);
  for (int slot = 1; slot <= n; ++slot) {
    const size_t at = BlockOffset(slot);
    const char letter = static_cast<char>(bytes[at + 1]);
    TSingleOperand op;
    op.OpType = letter == 0 && entry.ElementKind == kLabelKind ? OpTypeEmpty : TypeFromLetter(letter);
    const uint32_t raw = static_cast<uint32_t>(Word(bytes, at + 2)) | (static_cast<uint32_t>(Word(bytes, at + 4)) << 16);
    op.Value = op.OpType == OpTypeH || op.OpType == OpTypeF ? static_cast<int64_t>(raw)
                                                            : static_cast<int64_t>(static_cast<int32_t>(raw));
    const char indexLetter = static_cast<char>(bytes[at + 7]);
    const uint8_t indexNumber = bytes[at + 9];
    // Only A0..A7 and B0..B7 exist; a foreign index would make a line no parser accepts.
    bool indexOk = true;
    if (indexLetter == 'A' || indexLetter == 'B') {
      op.IndexType = TypeFromLetter(indexLetter);
      op.IndexNumber = indexNumber;
      indexOk = indexNumber <= 7;
    } else {
      indexOk = indexLetter == 0;
    }
    if (!indexOk || !ValidateOperand(op, slot, entry)) return TSingleInstruction{};
    result.Operands.push_back(op);
  }
  result.Instruction = entry;
  return result;
}

}  // namespace ferrolad
