#include "ui/upload_requests.h"

#include "core/il_text.h"
#include "core/instruction_record.h"

namespace ferrolad {

namespace {

TRWmbrReg Read(uint16_t address, bool repeatUntilMatch, bool verify = true) {
  TRWmbrReg r;
  r.FunctionCode = 2;
  r.Address = address;
  r.Count = 1;
  r.Verify = verify ? 1 : 0;
  r.ExpectedValue = 0;
  r.RepeatUntilMatch = repeatUntilMatch ? 1 : 0;
  return r;
}

TRWmbrReg Coil(uint16_t address, bool on) {
  TRWmbrReg r;
  r.FunctionCode = 5;
  r.Address = address;
  r.Count = 1;
  r.Data = {0, static_cast<uint8_t>(on ? 1 : 0)};
  return r;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

TUploadBuild BuildUploadRequests(const std::vector<std::string>& lines, bool serviceProgram) {
  TUploadBuild out;
  if (lines.empty()) return out;
  TRegistersArray& list = out.Requests;
  list.push_back(Read(0xF001, false));  // RUN/STOP must read STOP
  list.push_back(Coil(0xF005, true));   // write mode
  list.push_back(Coil(0xF006, serviceProgram));
  list.push_back(Read(0xF000, true));
  list.push_back(Coil(0xF003, true));
  list.push_back(Read(0xF000, true));
  list.push_back(Read(0xE000, false));

  int index = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    const std::string_view text = std::string_view(line).substr(start);
    if (text.empty() || text.starts_with("//") || text.starts_with(";")) continue;
    const size_t cut = std::min(text.find("//"), text.find(';'));
    const std::string_view instruction = text.substr(0, cut);
    TInstructionRecord record{};
    const int code = ParseLine(instruction, record);
    if (code != 0) {
      out.Requests.clear();
      out.MarkedLines = lines;
      out.MarkedLines[i] = WrongLineMark(code) + line;
      out.WrongLine = static_cast<int>(i);
      out.Error = "There is a wrong command in the list: \"" + std::string(instruction) + "\". Line: " + std::to_string(i);
      return out;
    }
    if (index > kHighestUploadLine) {
      out.Requests.clear();
      out.Error = "Too long program";
      return out;
    }
    TRWmbrReg number;
    number.FunctionCode = 6;
    number.Address = 0xF100;
    number.Count = 1;
    number.Data = {static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index)};
    list.push_back(number);
    TRWmbrReg body;
    body.FunctionCode = 16;
    body.Address = 0xF300;
    body.Count = 21;
    body.Data.assign(record.begin(), record.end());
    body.Counted = 1;
    list.push_back(body);
    list.push_back(Coil(0xF000, true));
    list.push_back(Read(0xF000, true));
    list.push_back(Read(0xE000, false));
    ++index;
  }
  return out;
}

}  // namespace ferrolad
