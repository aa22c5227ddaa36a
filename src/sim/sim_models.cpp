#include "sim/sim_models.h"

#include <algorithm>

namespace ferrolad::sim {

const std::vector<SimModelInfo>& AllModels() {
  static const std::vector<SimModelInfo> models = {
      {SimModel::LiraV2, "KVDX-Lira ver.2", {0x20001, 0x30001}, 0x20002, 2, 1, 150, 1500, false, false, false},
      {SimModel::LiraV3, "KVDX-Lira ver.3", {0x00002, 0x10002}, 0x30002, 2, 2, 150, 1500, true, true, false},
      {SimModel::Tarn, "KVDX-Tarn", {0x00003, 0x10003}, 0x40002, 2, 2, 1000, 4200, true, true, true},
      {SimModel::Obel, "KVDX-Obel", {0x00004, 0x10004}, 0x50002, 2, 2, 2800, 8000, true, true, true},
  };
  return models;
}

const SimModelInfo& ModelInfo(SimModel m) { return AllModels()[static_cast<size_t>(m)]; }

std::optional<SimModel> ModelByName(std::string_view name) {
  for (const auto& info : AllModels())
    if (name == info.name) return info.model;
  return std::nullopt;
}

namespace {

constexpr int64_t kPosMax = 2147483647;

// Rows shared by every model; current rows carry the Lira range and are adjusted per model.
const std::vector<SimCommandRow>& BaseRows() {
  static const std::vector<SimCommandRow> rows = {
      {"SET_MAX_SPEED", 16, 0x5000, 2, 8, 120000, 100},
      {"GET_MAX_SPEED", 3, 0x5000, 2, 8, 120000, 100},
      {"SET_MIN_SPEED", 16, 0x5002, 2, 8, 120000, 100},
      {"GET_MIN_SPEED", 3, 0x5002, 2, 8, 120000, 100},
      {"SET_CMINSPEED", 6, 0x5016, 1, 0, 1, 1},
      {"GET_CMINSPEED", 3, 0x5016, 1, 0, 1, 1},
      {"SET_ACCEL", 6, 0x5004, 1, 1, 1000, 100},
      {"GET_ACCEL", 3, 0x5004, 1, 1, 1000, 100},
      {"SET_DECEL", 6, 0x5005, 1, 1, 1000, 100},
      {"GET_DECEL", 3, 0x5005, 1, 1, 1000, 100},
      {"SPIN", 5, 0x5100, 1, 1, 1, 1},
      {"SET_ABS_POS", 16, 0x5006, 2, -kPosMax, kPosMax, 0},
      {"GET_ABS_POS", 3, 0x5006, 2, -kPosMax, kPosMax, 0},
      {"SET_MICRO", 6, 0x5009, 1, 0, 8, 0},
      {"GET_MICRO", 3, 0x5009, 1, 0, 8, 0},
      {"SET_DIR", 6, 0x500A, 1, 0, 1, 1},
      {"GET_DIR", 3, 0x500A, 1, 0, 1, 1},
      {"SET_FDIR", 6, 0x500A, 1, 0, 1, 1},
      {"SET_RDIR", 6, 0x500A, 1, 0, 1, 0},
      {"SET_FS_SPEED", 16, 0x500B, 2, 8, 120000, 100},
      {"GET_FS_SPEED", 3, 0x500B, 2, 8, 120000, 100},
      {"SET_FS_SW_EN", 6, 0x500D, 1, 0, 1, 1},
      {"CLR_FS_SW_EN", 6, 0x500D, 1, 0, 1, 0},
      {"GET_FS_SW_EN", 3, 0x500D, 1, 0, 1, 1},
      {"SET_TARGET_POS", 16, 0x500E, 2, -kPosMax, kPosMax, 0},
      {"GET_TARGET_POS", 3, 0x500E, 2, -kPosMax, kPosMax, 0},
      {"CMD_MOVE_RUN", 6, 0x5010, 1, 0, 10, 0},
      {"CMD_RUN", 6, 0x5010, 1, 0, 0, 0},
      {"CMD_INC_MOVE", 6, 0x5010, 1, 1, 1, 1},
      {"CMD_GOTO", 6, 0x5010, 1, 2, 2, 2},
      {"CMD_GOTO_DIR", 6, 0x5010, 1, 3, 3, 3},
      {"CMD_GOHOME", 6, 0x5010, 1, 4, 4, 4},
      {"CMD_GOUNTIL_SSTOP", 6, 0x5010, 1, 5, 5, 5},
      {"CMD_GOUNTIL_FRONT_SSTOP", 6, 0x5010, 1, 6, 6, 6},
      {"CMD_GOUNTIL_HARDSTOP", 6, 0x5010, 1, 7, 7, 7},
      {"CMD_GOUNTIL_FRONT_HARDSTOP", 6, 0x5010, 1, 8, 8, 8},
      {"CMD_GOUNTIL_RELEASE", 6, 0x5010, 1, 9, 9, 9},
      {"CMD_GOUNTIL_FRONT_RELEASE", 6, 0x5010, 1, 10, 10, 10},
      {"GET_CMD_RUN", 3, 0x5010, 1, 0, 10, 0},
      {"SET_SW_INPUT", 6, 0x5011, 1, 0, 7, 0},
      {"GET_SW_INPUT", 3, 0x5011, 1, 0, 7, 0},
      {"SET_ACC_CUR", 6, 0x5012, 1, 150, 1500, 1500},
      {"GET_ACC_CUR", 3, 0x5012, 1, 150, 1500, 1500},
      {"SET_DEC_CUR", 6, 0x5013, 1, 150, 1500, 1500},
      {"GET_DEC_CUR", 3, 0x5013, 1, 150, 1500, 1500},
      {"SET_RUN_CUR", 6, 0x5014, 1, 150, 1500, 1500},
      {"GET_RUN_CUR", 3, 0x5014, 1, 150, 1500, 1500},
      {"SET_HOLD_CUR", 6, 0x5015, 1, 150, 1500, 1200},
      {"GET_HOLD_CUR", 3, 0x5015, 1, 150, 1500, 1200},
      {"SET_ERROR_SET_HIZ", 6, 0x5017, 1, 0, 255, 3},
      {"GET_ERROR_SET_HIZ", 3, 0x5017, 1, 0, 255, 3},
      {"GET_ERROR_CODE", 3, 0x5027, 1, 0, 255, 0},
      {"GET_MOTOR_STATUS", 4, 0x5037, 1, 0, 127, 0},
      {"GET_CURRENT_SPD", 4, 0x5047, 2, 0, 120000, 0},
      {"GET_RUN_STOP", 2, 0xF001, 1, 0, 1, 0},
      {"GET_OUTPUTS_Y0_Y7", 2, 0x1000, 8, 0, 255, 0},
      {"GET_INPUTS_X0_X7", 2, 0x2000, 8, 0, 255, 0},
      {"GET_ERRORS", 2, 0xE000, 5, 0, 31, 0},
      {"GET_ERROR_CODES", 4, 0xE002, 3, 0, 0, 0},
      {"GET_USER_PROG_ERROR_LINE", 4, 0xE084, 1, 0, 65535, 0},
      {"SET_READ_WRITE_PROG", 5, 0xF005, 1, 0, 1, 0},
      {"SET_MAIN_SERVICE_PROG", 5, 0xF006, 1, 0, 1, 0},
      {"GET_ROM_STATE", 2, 0xF000, 1, 0, 1, 0},
      {"GET_RW_SECTOR", 3, 0xF401, 123, 0, 1, 0},
      {"LAST_ADDRESS_FOR_RW_SECTOR", 3, 0xF4FF, 0, 0, 0, 0},
      {"SET_RW_SECTOR", 6, 0xF401, 123, 0, 0, 0},
      {"READ_PROG_LINES_QTY", 3, 0xF400, 1, 0, 0, 0},
      {"WRITE_PROG_LINES_QTY", 6, 0xF400, 1, 0, 15, 0},
      {"WRITE_PROG_LINE_NUMBER", 6, 0xF100, 1, 0, 28912, 0},
      {"START_PACKET_RW_PROG", 5, 0xF007, 1, 0, 1, 1},
      {"START_DEBUG", 5, 0x6100, 1, 0, 1, 1},
      {"DEBUG_SUSPEND_PROG", 5, 0x6101, 1, 0, 1, 1},
      {"DEBUG_SINGLE_STEP_PROG", 5, 0x6102, 1, 0, 1, 1},
      {"READ_DEBUG_CURRENT_INDEX", 4, 0x6100, 1, 0, 1, 1},
      {"READ_DEBUG_STATE", 2, 0x6100, 1, 0, 1, 1},
      {"READ_DEBUG_SUSPENDED", 2, 0x6101, 1, 0, 1, 1},
      {"READ_DEBUG_OPERAND_RW_ERROR", 2, 0x6000, 1, 0, 1, 1},
      {"READ_DEBUG_OPERAND_VALUE", 4, 0x6002, 2, 0, 2147483647, 1},
      {"READ_DEBUG_OPERAND_SIGNAL", 4, 0x6004, 1, 0, 4, 1},
      {"READ_DEBUG_OPERAND_SIZE", 5, 0x6002, 1, 0, 1, 0},
      {"READ_DEBUG_OPERAND_TYPE", 6, 0x6000, 1, 0, 255, 88},
      {"READ_DEBUG_OPERAND_INDEX", 6, 0x6001, 1, 0, 65535, 0},
      {"READ_DEBUG_OPERAND_REQUEST", 5, 0x6000, 1, 1, 1, 1},
      {"EDIT_DEBUG_OPERAND_REQUEST", 5, 0x6001, 1, 1, 1, 1},
      {"CANCEL_DEBUG_OPERAND_VALUE", 5, 0x6003, 1, 1, 1, 1},
      {"CANCEL_DEBUG_OPERAND_SIGNAL", 5, 0x6004, 1, 1, 1, 1},
      {"SET_DEBUG_OPERAND_VALUE", 6, 0x6002, 2, 0, 2147483647, 0},
      {"SET_DEBUG_OPERAND_SIGNAL", 6, 0x6004, 1, 0, 6, 0},
      {"SET_BREAKPOINT_LINE", 6, 0x6200, 1, 0, 65536, 0},
      {"GET_BREAKPOINT_LINE", 3, 0x6200, 1, 0, 65536, 0},
      {"SET_BREAKPOINT_ACTIVE", 5, 0x6200, 1, 0, 65536, 1},
      {"GET_BREAKPOINT_ACTIVE", 1, 0x6200, 1, 0, 1, 1},
      {"SET_ASCII", 5, 0x8100, 1, 0, 1, 0},
      {"SET_RTU", 5, 0x8100, 1, 0, 1, 1},
      {"GET_ASCII_RTU", 1, 0x8100, 1, 0, 1, 0},
      {"GET_BAUDRATE", 3, 0x8100, 2, 0, 1, 0},
      {"SET_BAUDRATE", 16, 0x8100, 2, 110, 256000, 115200},
      {"GET_PARITY", 3, 0x8102, 1, 0, 2, 0},
      {"SET_PARITY", 16, 0x8102, 1, 0, 2, 2},
      {"GET_ID", 3, 0x8103, 1, 1, 247, 1},
      {"SET_ID", 16, 0x8103, 1, 1, 247, 1},
      {"SET_HARD_STOP", 5, 0x5102, 1, 1, 1, 1},
      {"SET_HARD_HIZ", 5, 0x5103, 1, 1, 1, 1},
      {"SET_SLOW_STOP", 5, 0x5104, 1, 1, 1, 1},
      {"SET_SLOW_HIZ", 5, 0x5105, 1, 1, 1, 1},
      {"APPLY_CMD", 5, 0x5100, 1, 1, 1, 1},
      {"TORQUE", 5, 0x5101, 1, 1, 1, 1},
      {"GET_HW", 4, 0x8001, 2, 0, 65535, 0},
      {"GET_FW", 4, 0x8003, 2, 0, 65535, 0},
      {"GET_BOOTLOADER", 4, 0x8005, 2, 0, 65535, 0},
      {"CLR_ERRORS", 5, 0xE000, 1, 0, 1, 1},
  };
  return rows;
}

bool IsCurrentRow(std::string_view n) {
  return n == "SET_ACC_CUR" || n == "GET_ACC_CUR" || n == "SET_DEC_CUR" || n == "GET_DEC_CUR" ||
         n == "SET_RUN_CUR" || n == "GET_RUN_CUR" || n == "SET_HOLD_CUR" || n == "GET_HOLD_CUR";
}

}  // namespace

std::vector<SimCommandRow> CommandRows(SimModel m) {
  const SimModelInfo& info = ModelInfo(m);
  std::vector<SimCommandRow> rows = BaseRows();
  for (auto& r : rows) {
    if (IsCurrentRow(r.name)) {
      r.minValue = info.minCurrent;
      r.maxValue = info.maxCurrent;
      // A default outside the model's range falls to the nearest limit (the lower one is the safe side).
      r.defaultValue = std::clamp(r.defaultValue, r.minValue, r.maxValue);
    }
  }
  if (info.hasEmergencyDecel) rows.push_back({"SET_EMERGENCY_DECEL", 16, 0x5048, 2, 0, 2147483647, 100});
  if (info.hasSupplyVoltage) rows.push_back({"GET_SUPPLY_VOLTAGE_STATE", 1, 0x5030, 1, 0, 1, 0});
  if (info.hasInternalVoltage) rows.push_back({"GET_INTERNAL_VOLTAGE_STATE", 1, 0x502F, 1, 0, 1, 0});
  return rows;
}

std::optional<SimCommandRow> FindRow(SimModel m, std::string_view name) {
  for (const auto& r : CommandRows(m))
    if (name == r.name) return r;
  return std::nullopt;
}

}  // namespace ferrolad::sim
