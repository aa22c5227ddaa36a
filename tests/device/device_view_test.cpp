#include "device/device_view.h"

#include <gtest/gtest.h>

namespace ferrolad {
namespace {

class ApplyTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearCurrentDevice(); }
  void TearDown() override { ClearCurrentDevice(); }
  const TDeviceDescription& Model(std::string_view name) { return *FindDescriptionByModel(name); }
  TDeviceViewModel vm;
};

TEST_F(ApplyTest, ModelFieldsReachTheView) {
  struct Case {
    std::string_view model;
    int32_t workMin, workMax, holdMin, holdMax;
    bool supply, internal;
  };
  const Case cases[] = {{kModelLira2, 150, 1500, 150, 1500, false, false},
                        {kModelLira3, 150, 1500, 150, 1500, true, false},
                        {kModelTarn, 1000, 4200, 1000, 4200, true, true},
                        {kModelObel, 2800, 8000, 2800, 8000, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model));
    ApplyDeviceDescription(Model(c.model), 0, vm);
    EXPECT_EQ(CurrentDevice()->ModelName, c.model);
    EXPECT_EQ(vm.VisibleDirectControlTab, "TabSheetKVDX_Modbus_DirectControl");
    EXPECT_EQ(vm.DirectControlTabCaption, std::string(c.model) + " Direct Control");
    EXPECT_EQ(vm.UpDownSettingsWORK_CURRENT.Min, c.workMin);
    EXPECT_EQ(vm.UpDownSettingsWORK_CURRENT.Max, c.workMax);
    EXPECT_EQ(vm.UpDownSettingsWORK_CURRENT.Position, c.workMax);
    EXPECT_EQ(vm.EditSettingsWORK_CURRENT, std::to_string(c.workMax));
    EXPECT_EQ(vm.UpDownSettingsHOLD_CURRENT.Min, c.holdMin);
    EXPECT_EQ(vm.UpDownSettingsHOLD_CURRENT.Max, c.holdMax);
    EXPECT_EQ(vm.UpDownSettingsHOLD_CURRENT.Position, c.holdMax);
    EXPECT_EQ(vm.EditSettingsHOLD_CURRENT, std::to_string(c.holdMax));
    EXPECT_EQ(vm.shpStateSupplyVoltageVisible, c.supply);
    EXPECT_EQ(vm.shpStateInternalVoltageVisible, c.internal);
    EXPECT_EQ(vm.BreakpointCount, 4);
    for (bool enabled : vm.BreakpointControlsEnabled) EXPECT_TRUE(enabled);
  }
}

TEST_F(ApplyTest, ParameterPickersListWritingRowsOfTheirGroup) {
  ApplyDeviceDescription(Model(kModelLira2), 0, vm);
  const std::vector<std::string> speed = {"MAX SPEED", "MIN SPEED", "CALCULATE MIN SPEED", "ACCEL",
                                          "DECEL", "FULL STEP SPEED", "FULL STEP ENABLE"};
  const std::vector<std::string> movement = {
      "SPIN", "ABS POS", "DIRECTION", "TARGET POS", "RUN/MOVE COMMAND", "RUN", "MOVE", "GO TO POS",
      "GO TO DIR POS", "GO HOME", "GO UNTIL; SLOW STOP", "GO UNTIL; FRONT; SLOW STOP",
      "GO UNTIL; HARD STOP", "GO UNTIL; FRONT; HARD STOP", "GO UNTIL; RELEASE",
      "GO UNTIL; FRONT_RELEASE", "GO_UNTIL INPUT NUM"};
  const std::vector<std::string> motor = {"MICROSTEP", "ACCEL CURRENT", "DECEL CURRENT",
                                          "WORK CURRENT", "HOLD CURRENT"};
  EXPECT_EQ(vm.cbxParameterStgsSpeed.Items, speed);
  EXPECT_EQ(vm.cbxParameterStgsMovement.Items, movement);
  EXPECT_EQ(vm.cbxParameterStgsMotorControl.Items, motor);
  EXPECT_EQ(vm.cbxParameterStgsSpeed.ItemIndex, 0);
  EXPECT_EQ(vm.cbxParameterStgsSpeed.Text, "MAX SPEED");
  EXPECT_EQ(vm.cbxParameterStgsMovement.Text, "SPIN");
  EXPECT_EQ(vm.cbxParameterStgsMotorControl.Text, "MICROSTEP");

  // The emergency deceleration of the later models is a speed setting.
  ApplyDeviceDescription(Model(kModelLira3), 0, vm);
  std::vector<std::string> speed3 = speed;
  speed3.push_back("EMERGENCY_DECEL");
  EXPECT_EQ(vm.cbxParameterStgsSpeed.Items, speed3);
  EXPECT_EQ(vm.cbxParameterStgsMovement.Items, movement);
}

TEST_F(ApplyTest, InstallsTheInterruptionRanges) {
  SetInterruptionRanges({});
  EXPECT_FALSE(InInterruptionRange("I", 1003));
  ApplyDeviceDescription(Model(kModelTarn), 0, vm);
  for (int64_t n : {0, 1, 100, 1000, 1007, 2000, 2001}) EXPECT_TRUE(InInterruptionRange("I", n)) << n;
  for (int64_t n : {-1, 101, 999, 1008, 1999, 2002}) EXPECT_FALSE(InInterruptionRange("I", n)) << n;
  EXPECT_FALSE(InInterruptionRange("EI", 0));
  SetInterruptionRanges(DefaultInterruptionRanges());
}

TEST_F(ApplyTest, ModelBoxAppliesTheChosenModel) {
  EXPECT_EQ(ModelBoxItems(), (std::vector<std::string>{"KVDX-Lira ver.2", "KVDX-Lira ver.3",
                                                       "KVDX-Tarn", "KVDX-Obel"}));
  EXPECT_TRUE(cbxDeviceModelChange("KVDX-Obel", 0x80001, vm));
  EXPECT_EQ(CurrentDevice()->ModelName, "KVDX-Obel");
  EXPECT_EQ(vm.UpDownSettingsWORK_CURRENT.Max, 8000);
  EXPECT_TRUE(vm.ReadingSupported);
  // An unknown text keeps the model.
  EXPECT_FALSE(cbxDeviceModelChange("KVDX-Obel ", 0, vm));
  EXPECT_FALSE(cbxDeviceModelChange("", 0, vm));
  EXPECT_EQ(CurrentDevice()->ModelName, "KVDX-Obel");
  EXPECT_TRUE(vm.ReadingSupported);
}

TEST_F(ApplyTest, ReadingSupportFollowsFirmware) {
  struct Case {
    uint32_t firmware;
    bool supported;
  };
  const Case cases[] = {{0, false},       {0x80001, true},  {0x80000, false}, {0x7FFFF, false},
                        {0x70002, false}, {0xA0001, true},  {0x0002, false},  {0xFFFFFFFF, true}};
  for (const Case& c : cases) {
    ApplyDeviceDescription(Model(kModelLira2), c.firmware, vm);
    EXPECT_EQ(vm.ReadingSupported, c.supported) << std::hex << c.firmware;
  }
}

}  // namespace
}  // namespace ferrolad
