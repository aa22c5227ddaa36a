// Ladder files from anywhere: the reader must never crash, and whatever it accepts must be written
// back and read again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ladder/ladder_file.h"

namespace {
// Skips every bad cell line so the whole file is read.
class SkipAll : public ferrolad::TLadderUi {
 public:
  void ShowMessage(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return true; }
  bool AskOkCancel(const std::string&) override { return true; }
};

// Reads bytes; whatever is accepted must survive a write and a second read unchanged.
void Check(std::string_view bytes) {
  SkipAll ui;
  ferrolad::TLadderGrid grid(&ui);
  if (ferrolad::LoadLadderText(grid, bytes, "fuzz") != ferrolad::TLadderLoadResult::Loaded) return;
  const std::string text = ferrolad::LadderFileText(grid);
  ferrolad::TLadderGrid again(&ui);
  if (ferrolad::LoadLadderText(again, text, "again") != ferrolad::TLadderLoadResult::Loaded) std::abort();
  if (ferrolad::LadderFileText(again) != text) std::abort();
}

// The same text with CR LF line ends and a correct check value, so the cell lines get read.
std::string WithCheckValue(std::string_view bytes) {
  std::string body;
  for (char c : bytes) {
    if (c == '\n') {
      body += "\r\n";
    } else if (c != '\r') {
      body += c;
    }
  }
  if (body.size() < 2 || body.compare(body.size() - 2, 2, "\r\n") != 0) body += "\r\n";
  return body + "CR=" + std::to_string(static_cast<int32_t>(ferrolad::LadderChecksum(body)));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ferrolad::TCellLine line;
  ferrolad::ParseCellLine(bytes, line);
  Check(bytes);
  Check(WithCheckValue(bytes));
  return 0;
}
