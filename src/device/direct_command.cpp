#include "device/direct_command.h"

#include <vector>

#include "comm/modbus.h"

namespace ferrolad {

std::string DirectCommandName(const TDirectCommand& command) {
  return "SendDirectCommand - " + std::to_string(command.Variant);
}

std::optional<TRegistersArray> BuildDirectCommandList(const TDirectCommand& command) {
  if (command.Commands.empty()) return std::nullopt;
  // The table records become the engine's direct records; the engine builds and checks the list.
  std::vector<TDirectRecord> records;
  records.reserve(command.Commands.size());
  for (const TDC_Record& record : command.Commands) {
    records.push_back({record.FunctionCode, record.Address, record.RegisterCount,
                       command.Variant == 3 ? command.Value : record.Value, record.Name});
  }
  return BuildDirectCommandList(command.Verify, command.RequireStop, command.ReadBack, records);
}

}  // namespace ferrolad
