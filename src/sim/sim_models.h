// The four simulated controller models: identification values, current ranges and the named
// command table the simulator answers. Written independently of the device layer's tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolad::sim {

enum class SimModel { LiraV2, LiraV3, Tarn, Obel };

struct SimModelInfo {
  SimModel model;
  const char* name;          // "KVDX-Lira ver.2" …
  uint32_t hwValues[2];      // GET_HW values that identify the model; the first is the default
  uint32_t regMapVersion;    // GET_REGMAP_VERSION
  uint16_t cmdListVersion;   // GET_CMD_LIST_VERSION
  uint16_t operandListVersion;
  int32_t minCurrent, maxCurrent;  // range of every current row
  bool hasEmergencyDecel;    // SET_EMERGENCY_DECEL
  bool hasSupplyVoltage;     // GET_SUPPLY_VOLTAGE_STATE
  bool hasInternalVoltage;   // GET_INTERNAL_VOLTAGE_STATE
};

const SimModelInfo& ModelInfo(SimModel m);
const std::vector<SimModelInfo>& AllModels();
std::optional<SimModel> ModelByName(std::string_view name);  // exact model name

// One named command as a controller sees it.
struct SimCommandRow {
  const char* name;
  uint8_t functionCode;
  uint16_t address;
  uint16_t count;
  int64_t minValue, maxValue;
  int64_t defaultValue;
};

// The model's whole command table, in table order (extra rows of later models last).
std::vector<SimCommandRow> CommandRows(SimModel m);
std::optional<SimCommandRow> FindRow(SimModel m, std::string_view name);

// Program memory capacities in lines.
inline constexpr int kMainProgramLines = 28912;
inline constexpr int kServiceProgramLines = 1926;

// Instruction code that ends the main cycle.
inline constexpr uint16_t kEndCode = 0x6023;

}  // namespace ferrolad::sim
