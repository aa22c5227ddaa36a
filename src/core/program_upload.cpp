#include "core/program_upload.h"

#include <algorithm>
#include <cstdio>

#include "core/il_text.h"
#include "core/instruction_record.h"

namespace ferrolad {

namespace {

TRWmbrReg ReadInput(uint16_t address, bool repeatUntilMatch) {
  TRWmbrReg r;
  r.FunctionCode = 2;
  r.Address = address;
  r.Count = 1;
  r.Verify = 1;
  r.ExpectedValue = 0;
  r.RepeatUntilMatch = repeatUntilMatch ? 1 : 0;
  return r;
}

TRWmbrReg WriteCoil(uint16_t address, bool on) {
  TRWmbrReg r;
  r.FunctionCode = 5;
  r.Address = address;
  r.Count = 1;
  r.Data = {0, static_cast<uint8_t>(on ? 1 : 0)};
  return r;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

TUploadRequests BuildUploadRequests(const std::vector<std::string>& lines, TProgramType type) {
  TUploadRequests out;
  if (lines.empty()) return out;
  TRegistersArray list;
  list.push_back(ReadInput(kRunStopInput, false));
  list.push_back(WriteCoil(kReadWriteCoil, true));
  list.push_back(WriteCoil(kProgramTypeCoil, type == TProgramType::Service));
  list.push_back(ReadInput(kRomStateInput, true));
  list.push_back(WriteCoil(kBeginWriteCoil, true));
  list.push_back(ReadInput(kRomStateInput, true));
  list.push_back(ReadInput(kUploadStatusInput, false));

  int index = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    const std::string_view text = std::string_view(line).substr(start);
    if (text.empty() || text.starts_with("//") || text.starts_with(";")) continue;
    const std::string_view instruction = text.substr(0, std::min(text.find("//"), text.find(';')));
    TInstructionRecord record{};
    const int code = ParseLine(instruction, record);
    if (code != ParseOk) {
      out.WrongLine = static_cast<int>(i);
      out.MarkedLine = WrongLineMark(code) + line;
      out.Error = "There is a wrong command in the list: \"" + std::string(instruction) +
                  "\". Line: " + std::to_string(i);
      return out;
    }
    if (index > kMaxUploadLineIndex) {
      out.Error = "Too long program";
      return out;
    }
    TRWmbrReg number;
    number.FunctionCode = 6;
    number.Address = kLineIndexRegister;
    number.Count = 1;
    number.Data = {static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index & 0xFF)};
    list.push_back(number);
    TRWmbrReg body;
    body.FunctionCode = 16;
    body.Address = kLineRecordRegister;
    body.Count = static_cast<uint16_t>(kInstructionRecordSize / 2);
    body.Data.assign(record.begin(), record.end());
    body.Counted = 1;
    list.push_back(body);
    list.push_back(WriteCoil(kStoreLineCoil, true));
    list.push_back(ReadInput(kRomStateInput, true));
    list.push_back(ReadInput(kUploadStatusInput, false));
    ++index;
  }
  out.InstructionLines = index;
  out.Requests = std::move(list);
  return out;
}

bool MarkWrongLine(std::vector<std::string>& lines, const TUploadRequests& build) {
  if (build.WrongLine < 0 || static_cast<size_t>(build.WrongLine) >= lines.size()) return false;
  lines[static_cast<size_t>(build.WrongLine)] = build.MarkedLine;
  return true;
}

std::string FailedCheckText(uint8_t functionCode, uint16_t address, int32_t value) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02X#%04X#%d", functionCode, address, value);
  return buf;
}

}  // namespace ferrolad
