#include "device/identification.h"

#include <gtest/gtest.h>

namespace ferrolad {
namespace {

TEST(IdentificationTest, HardwareValueSelectsModelOrRefuses) {
  struct Case {
    uint32_t hw;
    THwVerdict verdict;
    const char* model;
    const char* message;
  };
  const Case cases[] = {
      {0x30001, THwVerdict::Known, "KVDX-Lira ver.2", ""},
      {0x20001, THwVerdict::Known, "KVDX-Lira ver.2", ""},
      {0x00002, THwVerdict::Known, "KVDX-Lira ver.3", ""},
      {0x10003, THwVerdict::Known, "KVDX-Tarn", ""},
      {0x10004, THwVerdict::Known, "KVDX-Obel", ""},
      {0, THwVerdict::Ignored, "", ""},
      {0x00005, THwVerdict::Unknown, "", "Unknown device. HW version 5 . DEV_ID=5; HW_VERSION=0"},
      {0x20003, THwVerdict::Unknown, "",
       "Unknown device. HW version 131075 . DEV_ID=3; HW_VERSION=2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hw);
    const THwIdentification id = IdentifyHardware(c.hw);
    EXPECT_EQ(id.Verdict, c.verdict);
    EXPECT_EQ(id.Message, c.message);
    if (c.verdict == THwVerdict::Known) {
      ASSERT_NE(id.Row, nullptr);
      EXPECT_EQ(id.Row->Description.ModelName, c.model);
    } else {
      EXPECT_EQ(id.Row, nullptr);
    }
  }
}

TEST(IdentificationTest, OutdatedFirmware) {
  const std::pair<uint32_t, bool> cases[] = {
      {0x00001, true},  {0x90001, true},   // 1.0, 1.9
      {0xA0001, false}, {0x00002, false},  // 1.10, 2.0
      {0x00000, false}, {0x80003, false}};
  for (const auto& [fw, outdated] : cases) EXPECT_EQ(FirmwareOutdated(fw), outdated) << std::hex << fw;
  EXPECT_STREQ(kOutdatedFirmwareMessage,
               "The controller has an outdated software version. Please update the firmware to the "
               "latest one. The firmware update can be done online using the utility \"KVDX updater\".");
}

TEST(IdentificationTest, VersionLabelAndRequests) {
  EXPECT_EQ(VersionLabel(0x30001, 0xA0002, 0x10003), "HW1.3  FW2.10   BL3.1");
  EXPECT_EQ(VersionLabel(0, 0, 0), "HW0.0  FW0.0   BL0.0");

  const TDC_Records_Array versions = VersionInfoRequests();
  ASSERT_EQ(versions.size(), 3u);
  const std::tuple<const char*, uint16_t, uint8_t> v[] = {
      {"GET_BOOTLOADER", 0x8005, 2}, {"GET_FW", 0x8003, 2}, {"GET_HW", 0x8001, 2}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(versions[i].Name, std::get<0>(v[i]));
    EXPECT_EQ(versions[i].FunctionCode, 4);
    EXPECT_EQ(versions[i].Address, std::get<1>(v[i]));
    EXPECT_EQ(versions[i].RegisterCount, std::get<2>(v[i]));
    EXPECT_EQ(versions[i].Valid, 1);
  }
  const TDC_Records_Array maps = MapsInfoRequests();
  ASSERT_EQ(maps.size(), 3u);
  const std::tuple<const char*, uint16_t, uint8_t> m[] = {{"GET_CMD_LIST_VERSION", 0x8009, 1},
                                                          {"GET_OPERAND_LIST_VERSION", 0x800A, 1},
                                                          {"GET_REGMAP_VERSION", 0x8007, 2}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(maps[i].Name, std::get<0>(m[i]));
    EXPECT_EQ(maps[i].FunctionCode, 4);
    EXPECT_EQ(maps[i].Address, std::get<1>(m[i]));
    EXPECT_EQ(maps[i].RegisterCount, std::get<2>(m[i]));
  }
}

}  // namespace
}  // namespace ferrolad

namespace ferrolad {
namespace {

TEST(IdentificationChainTest, AnswersUpdateStateLabelAndModel) {
  TIdentificationState state;
  TIdentificationAction a = HandleIdentificationAnswer(state, kAddressBootloader, 0x10003);
  EXPECT_TRUE(a.LabelChanged);
  EXPECT_FALSE(a.Disconnect);
  EXPECT_EQ(state.lblControllerVersion, "HW0.0  FW0.0   BL3.1");

  a = HandleIdentificationAnswer(state, kAddressFw, 0xA0001);  // 1.10 is accepted
  EXPECT_TRUE(a.LabelChanged);
  EXPECT_FALSE(a.Disconnect);
  EXPECT_EQ(state.lblControllerVersion, "HW0.0  FW1.10   BL3.1");

  a = HandleIdentificationAnswer(state, kAddressHw, 0x10003);
  ASSERT_NE(a.Apply, nullptr);
  EXPECT_EQ(a.Apply->ModelName, "KVDX-Tarn");
  EXPECT_EQ(state.lblControllerVersion, "HW3.1  FW1.10   BL3.1");

  // The same value again: no label refresh, but the model is still selected.
  a = HandleIdentificationAnswer(state, kAddressHw, 0x10003);
  EXPECT_FALSE(a.LabelChanged);
  ASSERT_NE(a.Apply, nullptr);

  a = HandleIdentificationAnswer(state, kAddressRegMapVersion, 0x12345);
  EXPECT_EQ(state.RegMapVersion, 0x12345u);
  EXPECT_FALSE(a.Disconnect);
  HandleIdentificationAnswer(state, kAddressCmdListVersion, 2);
  HandleIdentificationAnswer(state, kAddressOperandListVersion, 7);
  EXPECT_EQ(state.CmdListVersion, 2u);
  EXPECT_EQ(state.OperandListVersion, 7u);

  state.Reset();
  EXPECT_EQ(state.Hw, 0u);
  EXPECT_EQ(state.lblControllerVersion, "");
}

TEST(IdentificationChainTest, RefusalsDisconnect) {
  TIdentificationState state;
  TIdentificationAction a = HandleIdentificationAnswer(state, kAddressFw, 0x90001);
  EXPECT_TRUE(a.Disconnect);
  EXPECT_EQ(a.Message, kOutdatedFirmwareMessage);
  EXPECT_FALSE(a.LabelChanged);

  a = HandleIdentificationAnswer(state, kAddressHw, 0x00005);
  EXPECT_TRUE(a.Disconnect);
  EXPECT_EQ(a.Apply, nullptr);
  EXPECT_EQ(a.Message, "Unknown device. HW version 5 . DEV_ID=5; HW_VERSION=0");

  state.Reset();
  a = HandleIdentificationAnswer(state, kAddressHw, 0);  // ignored
  EXPECT_FALSE(a.Disconnect);
  EXPECT_EQ(a.Apply, nullptr);
  EXPECT_FALSE(a.LabelChanged);
}

}  // namespace
}  // namespace ferrolad
