// "KVDX-Lira ver.2": the base command table every later model extends.
#include "device/device_tables.h"

namespace ferrolad::device_tables {

namespace {

TFieldDescrArray Lira2Rows() {
  // Row order matters: lookups take the first row with a name.
  return {
      Row(0, 0, 0, 0, 0, 0, 0, "", "EMPTY", "", 0, 0, GroupOther, "1", "0"),  // 0: the empty row
      // Motor parameters: P, D, bits, function, address, count, default, name, caption, description,
      // min, max, flags, texts for 1 and 0.
      Row(1, 357, 32, 16, 0x5000, 2, 100, "SET_MAX_SPEED", "MAX SPEED", "Maximum speed, puls/sec", 8, 120000, 512, "", ""),  // 1
      Row(1, 357, 32, 3, 0x5000, 2, 100, "GET_MAX_SPEED", "MAX SPEED", "Maximum speed, puls/sec", 8, 120000, 0, "", ""),  // 2
      Row(2, 359, 32, 16, 0x5002, 2, 100, "SET_MIN_SPEED", "MIN SPEED", "Minimum speed, puls/sec", 8, 120000, 512, "", ""),  // 3
      Row(2, 359, 32, 3, 0x5002, 2, 100, "GET_MIN_SPEED", "MIN SPEED", "Minimum speed, puls/sec", 8, 120000, 0, "", ""),  // 4
      Row(18, 382, 1, 6, 0x5016, 1, 1, "SET_CMINSPEED", "CALCULATE MIN SPEED", "Automatic calculation of min speed", 0, 1, 512, "Enable", "Disable"),  // 5
      Row(18, 382, 1, 3, 0x5016, 1, 1, "GET_CMINSPEED", "CALCULATE MIN SPEED", "Automatic calculation of min speed", 0, 1, 0, "", ""),  // 6
      Row(3, 361, 16, 6, 0x5004, 1, 100, "SET_ACCEL", "ACCEL", "Acceleration", 1, 1000, 512, "", ""),  // 7
      Row(3, 361, 16, 3, 0x5004, 1, 100, "GET_ACCEL", "ACCEL", "Acceleration", 1, 1000, 0, "", ""),  // 8
      Row(4, 362, 16, 6, 0x5005, 1, 100, "SET_DECEL", "DECEL", "Deceleration", 1, 1000, 512, "", ""),  // 9
      Row(4, 362, 16, 3, 0x5005, 1, 100, "GET_DECEL", "DECEL", "Deceleration", 1, 1000, 0, "", ""),  // 10
      Row(12, 0, 1, 5, 0x5100, 1, 1, "SPIN", "SPIN", "Start motion", 1, 1, 257, "", ""),  // 11
      Row(5, 363, 32, 16, 0x5006, 2, 0, "SET_ABS_POS", "ABS POS", "Absolute position", -2147483647, 2147483647, 513, "", ""),  // 12
      Row(5, 363, 32, 3, 0x5006, 2, 0, "GET_ABS_POS", "ABS POS", "Absolute position", -2147483647, 2147483647, 1, "", ""),  // 13
      Row(7, 366, 16, 6, 0x5009, 1, 0, "SET_MICRO", "MICROSTEP", "Microstepping", 0, 8, 516, "", ""),  // 14
      Row(7, 366, 16, 3, 0x5009, 1, 0, "GET_MICRO", "MICROSTEP", "Microstepping", 0, 8, 4, "", ""),  // 15
      Row(8, 374, 1, 6, 0x500A, 1, 1, "SET_DIR", "DIRECTION", "Direction", 0, 1, 513, "Forward", "Backward"),  // 16
      Row(8, 374, 16, 3, 0x500A, 1, 1, "GET_DIR", "GET DIR", "Direction", 0, 1, 1, "", ""),  // 17
      Row(8, 374, 16, 6, 0x500A, 1, 1, "SET_FDIR", "SET F DIR", "Forward direction", 0, 1, 519, "", ""),  // 18
      Row(8, 374, 16, 6, 0x500A, 1, 0, "SET_RDIR", "SET R DIR", "Backward direction", 0, 1, 519, "", ""),  // 19
      Row(9, 377, 32, 16, 0x500B, 2, 100, "SET_FS_SPEED", "FULL STEP SPEED", "Speed threshold of turning to fullstep mode ", 8, 120000, 512, "", ""),  // 20
      Row(9, 377, 32, 3, 0x500B, 2, 100, "GET_FS_SPEED", "FULL STEP SPEED", "Speed threshold of turning to fullstep mode ", 8, 120000, 0, "", ""),  // 21
      Row(10, 379, 1, 6, 0x500D, 1, 1, "SET_FS_SW_EN", "FULL STEP ENABLE", "Enable turning to fullstep mode", 0, 1, 512, "Enable", "Disable"),  // 22
      Row(10, 379, 1, 6, 0x500D, 1, 0, "CLR_FS_SW_EN", "FULL STEP ENABLE", "Enable turning to fullstep mode", 0, 1, 519, "Enable", "Disable"),  // 23
      Row(10, 379, 1, 3, 0x500D, 1, 1, "GET_FS_SW_EN", "FULL STEP ENABLE", "Enable turning to fullstep mode", 0, 1, 0, "Enable", "Disable"),  // 24
      Row(11, 372, 32, 16, 0x500E, 2, 0, "SET_TARGET_POS", "TARGET POS", "Set target position", -2147483647, 2147483647, 513, "", ""),  // 25
      Row(11, 372, 32, 3, 0x500E, 2, 0, "GET_TARGET_POS", "TARGET POS", "Set target position", -2147483647, 2147483647, 1, "", ""),  // 26
      Row(12, 376, 16, 6, 0x5010, 1, 0, "CMD_MOVE_RUN", "RUN/MOVE COMMAND", "Set type of the motion", 0, 10, 513, "", ""),  // 27
      Row(12, 376, 16, 6, 0x5010, 1, 0, "CMD_RUN", "RUN", "continuous motion", 0, 0, 513, "", ""),  // 28
      Row(12, 376, 16, 6, 0x5010, 1, 1, "CMD_INC_MOVE", "MOVE", "Increment displacement", 1, 1, 513, "", ""),  // 29
      Row(12, 376, 16, 6, 0x5010, 1, 2, "CMD_GOTO", "GO TO POS", "Go to target position - shortest way", 2, 2, 513, "", ""),  // 30
      Row(12, 376, 16, 6, 0x5010, 1, 3, "CMD_GOTO_DIR", "GO TO DIR POS", "Go to target position (direction according the set value)", 3, 3, 513, "", ""),  // 31
      Row(12, 376, 16, 6, 0x5010, 1, 4, "CMD_GOHOME", "GO HOME", "Go to zero position", 4, 4, 513, "", ""),  // 32
      Row(12, 376, 16, 6, 0x5010, 1, 5, "CMD_GOUNTIL_SSTOP", "GO UNTIL; SLOW STOP", "Go until signal rising edge, then smooth deceleration. Check signal state before movement.", 5, 5, 513, "", ""),  // 33
      Row(12, 376, 16, 6, 0x5010, 1, 6, "CMD_GOUNTIL_FRONT_SSTOP", "GO UNTIL; FRONT; SLOW STOP", "Go until signal rising edge, then smooth deceleration.", 6, 6, 513, "", ""),  // 34
      Row(12, 376, 16, 6, 0x5010, 1, 7, "CMD_GOUNTIL_HARDSTOP", "GO UNTIL; HARD STOP", "Go until signal rising edge, then hard stop. Check signal state before movement.", 7, 7, 513, "", ""),  // 35
      Row(12, 376, 16, 6, 0x5010, 1, 8, "CMD_GOUNTIL_FRONT_HARDSTOP", "GO UNTIL; FRONT; HARD STOP", "Go until signal rising edge, then hard stop", 8, 8, 513, "", ""),  // 36
      Row(12, 376, 16, 6, 0x5010, 1, 9, "CMD_GOUNTIL_RELEASE", "GO UNTIL; RELEASE", "Go until signal falling edge, then hard stop. Check signal state before movement.", 9, 9, 513, "", ""),  // 37
      Row(12, 376, 16, 6, 0x5010, 1, 10, "CMD_GOUNTIL_FRONT_RELEASE", "GO UNTIL; FRONT_RELEASE", "Go until signal falling edge, then hard stop.", 10, 10, 513, "", ""),  // 38
      Row(12, 376, 16, 3, 0x5010, 1, 0, "GET_CMD_RUN", "GET CMD", "Get CMD", 0, 10, 1, "", ""),  // 39
      Row(13, 375, 16, 6, 0x5011, 1, 0, "SET_SW_INPUT", "GO_UNTIL INPUT NUM", "Set input number for GO UNTIL commands", 0, 7, 513, "", ""),  // 40
      Row(13, 375, 16, 3, 0x5011, 1, 0, "GET_SW_INPUT", "GET INPUT NUM", "Get input number for GO UNTIL commands", 0, 7, 6, "", ""),  // 41
      Row(14, 367, 16, 6, 0x5012, 1, 1500, "SET_ACC_CUR", "ACCEL CURRENT", "Set phase current during acceleration, mA", 150, 1500, 516, "", ""),  // 42
      Row(14, 367, 16, 3, 0x5012, 1, 1500, "GET_ACC_CUR", "ACCEL CURRENT", "Set phase current during acceleration, mA", 150, 1500, 4, "", ""),  // 43
      Row(15, 368, 16, 6, 0x5013, 1, 1500, "SET_DEC_CUR", "DECEL CURRENT", "Set phase current during deceleration, mA", 150, 1500, 516, "", ""),  // 44
      Row(15, 368, 16, 3, 0x5013, 1, 1500, "GET_DEC_CUR", "DECEL CURRENT", "Set phase current during deceleration, mA", 150, 1500, 4, "", ""),  // 45
      Row(16, 369, 16, 6, 0x5014, 1, 1500, "SET_RUN_CUR", "WORK CURRENT", "Set phase work current, mA", 150, 1500, 516, "", ""),  // 46
      Row(16, 369, 16, 3, 0x5014, 1, 1500, "GET_RUN_CUR", "WORK CURRENT", "Set phase work current, mA", 150, 1500, 4, "", ""),  // 47
      Row(17, 370, 16, 6, 0x5015, 1, 1200, "SET_HOLD_CUR", "HOLD CURRENT", "Set holding phase current, mA", 150, 1500, 516, "", ""),  // 48
      Row(17, 370, 16, 3, 0x5015, 1, 1200, "GET_HOLD_CUR", "HOLD CURRENT", "Set holding phase current, mA", 150, 1500, 4, "", ""),  // 49
      Row(19, 380, 16, 6, 0x5017, 1, 3, "SET_ERROR_SET_HIZ", "ERROR_SET_HIZ", "Errors handling", 0, 255, 515, "", ""),  // 50
      Row(19, 380, 16, 3, 0x5017, 1, 3, "GET_ERROR_SET_HIZ", "ERROR_SET_HIZ", "Errors handling", 0, 255, 3, "", ""),  // 51
      Row(20, 381, 16, 3, 0x5027, 1, 0, "GET_ERROR_CODE", "GET ERROR CODE", "Get error code", 0, 255, 3, "", ""),  // 52
      Row(21, 371, 16, 4, 0x5037, 1, 0, "GET_MOTOR_STATUS", "GET MOTOR STATUS", "Get motor state", 0, 127, 7, "", ""),  // 53
      Row(22, 383, 32, 4, 0x5047, 2, 0, "GET_CURRENT_SPD", "GET CURRENT SPD", "Get current speed", 0, 120000, 0, "", ""),  // 54
      // System commands.
      Row(23, 0, 1, 2, 0xF001, 1, 0, "GET_RUN_STOP", "GET_RUN_STOP", "Get RUN/STOP state", 0, 1, 7, "", ""),  // 55
      Row(23, 0, 16, 2, 0x1000, 8, 0, "GET_OUTPUTS_Y0_Y7", "GET_OUTPUTS_Y0_Y7", "Get state of outputs Y0..Y7", 0, 255, 7, "", ""),  // 56
      Row(23, 0, 16, 2, 0x2000, 8, 0, "GET_INPUTS_X0_X7", "GET_INPUTS_X0_X7", "Get state of inputs X0..X7", 0, 255, 7, "", ""),  // 57
      Row(23, 0, 16, 2, 0xE000, 5, 0, "GET_ERRORS", "GET_ERRORS", "Checking errors", 0, 31, 7, "", ""),  // 58
      Row(23, 0, 0, 4, 0xE002, 3, 0, "GET_ERROR_CODES", "GET_ERROR_CODES", "Checking errors - Get Error Codes", 0, 0, 7, "", ""),  // 59
      Row(23, 0, 16, 4, 0xE084, 1, 0, "GET_USER_PROG_ERROR_LINE", "GET_USER_PROG_ERROR_LINE", "Checking errors - user program error - line number", 0, 65535, 7, "", ""),  // 60
      Row(23, 0, 1, 5, 0xF005, 1, 0, "SET_READ_WRITE_PROG", "SET_READ_WRITE_PROG", "Set operation type - read/write program", 0, 1, 519, "", ""),  // 61
      Row(23, 0, 1, 5, 0xF006, 1, 0, "SET_MAIN_SERVICE_PROG", "SET_MAIN_SERVICE_PROG", "Set  program type", 0, 1, 519, "", ""),  // 62
      Row(23, 0, 16, 2, 0xF000, 1, 0, "GET_ROM_STATE", "GET_ROM_STATE", "Get ROM state", 0, 1, 519, "", ""),  // 63
      Row(23, 0, 0, 3, 0xF401, 123, 0, "GET_RW_SECTOR", "GET_RW_SECTOR", "Get read/write block sector", 0, 1, 519, "", ""),  // 64
      Row(23, 0, 0, 3, 0xF4FF, 0, 0, "LAST_ADDRESS_FOR_RW_SECTOR", "LAST_ADDRESS_FOR_RW_SECTOR", "", 0, 0, 519, "", ""),  // 65
      Row(23, 0, 0, 6, 0xF401, 123, 0, "SET_RW_SECTOR", "SET_RW_SECTOR", "Set read/write block sector", 0, 0, 519, "", ""),  // 66
      Row(23, 0, 16, 3, 0xF400, 1, 0, "READ_PROG_LINES_QTY", "READ_PROG_LINES_QTY", "Command lines quantity for read/write program", 0, 0, 7, "", ""),  // 67
      Row(23, 0, 16, 6, 0xF400, 1, 0, "WRITE_PROG_LINES_QTY", "WRITE_PROG_LINES_QTY", "Command lines quantity for read/write program", 0, 15, 519, "", ""),  // 68
      Row(23, 0, 16, 6, 0xF100, 1, 0, "WRITE_PROG_LINE_NUMBER", "WRITE_PROG_LINE_NUMBER", "Command line number for read/write program", 0, 28912, 519, "", ""),  // 69
      Row(23, 0, 1, 5, 0xF007, 1, 1, "START_PACKET_RW_PROG", "START_PACKET_RW_PROG", "Start packet read/write program operation", 0, 1, 519, "", ""),  // 70
      Row(23, 0, 1, 5, 0x6100, 1, 1, "START_DEBUG", "START_DEBUG", "Start/stop debugging", 0, 1, 263, "", ""),  // 71
      Row(23, 0, 1, 5, 0x6101, 1, 1, "DEBUG_SUSPEND_PROG", "DEBUG_SUSPEND_PROG", "Suspend program executing at the current index", 0, 1, 263, "", ""),  // 72
      Row(23, 0, 1, 5, 0x6102, 1, 1, "DEBUG_SINGLE_STEP_PROG", "DEBUG_SINGLE_STEP_PROG", "Turn on single-step debugging mode", 0, 1, 263, "", ""),  // 73
      Row(23, 0, 1, 4, 0x6100, 1, 1, "READ_DEBUG_CURRENT_INDEX", "READ_DEBUG_CURRENT_INDEX", "User program current index", 0, 1, 7, "", ""),  // 74
      Row(23, 0, 1, 2, 0x6100, 1, 1, "READ_DEBUG_STATE", "READ_DEBUG_STATE", "Debug mode display", 0, 1, 7, "", ""),  // 75
      Row(23, 0, 1, 2, 0x6101, 1, 1, "READ_DEBUG_SUSPENDED", "READ_DEBUG_SUSPENDED", "Display run state - Run/Suspended", 0, 1, 7, "", ""),  // 76
      Row(23, 0, 1, 2, 0x6000, 1, 1, "READ_DEBUG_OPERAND_RW_ERROR", "READ_DEBUG_OPERAND_RW_ERROR", "Operand read/write error during debugging", 0, 1, 7, "", ""),  // 77
      Row(23, 0, 32, 4, 0x6002, 2, 1, "READ_DEBUG_OPERAND_VALUE", "READ_DEBUG_OPERAND_VALUE", "Operand value - read during debugging", 0, 2147483647, 7, "", ""),  // 78
      Row(23, 0, 16, 4, 0x6004, 1, 1, "READ_DEBUG_OPERAND_SIGNAL", "READ_DEBUG_OPERAND_SIGNAL", "Operand value - read during debugging", 0, 4, 7, "", ""),  // 79
      Row(23, 0, 1, 5, 0x6002, 1, 0, "READ_DEBUG_OPERAND_SIZE", "READ_DEBUG_OPERAND_SIZE", "Size of the operand during debugging", 0, 1, 519, "", ""),  // 80
      Row(23, 0, 16, 6, 0x6000, 1, 88, "READ_DEBUG_OPERAND_TYPE", "READ_DEBUG_OPERAND_TYPE", "Type of the operand during debugging", 0, 255, 519, "", ""),  // 81
      Row(23, 0, 16, 6, 0x6001, 1, 0, "READ_DEBUG_OPERAND_INDEX", "READ_DEBUG_OPERAND_INDEX", "Index of the operand during debugging", 0, 65535, 519, "", ""),  // 82
      Row(23, 0, 1, 5, 0x6000, 1, 1, "READ_DEBUG_OPERAND_REQUEST", "READ_DEBUG_OPERAND_REQUEST", "Request to read the operand during debugging", 1, 1, 263, "", ""),  // 83
      Row(23, 0, 1, 5, 0x6001, 1, 1, "EDIT_DEBUG_OPERAND_REQUEST", "EDIT_DEBUG_OPERAND_REQUEST", "Request to change the operand during debugging", 1, 1, 519, "", ""),  // 84
      Row(23, 0, 1, 5, 0x6003, 1, 1, "CANCEL_DEBUG_OPERAND_VALUE", "CANCEL_DEBUG_OPERAND_VALUE", "Request to cancel changing the operand value during debugging", 1, 1, 519, "", ""),  // 85
      Row(23, 0, 1, 5, 0x6004, 1, 1, "CANCEL_DEBUG_OPERAND_SIGNAL", "CANCEL_DEBUG_OPERAND_SIGNAL", "Request to cancel changing the operand signal during debugging", 1, 1, 519, "", ""),  // 86
      Row(23, 0, 32, 6, 0x6002, 2, 0, "SET_DEBUG_OPERAND_VALUE", "SET_DEBUG_OPERAND_VALUE", "Operand value - set during debugging", 0, 2147483647, 519, "", ""),  // 87
      Row(23, 0, 16, 6, 0x6004, 1, 0, "SET_DEBUG_OPERAND_SIGNAL", "SET_DEBUG_OPERAND_SIGNAL", "Operand signal - set during debugging", 0, 6, 519, "", ""),  // 88
      Row(23, 0, 16, 6, 0x6200, 1, 0, "SET_BREAKPOINT_LINE", "SET_BREAKPOINT_LINE", "Set breakpoint line number", 0, 65536, 519, "", ""),  // 89
      Row(23, 0, 16, 3, 0x6200, 1, 0, "GET_BREAKPOINT_LINE", "GET_BREAKPOINT_LINE", "Get breakpoint line number", 0, 65536, 519, "", ""),  // 90
      Row(23, 0, 1, 5, 0x6200, 1, 1, "SET_BREAKPOINT_ACTIVE", "SET_BREAKPOINT_ACTIVE", "Set breakpoint activity", 0, 65536, 519, "", ""),  // 91
      Row(23, 0, 1, 1, 0x6200, 1, 1, "GET_BREAKPOINT_ACTIVE", "GET_BREAKPOINT_ACTIVE", "Get breakpoint activity", 0, 1, 519, "", ""),  // 92
      Row(23, 0, 1, 5, 0x8100, 1, 0, "SET_ASCII", "SET_ASCII", "", 0, 1, 519, "", ""),  // 93
      Row(23, 0, 1, 5, 0x8100, 1, 1, "SET_RTU", "SET_RTU", "", 0, 1, 519, "", ""),  // 94
      Row(23, 0, 1, 1, 0x8100, 1, 0, "GET_ASCII_RTU", "GET_ASCII_RTU", "", 0, 1, 7, "", ""),  // 95
      Row(23, 0, 32, 3, 0x8100, 2, 0, "GET_BAUDRATE", "GET_BAUDRATE", "", 0, 1, 7, "", ""),  // 96
      Row(23, 0, 32, 16, 0x8100, 2, 115200, "SET_BAUDRATE", "SET_BAUDRATE", "", 110, 256000, 519, "", ""),  // 97
      Row(23, 0, 16, 3, 0x8102, 1, 0, "GET_PARITY", "GET_PARITY", "", 0, 2, 7, "", ""),  // 98
      Row(23, 0, 16, 16, 0x8102, 1, 2, "SET_PARITY", "SET_PARITY", "", 0, 2, 519, "", ""),  // 99
      Row(23, 0, 16, 3, 0x8103, 1, 1, "GET_ID", "GET_ID", "", 1, 247, 7, "", ""),  // 100
      Row(23, 0, 16, 16, 0x8103, 1, 1, "SET_ID", "SET_ID", "", 1, 247, 519, "", ""),  // 101
      Row(23, 0, 1, 5, 0x5102, 1, 1, "SET_HARD_STOP", "SET_HARD_STOP", "", 1, 1, 263, "", ""),  // 102
      Row(23, 0, 1, 5, 0x5103, 1, 1, "SET_HARD_HIZ", "SET_HARD_HIZ", "", 1, 1, 263, "", ""),  // 103
      Row(23, 0, 1, 5, 0x5104, 1, 1, "SET_SLOW_STOP", "SET_SLOW_STOP", "", 1, 1, 263, "", ""),  // 104
      Row(23, 0, 1, 5, 0x5105, 1, 1, "SET_SLOW_HIZ", "SET_SLOW_HIZ", "", 1, 1, 263, "", ""),  // 105
      Row(23, 0, 1, 5, 0x5100, 1, 1, "APPLY_CMD", "APPLY_CMD", "", 1, 1, 263, "", ""),  // 106
      Row(23, 0, 1, 5, 0x5101, 1, 1, "TORQUE", "TORQUE", "Apply currents", 1, 1, 263, "", ""),  // 107
      Row(23, 0, 32, 4, 0x8001, 2, 0, "GET_HW", "GET_HW", "", 0, 65535, 7, "", ""),  // 108
      Row(23, 0, 32, 4, 0x8003, 2, 0, "GET_FW", "GET_FW", "", 0, 65535, 7, "", ""),  // 109
      Row(23, 0, 32, 4, 0x8005, 2, 0, "GET_BOOTLOADER", "GET_BOOTLOADER", "", 0, 65535, 7, "", ""),  // 110
      Row(23, 0, 1, 5, 0xE000, 1, 1, "CLR_ERRORS", "CLR_ERRORS", "", 0, 1, 7, "", ""),  // 111
  };
}

}  // namespace

TDeviceDescription BuildLira2Description() {
  TDeviceDescription d;
  d.ModelName = std::string(kModelLira2);
  SetCommonModelValues(d);
  d.RegMapVersion = 0x20002;
  d.CmdListVersion = 2;
  d.OperandListVersion = 1;
  d.Fields = Lira2Rows();
  BuildParameterReads(d, {"GET_MAX_SPEED", "GET_MIN_SPEED", "GET_FS_SPEED", "GET_ACCEL", "GET_DECEL",
                          "GET_ACC_CUR", "GET_DEC_CUR", "GET_RUN_CUR", "GET_HOLD_CUR", "GET_MICRO",
                          "GET_FS_SW_EN", "GET_CMINSPEED", "GET_SW_INPUT", "GET_ERROR_SET_HIZ",
                          "GET_CMD_RUN"});
  BuildStatusPolls(d, {"GET_OUTPUTS_Y0_Y7", "GET_INPUTS_X0_X7", "GET_RUN_STOP",
                       "GET_USER_PROG_ERROR_LINE", "GET_ERROR_CODES", "GET_ERRORS", "GET_DIR",
                       "GET_ABS_POS", "GET_MOTOR_STATUS", "GET_CURRENT_SPD", "READ_DEBUG_STATE"});
  FinishDescription(d);
  return d;
}

}  // namespace ferrolad::device_tables
