#include "device/device_description.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace ferrolad {
namespace {

const TDeviceDescription& Model(std::string_view name) {
  const TDeviceDescription* d = FindDescriptionByModel(name);
  EXPECT_NE(d, nullptr) << name;
  return *d;
}

const std::vector<std::string_view> kAllModels = {kModelLira2, kModelLira3, kModelTarn, kModelObel};

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearCurrentDevice(); }
  void TearDown() override { ClearCurrentDevice(); }
};

// Rows written out independently of the tables in src/device.
struct ExpectedRow {
  const char* name;
  int index;
  int fc;
  int address;
  int count;
  int param;
  int dRegister;
  int bits;
  int64_t min;
  int64_t max;
  int defaultValue;
  int flags;
  const char* caption;
};

const ExpectedRow kSampleRows[] = {
    {"SET_MAX_SPEED", 1, 16, 0x5000, 2, 1, 357, 32, 8, 120000, 100, 512, "MAX SPEED"},
    {"GET_MIN_SPEED", 4, 3, 0x5002, 2, 2, 359, 32, 8, 120000, 100, 0, "MIN SPEED"},
    {"SET_CMINSPEED", 5, 6, 0x5016, 1, 18, 382, 1, 0, 1, 1, 512, "CALCULATE MIN SPEED"},
    {"SET_DECEL", 9, 6, 0x5005, 1, 4, 362, 16, 1, 1000, 100, 512, "DECEL"},
    {"SPIN", 11, 5, 0x5100, 1, 12, 0, 1, 1, 1, 1, 257, "SPIN"},
    {"SET_ABS_POS", 12, 16, 0x5006, 2, 5, 363, 32, -2147483647, 2147483647, 0, 513, "ABS POS"},
    {"GET_MICRO", 15, 3, 0x5009, 1, 7, 366, 16, 0, 8, 0, 4, "MICROSTEP"},
    {"SET_DIR", 16, 6, 0x500A, 1, 8, 374, 1, 0, 1, 1, 513, "DIRECTION"},
    {"GET_DIR", 17, 3, 0x500A, 1, 8, 374, 16, 0, 1, 1, 1, "GET DIR"},
    {"SET_RDIR", 19, 6, 0x500A, 1, 8, 374, 16, 0, 1, 0, 519, "SET R DIR"},
    {"CLR_FS_SW_EN", 23, 6, 0x500D, 1, 10, 379, 1, 0, 1, 0, 519, "FULL STEP ENABLE"},
    {"SET_TARGET_POS", 25, 16, 0x500E, 2, 11, 372, 32, -2147483647, 2147483647, 0, 513, "TARGET POS"},
    {"CMD_GOHOME", 32, 6, 0x5010, 1, 12, 376, 16, 4, 4, 4, 513, "GO HOME"},
    {"CMD_GOUNTIL_FRONT_RELEASE", 38, 6, 0x5010, 1, 12, 376, 16, 10, 10, 10, 513, "GO UNTIL; FRONT_RELEASE"},
    {"GET_SW_INPUT", 41, 3, 0x5011, 1, 13, 375, 16, 0, 7, 0, 6, "GET INPUT NUM"},
    {"SET_ERROR_SET_HIZ", 50, 6, 0x5017, 1, 19, 380, 16, 0, 255, 3, 515, "ERROR_SET_HIZ"},
    {"GET_MOTOR_STATUS", 53, 4, 0x5037, 1, 21, 371, 16, 0, 127, 0, 7, "GET MOTOR STATUS"},
    {"GET_CURRENT_SPD", 54, 4, 0x5047, 2, 22, 383, 32, 0, 120000, 0, 0, "GET CURRENT SPD"},
    {"GET_RUN_STOP", 55, 2, 0xF001, 1, 23, 0, 1, 0, 1, 0, 7, "GET_RUN_STOP"},
    {"GET_ERRORS", 58, 2, 0xE000, 5, 23, 0, 16, 0, 31, 0, 7, "GET_ERRORS"},
    {"GET_ERROR_CODES", 59, 4, 0xE002, 3, 23, 0, 0, 0, 0, 0, 7, "GET_ERROR_CODES"},
    {"GET_RW_SECTOR", 64, 3, 0xF401, 123, 23, 0, 0, 0, 1, 0, 519, "GET_RW_SECTOR"},
    {"LAST_ADDRESS_FOR_RW_SECTOR", 65, 3, 0xF4FF, 0, 23, 0, 0, 0, 0, 0, 519, "LAST_ADDRESS_FOR_RW_SECTOR"},
    {"WRITE_PROG_LINE_NUMBER", 69, 6, 0xF100, 1, 23, 0, 16, 0, 28912, 0, 519, "WRITE_PROG_LINE_NUMBER"},
    {"START_DEBUG", 71, 5, 0x6100, 1, 23, 0, 1, 0, 1, 1, 263, "START_DEBUG"},
    {"READ_DEBUG_CURRENT_INDEX", 74, 4, 0x6100, 1, 23, 0, 1, 0, 1, 1, 7, "READ_DEBUG_CURRENT_INDEX"},
    {"READ_DEBUG_OPERAND_TYPE", 81, 6, 0x6000, 1, 23, 0, 16, 0, 255, 88, 519, "READ_DEBUG_OPERAND_TYPE"},
    {"SET_DEBUG_OPERAND_VALUE", 87, 6, 0x6002, 2, 23, 0, 32, 0, 2147483647, 0, 519, "SET_DEBUG_OPERAND_VALUE"},
    {"GET_BREAKPOINT_ACTIVE", 92, 1, 0x6200, 1, 23, 0, 1, 0, 1, 1, 519, "GET_BREAKPOINT_ACTIVE"},
    {"SET_BAUDRATE", 97, 16, 0x8100, 2, 23, 0, 32, 110, 256000, 115200, 519, "SET_BAUDRATE"},
    {"SET_ID", 101, 16, 0x8103, 1, 23, 0, 16, 1, 247, 1, 519, "SET_ID"},
    {"SET_SLOW_HIZ", 105, 5, 0x5105, 1, 23, 0, 1, 1, 1, 1, 263, "SET_SLOW_HIZ"},
    {"TORQUE", 107, 5, 0x5101, 1, 23, 0, 1, 1, 1, 1, 263, "TORQUE"},
    {"GET_HW", 108, 4, 0x8001, 2, 23, 0, 32, 0, 65535, 0, 7, "GET_HW"},
    {"CLR_ERRORS", 111, 5, 0xE000, 1, 23, 0, 1, 0, 1, 1, 7, "CLR_ERRORS"},
};

TEST_F(DeviceTest, SampleRowsMatchOnEveryModel) {
  for (std::string_view model : kAllModels) {
    const TDeviceDescription& d = Model(model);
    for (const ExpectedRow& e : kSampleRows) {
      SCOPED_TRACE(std::string(model) + " " + e.name);
      ASSERT_EQ(IndexOfCommand(d, e.name), e.index);
      const TFieldDescr r = FindCommand(e.name, d);
      EXPECT_EQ(r.Command.FunctionCode, e.fc);
      EXPECT_EQ(r.Command.Address, e.address);
      EXPECT_EQ(r.Command.RegisterCount, e.count);
      EXPECT_EQ(r.Command.Value, e.defaultValue);
      EXPECT_EQ(r.Command.Valid, 1);
      EXPECT_EQ(r.ParamIndex, e.param);
      EXPECT_EQ(r.DRegister, e.dRegister);
      EXPECT_EQ(r.BitWidth, e.bits);
      EXPECT_EQ(r.MinValue, e.min);
      EXPECT_EQ(r.MaxValue, e.max);
      EXPECT_EQ(r.Flags, e.flags);
      EXPECT_EQ(r.Caption, e.caption);
    }
  }
}

TEST_F(DeviceTest, TextsOfSelectedRows) {
  const TDeviceDescription& d = Model(kModelLira2);
  const TFieldDescr empty = d.Fields.at(0);
  EXPECT_EQ(empty.Command.Name, "");
  EXPECT_EQ(empty.Caption, "EMPTY");
  EXPECT_EQ(empty.Flags, 6);
  EXPECT_EQ(empty.TrueText, "1");
  EXPECT_EQ(empty.FalseText, "0");
  EXPECT_EQ(empty.ParamIndex, 0);
  EXPECT_EQ(empty.Command.Valid, 1);

  struct Texts {
    const char* name;
    const char* description;
    const char* trueText;
    const char* falseText;
    const char* group;
  };
  const Texts cases[] = {
      {"SET_FS_SPEED", "Speed threshold of turning to fullstep mode ", "", "", "Speed settings"},
      {"SET_DIR", "Direction", "Forward", "Backward", "Movement settings"},
      {"SET_FS_SW_EN", "Enable turning to fullstep mode", "Enable", "Disable", "Speed settings"},
      {"CMD_GOUNTIL_SSTOP",
       "Go until signal rising edge, then smooth deceleration. Check signal state before movement.", "",
       "", "Movement settings"},
      {"SET_HOLD_CUR", "Set holding phase current, mA", "", "", "Motor control parameters"},
      {"GET_ERROR_CODE", "Get error code", "", "", "Error settings"},
      {"GET_SW_INPUT", "Get input number for GO UNTIL commands", "", "", "Other settings"},
      {"SET_MAIN_SERVICE_PROG", "Set  program type", "", "", ""},
      {"TORQUE", "Apply currents", "", "", ""},
      {"SET_ASCII", "", "", "", ""},
  };
  for (const Texts& t : cases) {
    SCOPED_TRACE(t.name);
    const TFieldDescr r = FindCommand(t.name, d);
    EXPECT_EQ(r.Description, t.description);
    EXPECT_EQ(r.TrueText, t.trueText);
    EXPECT_EQ(r.FalseText, t.falseText);
    EXPECT_EQ(r.GroupName, t.group);
  }
}

TEST_F(DeviceTest, ExtraRowsOnlyOnLaterModels) {
  struct Case {
    std::string_view model;
    size_t rows;
    bool emergency, supply, internal;
  };
  const Case cases[] = {{kModelLira2, 112, false, false, false},
                        {kModelLira3, 114, true, true, false},
                        {kModelTarn, 115, true, true, true},
                        {kModelObel, 115, true, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model));
    const TDeviceDescription& d = Model(c.model);
    EXPECT_EQ(d.Fields.size(), c.rows);
    EXPECT_EQ(IndexOfCommand(d, "SET_EMERGENCY_DECEL") != 0, c.emergency);
    EXPECT_EQ(IndexOfCommand(d, "GET_SUPPLY_VOLTAGE_STATE") != 0, c.supply);
    EXPECT_EQ(IndexOfCommand(d, "GET_INTERNAL_VOLTAGE_STATE") != 0, c.internal);
    EXPECT_EQ(FindByDRegister("D385", d).Found(), c.emergency);
  }
  // The extra rows follow row 111 in their order.
  const TDeviceDescription& tarn = Model(kModelTarn);
  EXPECT_EQ(IndexOfCommand(tarn, "SET_EMERGENCY_DECEL"), 112);
  EXPECT_EQ(IndexOfCommand(tarn, "GET_SUPPLY_VOLTAGE_STATE"), 113);
  EXPECT_EQ(IndexOfCommand(tarn, "GET_INTERNAL_VOLTAGE_STATE"), 114);
  const TFieldDescr e = FindCommand("SET_EMERGENCY_DECEL", tarn);
  EXPECT_EQ(e.Command.FunctionCode, 16);
  EXPECT_EQ(e.Command.Address, 0x5048);
  EXPECT_EQ(e.Command.RegisterCount, 2);
  EXPECT_EQ(e.ParamIndex, 4);
  EXPECT_EQ(e.DRegister, 385);
  EXPECT_EQ(e.MaxValue, 2147483647);
  EXPECT_EQ(e.Caption, "EMERGENCY_DECEL");
  EXPECT_EQ(e.Description, "Emergency Deceleration");
  const TFieldDescr v = FindCommand("GET_INTERNAL_VOLTAGE_STATE", tarn);
  EXPECT_EQ(v.Command.FunctionCode, 1);
  EXPECT_EQ(v.Command.Address, 0x502F);
  EXPECT_EQ(v.Description, "Get internal voltage state");
  EXPECT_EQ(FindCommand("GET_SUPPLY_VOLTAGE_STATE", tarn).Command.Address, 0x5030);
}

TEST_F(DeviceTest, ModelValuesAndCurrentRanges) {
  struct Case {
    std::string_view model;
    uint32_t regMap, cmdList, operandList;
    int32_t minCurrent, maxCurrent;
  };
  const Case cases[] = {{kModelLira2, 0x20002, 2, 1, 150, 1500},
                        {kModelLira3, 0x30002, 2, 2, 150, 1500},
                        {kModelTarn, 0x40002, 2, 2, 1000, 4200},
                        {kModelObel, 0x50002, 2, 2, 2800, 8000}};
  const char* currentRows[] = {"SET_RUN_CUR", "GET_RUN_CUR", "SET_HOLD_CUR", "GET_HOLD_CUR",
                               "SET_ACC_CUR", "GET_ACC_CUR", "SET_DEC_CUR", "GET_DEC_CUR"};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model));
    const TDeviceDescription& d = Model(c.model);
    EXPECT_EQ(d.ModelName, c.model);
    EXPECT_EQ(d.RegMapVersion, c.regMap);
    EXPECT_EQ(d.CmdListVersion, c.cmdList);
    EXPECT_EQ(d.OperandListVersion, c.operandList);
    EXPECT_EQ(d.MinCurrent, c.minCurrent);
    EXPECT_EQ(d.MaxCurrent, c.maxCurrent);
    for (const char* name : currentRows) {
      EXPECT_EQ(FindCommand(name, d).MinValue, c.minCurrent) << name;
      EXPECT_EQ(FindCommand(name, d).MaxValue, c.maxCurrent) << name;
    }
    // Defaults stay those of the base table.
    EXPECT_EQ(FindCommand("SET_HOLD_CUR", d).Command.Value, 1200);
    EXPECT_EQ(d.RegisterLetter, 'D');
    EXPECT_EQ(d.CommandRegister, "D376");
    EXPECT_EQ(d.MicrostepRegister, "D366");
    EXPECT_EQ(d.BreakpointCount, 4);
    EXPECT_EQ(d.DirectControlTab, "TabSheetKVDX_Modbus_DirectControl");
    EXPECT_EQ(d.ProgramLines, 28912);
    EXPECT_EQ(d.ProgramLimit2, 1926);
    EXPECT_EQ(d.MinSpeed, 8);
    EXPECT_EQ(d.MaxSpeed, 120000);
    EXPECT_EQ(d.MinRamp, 1);
    EXPECT_EQ(d.MaxRamp, 65535);
    EXPECT_EQ(d.MaxPosition, 2147483647);
    EXPECT_EQ(d.MinPosition, INT32_MIN);
    EXPECT_EQ(d.EndMnemonic, "END");
    const std::array<uint8_t, 19> flags = {1, 0, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 15, 17, 0};
    EXPECT_EQ(d.TransferFlags, flags);
  }
  // Models are built in this order.
  ASSERT_EQ(DeviceDescriptions().size(), 4u);
  for (size_t i = 0; i < kAllModels.size(); ++i)
    EXPECT_EQ(DeviceDescriptions()[i].ModelName, kAllModels[i]);
}

TEST_F(DeviceTest, ParameterReadsHaveTwentyEntries) {
  const std::vector<std::pair<std::string, int>> expected = {
      {"GET_MAX_SPEED", 0x5000}, {"GET_MIN_SPEED", 0x5002}, {"GET_FS_SPEED", 0x500B},
      {"GET_ACCEL", 0x5004},     {"GET_DECEL", 0x5005},     {"GET_ACC_CUR", 0x5012},
      {"GET_DEC_CUR", 0x5013},   {"GET_RUN_CUR", 0x5014},   {"GET_HOLD_CUR", 0x5015},
      {"GET_MICRO", 0x5009},     {"GET_FS_SW_EN", 0x500D},  {"GET_CMINSPEED", 0x5016},
      {"GET_SW_INPUT", 0x5011},  {"GET_ERROR_SET_HIZ", 0x5017}, {"GET_CMD_RUN", 0x5010},
      {"GET_BREAKPOINT_LINE", 0x6200}, {"GET_BREAKPOINT_LINE", 0x6201},
      {"GET_BREAKPOINT_LINE", 0x6202}, {"GET_BREAKPOINT_LINE", 0x6203},
      {"GET_BREAKPOINT_ACTIVE", 0x6200}};
  for (std::string_view model : kAllModels) {
    SCOPED_TRACE(std::string(model));
    const TDeviceDescription& d = Model(model);
    ASSERT_EQ(d.ParameterReads.size(), 20u);
    for (size_t i = 0; i < expected.size(); ++i) {
      const TDC_Record& r = d.ParameterReads[i];
      EXPECT_EQ(r.Name, expected[i].first) << i;
      EXPECT_EQ(r.Address, expected[i].second) << i;
      EXPECT_EQ(r.Valid, 1) << i;
      EXPECT_LE(r.FunctionCode, 4) << i;  // reads only
    }
    EXPECT_EQ(d.ParameterReads[15].RegisterCount, 1);
    EXPECT_EQ(d.ParameterReads[19].RegisterCount, 4);
    EXPECT_EQ(d.ParameterReads[19].FunctionCode, 1);
    EXPECT_EQ(d.ParameterReads[0].RegisterCount, 2);
  }
}

TEST_F(DeviceTest, StatusPollsPerModel) {
  const std::vector<std::string> base = {
      "GET_OUTPUTS_Y0_Y7", "GET_INPUTS_X0_X7", "GET_RUN_STOP", "GET_USER_PROG_ERROR_LINE",
      "GET_ERROR_CODES", "GET_ERRORS", "GET_DIR", "GET_ABS_POS", "GET_MOTOR_STATUS",
      "GET_CURRENT_SPD", "READ_DEBUG_STATE"};
  std::vector<std::string> lira3 = base;
  lira3.push_back("GET_SUPPLY_VOLTAGE_STATE");
  std::vector<std::string> tarn = lira3;
  tarn.push_back("GET_INTERNAL_VOLTAGE_STATE");
  const std::pair<std::string_view, std::vector<std::string>> cases[] = {
      {kModelLira2, base}, {kModelLira3, lira3}, {kModelTarn, tarn}, {kModelObel, tarn}};
  for (const auto& [model, names] : cases) {
    SCOPED_TRACE(std::string(model));
    const TDeviceDescription& d = Model(model);
    std::vector<std::string> got;
    for (const TRWmbrReg& r : d.StatusPolls) {
      got.push_back(r.Name);
      EXPECT_TRUE(r.Data.empty());
      EXPECT_EQ(r.Verify, 0);
    }
    EXPECT_EQ(got, names);
  }
  const TRWmbrReg& errors = Model(kModelLira2).StatusPolls[5];
  EXPECT_EQ(errors.FunctionCode, 2);
  EXPECT_EQ(errors.Address, 0xE000);
  EXPECT_EQ(errors.Count, 5);
}

TEST_F(DeviceTest, LookupsFoundAndNotFound) {
  const TDeviceDescription& d = Model(kModelLira2);
  // First row with the name wins, even where later rows write the same address.
  EXPECT_EQ(IndexOfCommand(d, "SET_DIR"), 16);
  EXPECT_EQ(FindCommand("SET_DIR", d).Caption, "DIRECTION");
  for (const char* missing : {"", "set_dir", "SET_DIR ", "NO_SUCH_COMMAND"}) {
    SCOPED_TRACE(missing);
    EXPECT_EQ(IndexOfCommand(d, missing), 0);
    const TFieldDescr r = FindCommand(missing, d);
    EXPECT_FALSE(r.Found());
    EXPECT_EQ(r.Caption, "EMPTY");
    const TDC_Record c = LookupCommand(missing, d);
    EXPECT_EQ(c.Valid, 0);
    EXPECT_EQ(c.FunctionCode, 0);
    EXPECT_EQ(c.Name, "");
  }
  const TDC_Record accel = LookupCommand("SET_ACCEL", d);
  EXPECT_EQ(accel.Valid, 1);
  EXPECT_EQ(accel.FunctionCode, 6);
  EXPECT_EQ(accel.Address, 0x5004);
  EXPECT_EQ(accel.Value, 100);

  struct CaptionCase {
    const char* caption;
    const char* name;  // nullptr: not found
  };
  const CaptionCase captions[] = {{"ACCEL", "SET_ACCEL"},
                                  {"FULL STEP ENABLE", "SET_FS_SW_EN"},
                                  {"GO UNTIL; HARD STOP", "CMD_GOUNTIL_HARDSTOP"},
                                  {"accel", nullptr},
                                  {"", nullptr},
                                  {"EMERGENCY_DECEL", nullptr}};
  for (const CaptionCase& c : captions) {
    SCOPED_TRACE(c.caption);
    const TFieldDescr r = FindByCaption(c.caption, d);
    EXPECT_EQ(r.Found(), c.name != nullptr);
    EXPECT_EQ(r.Command.Name, c.name ? c.name : "");
  }

  struct RegisterCase {
    const char* text;
    const char* name;
  };
  const RegisterCase registers[] = {{"D357", "SET_MAX_SPEED"}, {"D376", "CMD_MOVE_RUN"},
                                    {"D383", "GET_CURRENT_SPD"}, {"D0", nullptr},
                                    {"D999", nullptr},  {"D0357", nullptr},
                                    {"M357", nullptr},  {"D", nullptr},
                                    {"", nullptr},      {"D+357", nullptr},
                                    {"D-357", nullptr}, {"D357 ", nullptr},
                                    {"d357", nullptr},  {"D35a", nullptr},
                                    {"D99999999999357", nullptr}};
  for (const RegisterCase& c : registers) {
    SCOPED_TRACE(c.text);
    const TFieldDescr r = FindByDRegister(c.text, d);
    EXPECT_EQ(r.Found(), c.name != nullptr);
    EXPECT_EQ(r.Command.Name, c.name ? c.name : "");
  }
}

TEST_F(DeviceTest, DRegisterOfEveryRowFindsItsFirstRow) {
  for (std::string_view model : kAllModels) {
    const TDeviceDescription& d = Model(model);
    for (size_t i = 1; i < d.Fields.size(); ++i) {
      const TFieldDescr& row = d.Fields[i];
      if (row.DRegister == 0) continue;
      const TFieldDescr found = FindByDRegister(std::string("D").append(std::to_string(row.DRegister)), d);
      EXPECT_EQ(found.DRegister, row.DRegister);
      EXPECT_LE(IndexOfCommand(d, found.Command.Name), static_cast<int>(i)) << row.Command.Name;
    }
    // "D0" is the empty row itself.
    const TFieldDescr zero = FindByDRegister("D0", d);
    EXPECT_EQ(zero.Caption, "EMPTY");
    EXPECT_FALSE(zero.Found());
  }
}

TEST_F(DeviceTest, CurrentModelCanBeReplacedWhileOtherThreadsLookUp) {
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        const int32_t max = FindCommand("SET_RUN_CUR").MaxValue;
        if (max != 0 && max != 1500 && max != 4200 && max != 8000) ++bad;
        TRWmbrReg r;
        if (BuildRequest("SET_ACCEL", 7, true, 0, false, false, false, r) && r.Address != 0x5004) ++bad;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) SetCurrentDevice(Model(kAllModels[i % 4]));
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(bad, 0);
}

TEST_F(DeviceTest, CurrentModelDrivesTheShortLookups) {
  // No model yet: every lookup by name fails.
  EXPECT_TRUE(CurrentDevice()->Empty());
  EXPECT_EQ(LookupCommand("SET_ACCEL").Valid, 0);
  EXPECT_FALSE(FindCommand("SET_ACCEL").Found());
  EXPECT_FALSE(FindByDRegister("D357").Found());
  EXPECT_FALSE(FindByCaption("ACCEL").Found());
  TRWmbrReg r;
  EXPECT_FALSE(BuildRequest("SET_ACCEL", 5, true, 0, false, false, false, r));

  SetCurrentDevice(Model(kModelTarn));
  EXPECT_EQ(CurrentDevice()->ModelName, kModelTarn);
  EXPECT_EQ(LookupCommand("GET_INTERNAL_VOLTAGE_STATE").Valid, 1);
  EXPECT_TRUE(FindByDRegister("D385").Found());
  EXPECT_EQ(FindByCaption("WORK CURRENT").MaxValue, 4200);
  EXPECT_TRUE(BuildRequest("SET_ACCEL", 5, true, 0, false, false, false, r));

  SetCurrentDevice(Model(kModelLira2));
  EXPECT_EQ(LookupCommand("GET_INTERNAL_VOLTAGE_STATE").Valid, 0);
}

TEST_F(DeviceTest, BuildRequestEncodesValues) {
  const TDeviceDescription& d = Model(kModelLira2);
  struct Case {
    const char* name;
    int32_t value;
    uint8_t fc;
    uint16_t address;
    uint16_t count;
    TBytesArray data;
  };
  const Case cases[] = {
      // 32-bit values: low 16-bit word first, each word high byte first.
      {"SET_MAX_SPEED", 120000, 16, 0x5000, 2, {0xD4, 0xC0, 0x00, 0x01}},
      {"SET_ABS_POS", -2, 16, 0x5006, 2, {0xFF, 0xFE, 0xFF, 0xFF}},
      {"SET_TARGET_POS", 0x12345678, 16, 0x500E, 2, {0x56, 0x78, 0x12, 0x34}},
      // One register with function 16.
      {"SET_ID", 247, 16, 0x8103, 1, {0x00, 0xF7}},
      // Function 6: high byte, low byte of the low word.
      {"SET_ACCEL", 1000, 6, 0x5004, 1, {0x03, 0xE8}},
      {"SET_ACCEL", 0x12345, 6, 0x5004, 1, {0x23, 0x45}},
      // Function 5: 0, then the value's low byte.
      {"START_DEBUG", 1, 5, 0x6100, 1, {0x00, 0x01}},
      {"START_DEBUG", 0, 5, 0x6100, 1, {0x00, 0x00}},
      // Reads carry no data.
      {"GET_MAX_SPEED", 120000, 3, 0x5000, 2, {}},
      {"GET_ERRORS", 1, 2, 0xE000, 5, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.value));
    TRWmbrReg r;
    ASSERT_TRUE(BuildRequest(d, c.name, c.value, true, 0, false, false, false, r));
    EXPECT_EQ(r.FunctionCode, c.fc);
    EXPECT_EQ(r.Address, c.address);
    EXPECT_EQ(r.Count, c.count);
    EXPECT_EQ(r.Name, c.name);
    EXPECT_EQ(r.Data, c.data);
  }
}

TEST_F(DeviceTest, BuildRequestFlagsAndRefusal) {
  const TDeviceDescription& d = Model(kModelLira2);
  TRWmbrReg r;
  ASSERT_TRUE(BuildRequest(d, "GET_RUN_STOP", 0, false, 1, true, true, false, r));
  EXPECT_EQ(r.Counted, 0);
  EXPECT_EQ(r.ExpectedValue, 1);
  EXPECT_EQ(r.RepeatUntilMatch, 1);
  EXPECT_EQ(r.Verify, 1);
  ASSERT_TRUE(BuildRequest(d, "SET_MAX_SPEED", 500, true, 0, false, false, true, r));
  EXPECT_EQ(r.Counted, 1);
  EXPECT_EQ(r.Verify, 0);
  EXPECT_TRUE(r.Data.empty());  // no-data asked for

  TRWmbrReg untouched;
  untouched.Name = "keep";
  untouched.FunctionCode = 3;
  EXPECT_FALSE(BuildRequest(d, "SET_NOTHING", 1, true, 0, false, false, false, untouched));
  EXPECT_EQ(untouched.Name, "keep");
  EXPECT_EQ(untouched.FunctionCode, 3);
  EXPECT_FALSE(BuildRequest(d, "", 1, true, 0, false, false, false, untouched));
}

TEST_F(DeviceTest, ErrorTextForEveryTable) {
  struct Case {
    int group;
    uint32_t code;
    const char* text;
  };
  const Case cases[] = {
      {3, 3, "Failed to erase the main program sector"},
      {3, 6, "Failed to write the instruction to the service program"},
      {3, 2, "undefined"},
      {3, 7, "undefined"},
      {2, 1, "Memory allocation error"},
      {2, 5, "Function error (0Fh). Not all bits have been overwritten"},
      {2, 9, "Lost frame due to overflowing frame processing stack"},
      {2, 0, "undefined"},
      {2, 10, "undefined"},
      {1, 0x1000, "Internal error, single collision at the current value. The signal type of the operand is unknown"},
      {1, 0x1007, "Internal error, type of signal collision is not identified"},
      {1, 0x2000, "Processing of LD-type commands, the instruction code has changed"},
      {1, 0x2012, "Unknown command"},
      {1, 0x203A, "Instruction XCH, data type of 2d  operand is incorrect"},
      {1, 0x205A, "Instruction TWR, incorrect time format"},
      {1, 0x3001, "The main stack is empty, no signal value"},
      {1, 0x3002, "undefined"},
      {1, 0x3012, "Prescan \xE2\x80\x93 index P is ut of range"},
      {1, 0x3015, "Prescan error, unknown command detected"},
      {1, 0x400E, "Motor status change interruption queue overflow"},
      {1, 0x5000, "Power supply + 5V - short circuit"},
      {1, 0x205B, "undefined"},
      {1, 0x12012, "undefined"},
      {1, 3, "undefined"},
      {4, 3, "undefined"},
      {0, 0, "undefined"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.group) + " " + std::to_string(c.code));
    EXPECT_EQ(ErrorText(c.group, c.code), c.text);  // before any model is chosen
    EXPECT_EQ(ErrorText(c.group, c.code, Model(kModelObel)), c.text);
  }
  // Registers and sizes of the three tables.
  const auto& tables = StandardErrorTables();
  ASSERT_EQ(tables.size(), 3u);
  const std::tuple<int, int, size_t> shape[] = {{3, 0xE002, 4}, {2, 0xE003, 9}, {1, 0xE004, 136}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(tables[i].Group, std::get<0>(shape[i]));
    EXPECT_EQ(tables[i].Register, std::get<1>(shape[i]));
    EXPECT_EQ(tables[i].Codes.size(), std::get<2>(shape[i]));
  }
}

TEST_F(DeviceTest, InterruptionCatalogue) {
  const TInterruptions& c = Model(kModelObel).Interruptions;
  ASSERT_EQ(c.Items.size(), 8u);
  const TSingleInterruption expected[] = {
      {"Add comm. interruption", 0, 0, 0, "I"},
      {"Add timed  interruption", 1, 100, 3, "I"},
      {"Add external  interruption", 1000, 1007, 1, "I"},
      {"Add driver  interruption", 2000, 2001, 1, "I"},
      {"Enable interruptions", 0, 0, 4, "EI"},
      {"Disable interruptions", 0, 0, 4, "DI"},
      {"End of interruption handler", 0, 0, 4, "IRET"},
      {"End of main program", 0, 0, 4, "FEND"},
  };
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(c.Items[i].Caption, expected[i].Caption);
    EXPECT_EQ(c.Items[i].Kind, expected[i].Kind);
    EXPECT_EQ(c.Items[i].Mnemonic, expected[i].Mnemonic);
    if (expected[i].Kind != 4) {
      EXPECT_EQ(c.Items[i].MinNumber, expected[i].MinNumber);
      EXPECT_EQ(c.Items[i].MaxNumber, expected[i].MaxNumber);
    }
  }
  EXPECT_EQ(c.Fend.Name, "FEND");
  EXPECT_EQ(c.I.Name, "I");
  EXPECT_EQ(c.Iret.Name, "IRET");
  EXPECT_NE(c.Fend.Code, 0);
  EXPECT_NE(c.I.Code, 0);
  EXPECT_NE(c.Iret.Code, 0);

  const std::vector<TInterruptionRange> ranges = InterruptionRangesOf(c);
  ASSERT_EQ(ranges.size(), 4u);
  EXPECT_EQ(ranges[2].Mnemonic, "I");
  EXPECT_EQ(ranges[2].MinNumber, 1000);
  EXPECT_EQ(ranges[2].MaxNumber, 1007);
}

TEST_F(DeviceTest, EndCodeComesFromTheCatalogue) {
  for (std::string_view model : kAllModels) {
    const TDeviceDescription& d = Model(model);
    EXPECT_EQ(d.EndCode, FindInstructionByName("END").Code) << model;
    EXPECT_NE(d.EndCode, 0) << model;
    EXPECT_TRUE(static_cast<bool>(d.InitInstructions)) << model;
  }
}

TEST_F(DeviceTest, HardwareTableSelectsModel) {
  const std::pair<uint32_t, std::string_view> known[] = {
      {0x20001, kModelLira2}, {0x30001, kModelLira2}, {0x00002, kModelLira3}, {0x10002, kModelLira3},
      {0x00003, kModelTarn},  {0x10003, kModelTarn},  {0x00004, kModelObel},  {0x10004, kModelObel}};
  for (const auto& [key, model] : known) {
    SCOPED_TRACE(key);
    const TDevice_HW* row = FindDeviceByHw(key);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->ModelName, model);
    EXPECT_EQ(row->Description.ModelName, model);
    EXPECT_EQ(row->Description.Fields.size(), Model(model).Fields.size());
  }
  for (uint32_t unknown : {0u, 1u, 5u, 0x10001u, 0x40004u})
    EXPECT_EQ(FindDeviceByHw(unknown), nullptr) << unknown;
  EXPECT_EQ(FindDescriptionByModel("KVDX-Lira"), nullptr);
}

}  // namespace
}  // namespace ferrolad
