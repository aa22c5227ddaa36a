// Fuzzes the instruction-list line parser: any bytes must give a documented code, and a valid
// line must survive the record round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/il_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ferrolad;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TInstructionRecord record;
  const int code = ParseLine(text, record);
  if (code < 0 || code > 9 || code == 8) std::abort();
  const TLineClass c = ClassifyLine(text);
  if ((c.Kind == TLineKind::Instruction) != (c.Code == 0 && c.Kind != TLineKind::Empty && c.Kind != TLineKind::Comment)) {
    std::abort();
  }
  if (code == 0) {
    const TSingleInstruction si = RecordToInstruction(record);
    if (si.Instruction.Code == 0 || static_cast<int>(si.Operands.size()) != OperandCount(si.Instruction)) std::abort();
    TInstructionRecord again{};
    StoreInstructionCode(again, si.Instruction.Code);
    for (size_t k = 0; k < si.Operands.size(); ++k) StoreOperand(again, static_cast<int>(k + 1), si.Operands[k]);
    if (again != record) std::abort();
  }
  // Arbitrary bytes as a record must not crash either.
  if (size >= kInstructionRecordSize) {
    (void)RecordToInstruction(std::span<const uint8_t>(data, kInstructionRecordSize));
  }
  return 0;
}
