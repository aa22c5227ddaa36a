#include <gtest/gtest.h>

#include "device/ident_chain.h"
#include "program_link_fixture.h"

namespace ferrolad {
namespace {

class IdentChain : public testing::LinkTest {
 protected:
  // Runs the chain against a controller built with `options`.
  void IdentifyWith(sim::SimOptions options) {
    options.romBusyUs = 0;
    Rebuild(options);
    Identify();
  }
};

TEST_F(IdentChain, EachModelIsSelectedByItsHardwareValue) {
  struct Case {
    sim::SimModel model;
    uint32_t hw;
    std::string_view name;
    int32_t maxCurrent;
  };
  const std::vector<Case> cases = {
      {sim::SimModel::LiraV2, 0x30001, kModelLira2, 1500},
      {sim::SimModel::LiraV3, 0x00002, kModelLira3, 1500},
      {sim::SimModel::Tarn, 0x10003, kModelTarn, 4200},
      {sim::SimModel::Obel, 0x00004, kModelObel, 8000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    ClearCurrentDevice();
    sim::SimOptions options;
    options.model = c.model;
    options.hwValue = c.hw;
    options.fwValue = 0x00080002;
    options.bootloaderValue = 0x00030001;
    IdentifyWith(options);
    OnMain([&] {
      const TIdentificationChain& id = link->Ident;
      EXPECT_TRUE(id.Finished);
      EXPECT_FALSE(id.Running());
      EXPECT_EQ(id.ModelName, c.name);
      ASSERT_TRUE(CurrentDevice());
      EXPECT_EQ(CurrentDevice()->ModelName, c.name);
      EXPECT_EQ(id.State.Hw, c.hw);
      EXPECT_EQ(id.State.lblControllerVersion,
                "HW" + std::to_string(c.hw & 0xFFFF) + "." + std::to_string(c.hw >> 16) + "  FW2.8   BL1.3");
      EXPECT_EQ(id.Device.UpDownSettingsWORK_CURRENT.Max, c.maxCurrent);
      EXPECT_TRUE(id.Device.ReadingSupported);
      // The map versions and the 20 parameter reads of the model went through.
      EXPECT_EQ(id.State.RegMapVersion, CurrentDevice()->RegMapVersion);
      EXPECT_EQ(id.State.OperandListVersion, CurrentDevice()->OperandListVersion);
      EXPECT_TRUE(id.Breakpoints.Shown);
      EXPECT_EQ(link->Status.View.lblMaxSpeed.rfind("MAX_SPEED = ", 0), 0u);
      EXPECT_TRUE(link->Messages.empty());
    });
    EXPECT_TRUE(port->Connected());
    const auto all = Outcomes();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[all.size() - 3].Name, "GetVersionInfo");
    EXPECT_EQ(all[all.size() - 2].Name, "GetMapsInfo");
    EXPECT_EQ(all.back().Name, "GetInitialInformation");
    EXPECT_EQ(all.back().CommandsTransferred, 20);
    EXPECT_FALSE(all.back().Failed);
  }
}

TEST_F(IdentChain, BreakpointsOfTheControllerAreShownAtTheEnd) {
  // Lines and activity as a debugger left them.
  const auto w = [&](uint16_t a, uint16_t v) { return testing::WriteRegister(a, v); };
  ASSERT_TRUE(Start(true, "set", {w(0x6200, 12), w(0x6202, 40)}));
  WaitOne();
  TRWmbrReg coil;
  coil.FunctionCode = 5;
  coil.Address = 0x6202;
  coil.Count = 1;
  coil.Data = {0, 1};
  ASSERT_TRUE(Start(true, "coil", {coil}));
  WaitOutcomes(2);
  ASSERT_EQ(Controller().breakpoint(2).line, 40);
  ASSERT_TRUE(Controller().breakpoint(2).active);
  Identify();
  OnMain([&] {
    const TBreakpointsView& b = link->Ident.Breakpoints;
    EXPECT_TRUE(b.Shown);
    EXPECT_EQ(b.Lines, (std::array<uint16_t, 4>{12, 0, 40, 0}));
    EXPECT_EQ(b.Active, (std::array<bool, 4>{false, false, true, false}));
  });
}

TEST_F(IdentChain, UnknownHardwareAndOutdatedFirmwareDisconnectWithTheirMessage) {
  struct Case {
    uint32_t hw;
    uint32_t fw;
    std::string message;
  };
  const std::vector<Case> cases = {
      {0x00005, 0x00080002, "Unknown device. HW version 5 . DEV_ID=5; HW_VERSION=0"},
      {0x20007, 0x00080002, "Unknown device. HW version 131079 . DEV_ID=7; HW_VERSION=2"},
      {0x30001, 0x00090001,
       "The controller has an outdated software version. Please update the firmware to the latest one. The firmware "
       "update can be done online using the utility \"KVDX updater\"."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ClearCurrentDevice();
    sim::SimOptions options;
    options.hwValue = c.hw;
    options.fwValue = c.fw;
    IdentifyWith(options);
    ASSERT_TRUE(WaitUntil([&] { return !link->Ident.Running() && !modbus->TransferRunning(); }));
    OnMain([&] {
      ASSERT_FALSE(link->Messages.empty());
      EXPECT_EQ(link->Messages.front(), c.message);
      EXPECT_FALSE(link->Ident.Finished);  // the chain did not go on to the parameters
      EXPECT_EQ(link->Ident.ModelName, "");
      EXPECT_TRUE(CurrentDevice()->Empty());
    });
    EXPECT_FALSE(port->Connected());
  }
}

TEST_F(IdentChain, FirmwareOneTenIsAcceptedAndOldFirmwareCannotRead) {
  sim::SimOptions options;
  options.fwValue = 0x000A0001;  // 1.10
  IdentifyWith(options);
  OnMain([&] {
    EXPECT_TRUE(link->Messages.empty());
    EXPECT_EQ(link->Ident.ModelName, kModelLira2);
    EXPECT_TRUE(link->ReadingSupported());
  });
  options.fwValue = 0x00070002;  // 2.7: connects, but program reading is refused
  IdentifyWith(options);
  OnMain([&] {
    EXPECT_TRUE(link->Messages.empty());
    EXPECT_FALSE(link->ReadingSupported());
  });
}

TEST_F(IdentChain, UserCommandsAreRefusedWhileTheChainRuns) {
  sim::SimOptions options;
  options.romBusyUs = 0;
  Rebuild(options);
  port->link.setAnswerDelayMs(5);
  bool started = false, refused = false;
  OnMain([&] {
    started = link->StartIdentification();
    refused = !modbus->StartTransfer(true, 1, true, "user", {testing::Read(2, 0xF001, 1)});
  });
  EXPECT_TRUE(started);
  EXPECT_TRUE(refused);
  ASSERT_TRUE(WaitUntil([&] { return link->Ident.Finished; }));
  port->link.setAnswerDelayMs(0);
  OnMain([&] { EXPECT_TRUE(modbus->StartTransfer(true, 1, true, "user", {testing::Read(2, 0xF001, 1)})); });
}

}  // namespace
}  // namespace ferrolad
