#include "device/direct_command.h"

namespace ferrolad {

std::string DirectCommandName(const TDirectCommand& command) {
  return "SendDirectCommand - " + std::to_string(command.Variant);
}

std::optional<TRegistersArray> BuildDirectCommandList(const TDirectCommand& command) {
  if (command.Commands.empty()) return std::nullopt;
  TRegistersArray list;
  TRWmbrReg check;
  check.FunctionCode = 2;
  check.Address = 0xF001;  // GET_RUN_STOP
  check.Count = 1;
  check.Name = "GET_RUN_STOP";
  check.Verify = command.Verify ? 1 : 0;
  check.ExpectedValue = command.RequireStop ? 0 : 1;
  check.Counted = 0;
  list.push_back(check);

  for (const TDC_Record& record : command.Commands) {
    const uint8_t fc = record.FunctionCode;
    const bool writes = fc == 5 || fc == 6 || fc == 15 || fc == 16;
    if (!writes || record.RegisterCount < 1 || record.RegisterCount > 2) return std::nullopt;
    const auto v = static_cast<uint32_t>(command.Variant == 3 ? command.Value : record.Value);
    TRWmbrReg write;
    write.FunctionCode = fc;
    write.Address = record.Address;
    write.Count = record.RegisterCount;
    write.Name = record.Name;
    write.Counted = 1;
    if (record.RegisterCount == 1) {
      write.Data = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    } else {
      write.Data = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v),
                    static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16)};
    }
    list.push_back(write);
    if (command.ReadBack) {
      TRWmbrReg read;
      read.FunctionCode = fc == 5 ? 1 : fc == 15 ? 15 : 3;
      read.Address = record.Address;
      read.Count = record.RegisterCount;
      read.Name = record.Name;
      list.push_back(read);
    }
  }
  return list;
}

}  // namespace ferrolad
