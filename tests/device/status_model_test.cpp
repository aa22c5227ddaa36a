#include "device/status_model.h"

#include <gtest/gtest.h>

#include <functional>

namespace ferrolad {
namespace {

using C = TLampColor;

TReadResponse Read(uint8_t fc, uint16_t address, int32_t value, uint8_t items = 1,
                   std::vector<uint8_t> bytes = {}) {
  return TReadResponse{fc, address, value, std::move(bytes), items};
}

struct DispatchCase {
  const char* what;
  TReadResponse response;
  TResponseRoute route;
  std::function<void(const TStatusModel&)> check;
};

// Every row of the answer dispatch, with the fields it must change.
std::vector<DispatchCase> DispatchCases() {
  return {
      {"outputs Y0..Y7", Read(2, 0x1000, 0xA1, 8), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         const std::array<C, 8> y = {C::Yellow, C::Silver, C::Silver, C::Silver,
                                     C::Silver, C::Yellow, C::Silver, C::Yellow};
         EXPECT_EQ(m.View.shpY, y);
         EXPECT_EQ(m.Values.Outputs, 0xA1);
         EXPECT_EQ(m.View.shpX[0], C::White);
       }},
      {"inputs X0..X7 answering 0x05", Read(2, 0x2000, 0x05, 8), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         const std::array<C, 8> x = {C::Yellow, C::Silver, C::Yellow, C::Silver,
                                     C::Silver, C::Silver, C::Silver, C::Silver};
         EXPECT_EQ(m.View.shpX, x);
         EXPECT_EQ(m.Values.Inputs, 0x05);
       }},
      {"inputs from X6: items past X7 are dropped", Read(2, 0x2006, 0x07, 4), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.shpX[6], C::Yellow);
         EXPECT_EQ(m.View.shpX[7], C::Yellow);
         EXPECT_EQ(m.View.shpX[5], C::White);
         EXPECT_EQ(m.Values.Inputs, 0xC0);
       }},
      {"error bits answering 0x11", Read(2, 0xE000, 0x11, 5), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.shpErrors.Color, C::Red);
         EXPECT_EQ(m.View.lblErrors.Caption, "Error occurred");
         EXPECT_TRUE(m.View.btnClearErrorsVisible);
         EXPECT_EQ(m.View.shpError[0].Color, C::Green);
         EXPECT_EQ(m.View.lblError[0].Caption, "CR2032 - no error");
         EXPECT_EQ(m.View.lblError[1].Caption, "ROM - no error");
         EXPECT_EQ(m.View.lblError[2].Caption, "Modbus - no error");
         EXPECT_EQ(m.View.shpError[3].Color, C::Red);
         EXPECT_TRUE(m.View.shpError[3].Visible);
         EXPECT_EQ(m.View.lblError[3].Caption, "Error in user program");
         EXPECT_TRUE(m.View.lblUserProgramErrorLine.Visible);
         EXPECT_TRUE(m.View.lblUserProgramErrorCode.Visible);
         EXPECT_FALSE(m.View.lblReplaceBattery.Visible);
         EXPECT_FALSE(m.View.lblMemoryErrorCode.Visible);
       }},
      {"RUN/STOP", Read(2, 0xF001, 1), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.shpRunStop, C::Red);
         EXPECT_EQ(m.View.lblRunStop, "RUN mode");
         EXPECT_EQ(m.Values.RunStop, 1);
       }},
      {"debug operand r/w error", Read(2, 0x6000, 1), TResponseRoute::Debugger, nullptr},
      {"debug state", Read(2, 0x6100, 1), TResponseRoute::Debugger, nullptr},
      {"debug suspended", Read(2, 0x6101, 0), TResponseRoute::Debugger, nullptr},
      {"direction by coil", Read(1, 0x500A, 1), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblStateDirection, "Direction: forward");
         EXPECT_EQ(m.Values.Direction, 1);
       }},
      {"internal voltage bad", Read(1, 0x502F, 1), TResponseRoute::Displayed,
       [](const TStatusModel& m) { EXPECT_EQ(m.View.shpStateInternalVoltage, C::Red); }},
      {"supply voltage good", Read(1, 0x5030, 0), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.shpStateSupplyVoltage, C::Green);
         EXPECT_EQ(m.View.shpStateInternalVoltage, C::White);
       }},
      {"breakpoint activity", Read(1, 0x6200, 0x5, 4), TResponseRoute::Breakpoints, nullptr},
      {"breakpoint activity 4", Read(1, 0x6203, 1), TResponseRoute::Breakpoints, nullptr},
      {"ASCII/RTU", Read(1, 0x8100, 0), TResponseRoute::CommParameters, nullptr},
      {"max speed", Read(3, 0x5000, 120000, 2), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblSettingsMaxSpeed, "MAX_SPEED = 120000");
         EXPECT_EQ(m.View.lblMaxSpeed, "MAX_SPEED = 120000");
         EXPECT_EQ(m.View.pnlRun_Max_Speed, "120000 pulses/sec");
         EXPECT_EQ(m.View.EditMaxSpeed, "120000");
         EXPECT_EQ(m.Values.MaxSpeed, 120000);
       }},
      {"min speed", Read(3, 0x5002, 80, 2), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblSettingsMinSpeed, "MIN_SPEED = 80");
         EXPECT_EQ(m.View.lblMinSpeed, "MIN_SPEED = 80");
         EXPECT_EQ(m.View.EditMinSpeed, "80");
       }},
      {"acceleration", Read(3, 0x5004, 250), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblSettingsACCEL, "ACCELERATION = 250");
         EXPECT_EQ(m.View.lblAcceleration, "ACCELERATION = 250");
         EXPECT_EQ(m.View.editRun_Accel, "Acceleration = 250");
         EXPECT_EQ(m.View.EditAcceleration, "250");
       }},
      {"deceleration", Read(3, 0x5005, 300), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblSettingsDECEL, "DECELERATION = 300");
         EXPECT_EQ(m.View.lblDeceleration, "DECELERATION = 300");
         EXPECT_EQ(m.View.editRun_Decel, "Deceleration = 300");
         EXPECT_EQ(m.View.EditDeceleration, "300");
       }},
      {"negative position", Read(3, 0x5006, -1234, 2), TResponseRoute::Displayed,
       [](const TStatusModel& m) { EXPECT_EQ(m.View.lblStatePosition, "Position: -1234"); }},
      {"microstepping 1/128", Read(3, 0x5009, 7), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblSettingsMICRO, "Microstepping: 1/128");
       }},
      {"direction by register", Read(3, 0x500A, 0), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblStateDirection, "Direction: backward");
       }},
      {"full-step speed", Read(3, 0x500B, 5000, 2), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.UpDownSettingsFullStepSpeed, 5000);
         EXPECT_EQ(m.View.lblSettingsFullStepSpeed, "FULL_STEP_SPEED = 5000");
       }},
      {"full-step switch on", Read(3, 0x500D, 1), TResponseRoute::Displayed,
       [](const TStatusModel& m) { EXPECT_EQ(m.View.sliderFS_SW_EN, 0); }},
      {"full-step switch off", Read(3, 0x500D, 0), TResponseRoute::Displayed,
       [](const TStatusModel& m) { EXPECT_EQ(m.View.sliderFS_SW_EN, 1); }},
      {"target position", Read(3, 0x500E, 777, 2), TResponseRoute::StoredOnly,
       [](const TStatusModel& m) { EXPECT_EQ(m.Values.TargetPosition, 777); }},
      {"motion command", Read(3, 0x5010, 3), TResponseRoute::StoredOnly,
       [](const TStatusModel& m) { EXPECT_EQ(m.Values.MotionCommand, 3); }},
      {"error code register", Read(3, 0x5027, 9), TResponseRoute::StoredOnly,
       [](const TStatusModel& m) { EXPECT_EQ(m.Values.ErrorCode, 9); }},
      {"GO UNTIL input", Read(3, 0x5011, 0x0105), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblSettingsGOUNTIL_INPUT, "Input number for GOUNTIL command: 5");
       }},
      {"holding current", Read(3, 0x5015, 900), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.lblSettingsHOLD_CURRENT, "Holding current = 900");
         EXPECT_EQ(m.View.UpDownSettingsHOLD_CURRENT, 900);
       }},
      {"automatic minimum speed on", Read(3, 0x5016, 1), TResponseRoute::Displayed,
       [](const TStatusModel& m) { EXPECT_EQ(m.View.sliderCMIN_SPD_EN, 0); }},
      {"error handling mask", Read(3, 0x5017, 0x0A), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_FALSE(m.View.chbxThermal_Error);
         EXPECT_TRUE(m.View.chbxSoftware_error);
         EXPECT_FALSE(m.View.chbxCMD_Error);
         EXPECT_TRUE(m.View.chbxData_Error);
       }},
      {"breakpoint line", Read(3, 0x6202, 17), TResponseRoute::Breakpoints, nullptr},
      {"baud rate", Read(3, 0x8100, 115200, 2), TResponseRoute::CommParameters, nullptr},
      {"parity", Read(3, 0x8102, 2), TResponseRoute::CommParameters, nullptr},
      {"ID", Read(3, 0x8103, 1), TResponseRoute::CommParameters, nullptr},
      {"program line count", Read(3, 0xF400, 12), TResponseRoute::ProgramLineCount, nullptr},
      {"program sector start", Read(3, 0xF401, 0, 123), TResponseRoute::ProgramSector, nullptr},
      {"program sector end", Read(3, 0xF4FF, 0), TResponseRoute::ProgramSector, nullptr},
      {"motor status 0x24", Read(4, 0x5037, 0x24), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.shpStateEnergized, C::Yellow);
         EXPECT_EQ(m.View.shpStateAccel, C::Yellow);
         EXPECT_EQ(m.View.shpStateBusyMove, C::Yellow);
         EXPECT_EQ(m.View.shpStateStop, C::Silver);
         EXPECT_EQ(m.View.shpStateDecel, C::Silver);
         EXPECT_EQ(m.View.shpStateConstSpeed, C::Silver);
         EXPECT_EQ(m.View.shpStateBusyRun, C::Silver);
       }},
      {"motor status bridges off", Read(4, 0x5037, 0x43), TResponseRoute::Displayed,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.View.shpStateEnergized, C::Silver);
         EXPECT_EQ(m.View.shpStateStop, C::Yellow);
         EXPECT_EQ(m.View.shpStateBusyRun, C::Yellow);
         EXPECT_EQ(m.Values.MotorStatus, 0x43);
       }},
      {"current speed unsigned", Read(4, 0x5047, -1, 2), TResponseRoute::Displayed,
       [](const TStatusModel& m) { EXPECT_EQ(m.View.lblCurrentSpeed, "Speed: 4294967295"); }},
      {"debug operand value", Read(4, 0x6002, 5, 2), TResponseRoute::Debugger, nullptr},
      {"debug operand signal", Read(4, 0x6004, 2), TResponseRoute::Debugger, nullptr},
      {"debug current index", Read(4, 0x6100, 40), TResponseRoute::Debugger, nullptr},
      {"GET_HW", Read(4, 0x8001, 0x30001, 2), TResponseRoute::Identification, nullptr},
      {"GET_FW", Read(4, 0x8003, 0x80001, 2), TResponseRoute::Identification, nullptr},
      {"GET_BOOTLOADER", Read(4, 0x8005, 1, 2), TResponseRoute::Identification, nullptr},
      {"GET_REGMAP_VERSION", Read(4, 0x8007, 0x20002, 2), TResponseRoute::Identification, nullptr},
      {"GET_CMD_LIST_VERSION", Read(4, 0x8009, 2), TResponseRoute::Identification, nullptr},
      {"GET_OPERAND_LIST_VERSION", Read(4, 0x800A, 1), TResponseRoute::Identification, nullptr},
      {"error codes", Read(4, 0xE002, 0, 3, {1, 4, 6, 0x00, 0x05, 0x00, 0x00, 0x20, 0x12}),
       TResponseRoute::StoredOnly,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.Values.RomErrorCode, 5);
         EXPECT_EQ(m.Values.ModbusErrorCode, 0);
         EXPECT_EQ(m.Values.UserProgramErrorCode, 0x2012);
       }},
      {"error codes, short answer keeps what is missing",
       Read(4, 0xE002, 0, 3, {1, 4, 2, 0x00, 0x04}), TResponseRoute::StoredOnly,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.Values.RomErrorCode, 4);
         EXPECT_EQ(m.Values.UserProgramErrorCode, 0);
       }},
      {"error code read from E004 alone", Read(4, 0xE004, 0x2013, 1, {1, 4, 2, 0x20, 0x13}),
       TResponseRoute::StoredOnly,
       [](const TStatusModel& m) {
         EXPECT_EQ(m.Values.UserProgramErrorCode, 0x2013);
         EXPECT_EQ(m.Values.RomErrorCode, 0);
       }},
      {"user-program error line", Read(4, 0xE084, 0x10007), TResponseRoute::StoredOnly,
       [](const TStatusModel& m) { EXPECT_EQ(m.Values.UserProgramErrorLine, 7); }},
      {"error line needs one item", Read(4, 0xE084, 9, 2), TResponseRoute::StoredOnly,
       [](const TStatusModel& m) { EXPECT_EQ(m.Values.UserProgramErrorLine, 0); }},
      {"unknown input register", Read(4, 0x1234, 1), TResponseRoute::Ignored, nullptr},
      {"unknown function", Read(5, 0x5000, 1), TResponseRoute::Ignored, nullptr},
      {"discrete input outside every range", Read(2, 0x3000, 1), TResponseRoute::Ignored, nullptr},
  };
}

TEST(StatusModelTest, EveryDispatchRowChangesItsFields) {
  for (const DispatchCase& c : DispatchCases()) {
    SCOPED_TRACE(c.what);
    TStatusModel m;
    std::vector<TResponseRoute> forwarded;
    int changes = 0;
    int closes = 0;
    m.Forward = [&](TResponseRoute route, const TReadResponse& r) {
      forwarded.push_back(route);
      EXPECT_EQ(r.Address, c.response.Address);
    };
    m.Changed = [&] { ++changes; };
    m.ClosePort = [&] { ++closes; };
    EXPECT_EQ(m.HandleResponse(c.response), c.route);
    const bool forwardedRoute = c.route != TResponseRoute::Displayed &&
                                c.route != TResponseRoute::StoredOnly &&
                                c.route != TResponseRoute::Ignored;
    EXPECT_EQ(forwarded.size(), forwardedRoute ? 1u : 0u);
    if (forwardedRoute) {
      EXPECT_EQ(forwarded[0], c.route);
    }
    if (c.route == TResponseRoute::Displayed) {
      EXPECT_GT(changes, 0);
    }
    EXPECT_EQ(closes, 0);
    if (c.check) c.check(m);
  }
}

TEST(StatusModelTest, MicrostepCodesAndUnknownCodeKeepsLabel) {
  const std::pair<int, const char*> codes[] = {
      {0, "Microstepping: 1/1"},   {1, "Microstepping: 1/2"},  {2, "Microstepping: 1/4"},
      {3, "Microstepping: 1/8"},   {4, "Microstepping: 1/16"}, {5, "Microstepping: 1/32"},
      {7, "Microstepping: 1/128"}, {8, "Microstepping: 1/256"}};
  TStatusModel m;
  for (const auto& [code, text] : codes) {
    m.HandleResponse(Read(3, 0x5009, code));
    EXPECT_EQ(m.View.lblSettingsMICRO, text);
  }
  for (int unknown : {6, 9, 255}) {
    m.HandleResponse(Read(3, 0x5009, unknown));
    EXPECT_EQ(m.View.lblSettingsMICRO, "Microstepping: 1/256") << unknown;
  }
}

TEST(StatusModelTest, EachMotorStatusBitLightsItsOwnLamp) {
  using Lamp = C TStatusView::*;
  const Lamp lamps[] = {&TStatusView::shpStateStop,       &TStatusView::shpStateAccel,
                        &TStatusView::shpStateDecel,      &TStatusView::shpStateConstSpeed,
                        &TStatusView::shpStateBusyMove,   &TStatusView::shpStateBusyRun};
  for (int bit = 1; bit <= 6; ++bit) {
    SCOPED_TRACE(bit);
    TStatusModel m;
    m.HandleResponse(Read(4, 0x5037, 1 << bit));
    EXPECT_EQ(m.View.shpStateEnergized, C::Yellow);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(m.View.*lamps[k], k == bit - 1 ? C::Yellow : C::Silver) << k;
  }
  TStatusModel m;
  m.HandleResponse(Read(4, 0x5037, 0x01));
  EXPECT_EQ(m.View.shpStateEnergized, C::Silver);
  for (Lamp lamp : lamps) EXPECT_EQ(m.View.*lamp, C::Silver);
}

TEST(StatusModelTest, WorkCurrentLabelFollowsTheThreeCurrents) {
  TStatusModel m;
  m.HandleResponse(Read(3, 0x5012, 1500));
  m.HandleResponse(Read(3, 0x5013, 1500));
  m.HandleResponse(Read(3, 0x5014, 1500));
  EXPECT_EQ(m.View.lblSettingsWORK_CURRENT, "Work current = ACC/DEC current = 1500");
  EXPECT_EQ(m.View.UpDownSettingsWORK_CURRENT, 0);  // equal currents leave the stepper alone

  m.HandleResponse(Read(3, 0x5014, 1200));
  EXPECT_EQ(m.View.lblSettingsWORK_CURRENT, "Work current = 1200");
  EXPECT_EQ(m.View.UpDownSettingsWORK_CURRENT, 1200);

  m.HandleResponse(Read(3, 0x5012, 1200));
  EXPECT_EQ(m.View.lblSettingsWORK_CURRENT, "Work current = 1200");
  m.HandleResponse(Read(3, 0x5013, 1200));
  EXPECT_EQ(m.View.lblSettingsWORK_CURRENT, "Work current = ACC/DEC current = 1200");
  EXPECT_EQ(m.Values.AccCurrent, 1200);
  EXPECT_EQ(m.Values.DecCurrent, 1200);
  EXPECT_EQ(m.Values.WorkCurrent, 1200);
}

TEST(StatusModelTest, ErrorBitsShowAndHideTheirDetails) {
  TStatusModel m;
  m.HandleResponse(Read(4, 0xE002, 0, 3, {1, 4, 6, 0x00, 0x05, 0x00, 0x00, 0x20, 0x12}));
  m.HandleResponse(Read(4, 0xE084, 42));
  m.HandleResponse(Read(2, 0xE000, 0x1F, 5));
  const TStatusView& v = m.View;
  EXPECT_TRUE(v.lblReplaceBattery.Visible);
  EXPECT_EQ(v.lblError[0].Caption, "CR2032 discharged");
  EXPECT_EQ(v.lblError[1].Caption, "ROM error");
  EXPECT_EQ(v.lblMemoryErrorCode.Caption, "code: 5");
  EXPECT_TRUE(v.lblMemoryErrorCode.Visible);
  EXPECT_EQ(v.lblError[2].Caption, "Modbus error");
  EXPECT_EQ(v.lblModbusErrorCode.Caption, "code: 0");
  EXPECT_EQ(v.lblUserProgramErrorLine.Caption, "line: 42");
  EXPECT_EQ(v.lblUserProgramErrorCode.Caption, "code: 0x2012");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(v.shpError[i].Color, C::Red);
    EXPECT_TRUE(v.shpError[i].Visible);
    EXPECT_TRUE(v.lblError[i].Visible);
  }

  // No error at all: everything but the general lamp disappears.
  m.HandleResponse(Read(2, 0xE000, 0x00, 5));
  EXPECT_EQ(v.shpErrors.Color, C::Green);
  EXPECT_EQ(v.lblErrors.Caption, "No errors");
  EXPECT_FALSE(v.btnClearErrorsVisible);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(v.shpError[i].Visible);
    EXPECT_FALSE(v.lblError[i].Visible);
  }
  for (const TLabel* label : {&v.lblReplaceBattery, &v.lblMemoryErrorCode, &v.lblModbusErrorCode,
                              &v.lblUserProgramErrorLine, &v.lblUserProgramErrorCode})
    EXPECT_FALSE(label->Visible);

  // A small code still shows two hexadecimal digits.
  m.Values.UserProgramErrorCode = 0x7;
  m.ShowErrorBit(4, 1);
  EXPECT_EQ(v.lblUserProgramErrorCode.Caption, "code: 0x07");
  // Out of range indexes and states change nothing.
  const TStatusView before = m.View;
  m.ShowErrorBit(5, 1);
  m.ShowErrorBit(-1, 1);
  m.ShowErrorBit(2, 2);
  EXPECT_EQ(m.View.lblError[1].Caption, before.lblError[1].Caption);
  EXPECT_EQ(m.View.shpError[1].Color, before.shpError[1].Color);
}

TEST(StatusModelTest, RunStopDrivesVisibilities) {
  struct Case {
    int state;
    C lamp;
    const char* label;
    bool warning, send, read, debug, programType, turnToStop;
  };
  const Case cases[] = {
      {0, C::Green, "STOP mode", true, true, true, true, true, false},
      {1, C::Red, "RUN mode", false, false, false, false, false, true},
  };
  for (const Case& c : cases) {
    TStatusModel m;
    m.HandleResponse(Read(2, 0xF001, c.state));
    SCOPED_TRACE(c.state);
    EXPECT_EQ(m.View.shpRunStop, c.lamp);
    EXPECT_EQ(m.View.lblRunStop, c.label);
    EXPECT_EQ(m.View.pnlWarningLabelVisible, c.warning);
    EXPECT_EQ(m.View.btnSendToControllerILVisible, c.send);
    EXPECT_EQ(m.View.btnReadFromControllerILVisible, c.read);
    EXPECT_EQ(m.View.btnDebugVisible, c.debug);
    EXPECT_EQ(m.View.pnlProgramTypeVisible, c.programType);
    EXPECT_EQ(m.View.lblTurnToStopModeVisible, c.turnToStop);
  }
  // State 2 from RUN: warning and STOP hint shown, upload hidden, read and debug as they were.
  TStatusModel m;
  m.ShowRunStop(1);
  m.ShowRunStop(2);
  EXPECT_EQ(m.View.shpRunStop, C::White);
  EXPECT_EQ(m.View.lblRunStop, "RUN/STOP");
  EXPECT_TRUE(m.View.pnlWarningLabelVisible);
  EXPECT_TRUE(m.View.lblTurnToStopModeVisible);
  EXPECT_FALSE(m.View.btnSendToControllerILVisible);
  EXPECT_FALSE(m.View.pnlProgramTypeVisible);
  EXPECT_FALSE(m.View.btnReadFromControllerILVisible);
  // Above 2 is ignored.
  m.ShowRunStop(0);
  m.HandleResponse(Read(2, 0xF001, 3));
  EXPECT_EQ(m.View.lblRunStop, "STOP mode");
  EXPECT_EQ(m.Values.RunStop, 0);
}

TEST(StatusModelTest, ModbusErrorCodeClosesThePort) {
  TStatusModel m;
  int closes = 0;
  m.ClosePort = [&] { ++closes; };
  m.HandleResponse(Read(4, 0xE002, 0, 3, {1, 4, 6, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(closes, 0);
  m.HandleResponse(Read(4, 0xE002, 0, 3, {1, 4, 6, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00}));
  EXPECT_EQ(closes, 1);  // once per answer, not once per code
  EXPECT_EQ(m.Values.ModbusErrorCode, 3);
  // Any later code or line stored while the Modbus code is set closes again.
  m.HandleResponse(Read(4, 0xE084, 4));
  EXPECT_EQ(closes, 2);
  // Clearing the indicators (as on a new connection) forgets the stale code.
  m.ClearIndicators();
  m.HandleResponse(Read(4, 0xE084, 4));
  EXPECT_EQ(closes, 2);
}

TEST(StatusModelTest, ClearIndicatorsMakesEverythingUnknown) {
  TStatusModel m;
  m.HandleResponse(Read(2, 0x2000, 0xFF, 8));
  m.HandleResponse(Read(2, 0x1000, 0x0F, 8));
  m.HandleResponse(Read(2, 0xF001, 0));
  m.HandleResponse(Read(2, 0xE000, 0x1F, 5));
  m.HandleResponse(Read(4, 0x5037, 0x7F));
  m.HandleResponse(Read(1, 0x5030, 1));
  m.HandleResponse(Read(1, 0x502F, 0));
  m.HandleResponse(Read(3, 0x5006, 55, 2));
  m.HandleResponse(Read(3, 0x500A, 1));
  m.View.shpState = C::Green;
  m.View.lblCurrentReading.Caption = "GET_DIR";
  m.ClearIndicators();
  const TStatusView& v = m.View;
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(v.shpX[i], C::White);
    EXPECT_EQ(v.shpY[i], C::White);
  }
  EXPECT_EQ(v.shpRunStop, C::White);
  EXPECT_EQ(v.lblRunStop, "Run/Stop");
  EXPECT_EQ(v.shpState, C::White);
  EXPECT_EQ(v.shpErrors.Color, C::White);
  for (const TLamp& lamp : v.shpError) EXPECT_EQ(lamp.Color, C::White);
  EXPECT_EQ(v.lblStateDirection, "Direction: ");
  EXPECT_EQ(v.lblCurrentReading.Caption, "Reading: ");
  EXPECT_EQ(v.lblStatePosition, "Position: ");
  for (C lamp : {v.shpStateEnergized, v.shpStateStop, v.shpStateAccel, v.shpStateDecel,
                 v.shpStateConstSpeed, v.shpStateBusyMove, v.shpStateBusyRun,
                 v.shpStateInternalVoltage, v.shpStateSupplyVoltage})
    EXPECT_EQ(lamp, C::White);
}

class ErrorActionTest : public ::testing::Test {
 protected:
  void TearDown() override { ClearCurrentDevice(); }
};

TEST_F(ErrorActionTest, ClearErrorsSendsClrErrorsWithReadBack) {
  TStatusModel m;
  TErrorAction closed = m.btnClearErrorsClick(false);
  EXPECT_EQ(closed.Message, "No connection");
  EXPECT_FALSE(closed.Command.has_value());

  // No model known: the name cannot be resolved and nothing is sent.
  ClearCurrentDevice();
  TErrorAction unknown = m.btnClearErrorsClick(true);
  EXPECT_FALSE(unknown.Command.has_value());
  EXPECT_EQ(unknown.Message, "");

  SetCurrentDevice(*FindDescriptionByModel(kModelLira2));
  TErrorAction open = m.btnClearErrorsClick(true);
  ASSERT_TRUE(open.Command.has_value());
  EXPECT_EQ(open.Command->Variant, 2);
  EXPECT_FALSE(open.Command->Verify);
  EXPECT_TRUE(open.Command->ReadBack);
  ASSERT_EQ(open.Command->Commands.size(), 1u);
  EXPECT_EQ(open.Command->Commands[0].Name, "CLR_ERRORS");

  const auto list = BuildDirectCommandList(*open.Command);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[0].FunctionCode, 2);
  EXPECT_EQ((*list)[0].Address, 0xF001);
  EXPECT_EQ((*list)[0].Verify, 0);
  EXPECT_EQ((*list)[1].FunctionCode, 5);
  EXPECT_EQ((*list)[1].Address, 0xE000);
  EXPECT_EQ((*list)[1].Data, (TBytesArray{0x00, 0x01}));
  EXPECT_EQ((*list)[1].Counted, 1);
  EXPECT_EQ((*list)[2].FunctionCode, 1);
  EXPECT_EQ((*list)[2].Address, 0xE000);
  EXPECT_EQ((*list)[2].Counted, 0);
}

TEST_F(ErrorActionTest, UserProgramErrorCodeClick) {
  TStatusModel m;
  m.HandleResponse(Read(4, 0xE004, 0, 1, {1, 4, 2, 0x20, 0x12}));
  m.ShowErrorBit(4, 1);
  EXPECT_EQ(m.View.lblUserProgramErrorCode.Caption, "code: 0x2012");
  EXPECT_EQ(m.lblUserProgramErrorCodeClick(), "2012: Unknown command");
  m.HandleResponse(Read(4, 0xE004, 0, 1, {1, 4, 2, 0x30, 0x02}));
  EXPECT_EQ(m.lblUserProgramErrorCodeClick(), "3002: undefined");
}

TEST_F(ErrorActionTest, UserProgramErrorLineClickSkipsCommentsAndEmptyLines) {
  TStatusModel m;
  m.HandleResponse(Read(4, 0xE084, 2));
  EXPECT_EQ(m.UserProgramErrorLineQuestion(),
            "The program in the controller memory and the list may differ. Highlight command line 2 "
            "in the current list?");
  const std::vector<std::string> lines = {"// start", "LD X0", "", "OUT Y0", "// next",
                                          "LD X1",    "OUT Y1"};
  EXPECT_EQ(m.lblUserProgramErrorLineClick(lines, true), 5);
  EXPECT_EQ(m.lblUserProgramErrorLineClick(lines, false), -1);
  const std::pair<int, int> cases[] = {{0, 1}, {1, 3}, {2, 5}, {3, 6}, {4, -1}, {-1, -1}};
  for (const auto& [errorLine, index] : cases)
    EXPECT_EQ(TStatusModel::FindErrorLine(lines, errorLine), index) << errorLine;
  EXPECT_EQ(TStatusModel::FindErrorLine({}, 0), -1);
}

TEST(DirectCommandTest, ListsForEveryVariant) {
  TDC_Record speed{16, 0x5000, 2, 100, 1, "SET_MAX_SPEED"};
  TDC_Record accel{6, 0x5004, 1, 250, 1, "SET_ACCEL"};
  TDC_Record stop{5, 0x5102, 1, 1, 1, "SET_HARD_STOP"};

  TDirectCommand motion{1, true, false, false, {accel, stop}, 0};
  auto list = BuildDirectCommandList(motion);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[0].Verify, 1);
  EXPECT_EQ((*list)[0].ExpectedValue, 1);  // RUN expected
  EXPECT_EQ((*list)[1].Data, (TBytesArray{0x00, 0xFA}));
  EXPECT_EQ((*list)[2].Data, (TBytesArray{0x00, 0x01}));
  EXPECT_EQ(DirectCommandName(motion), "SendDirectCommand - 1");

  TDirectCommand parameter{3, true, true, true, {speed}, 120000};
  list = BuildDirectCommandList(parameter);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[0].ExpectedValue, 0);  // STOP expected
  EXPECT_EQ((*list)[1].Data, (TBytesArray{0xD4, 0xC0, 0x00, 0x01}));
  EXPECT_EQ((*list)[2].FunctionCode, 3);
  EXPECT_EQ((*list)[2].Count, 2);
  EXPECT_TRUE((*list)[2].Data.empty());

  // A read record, a record of three registers or an empty list sends nothing.
  TDC_Record read{3, 0x5000, 2, 0, 1, "GET_MAX_SPEED"};
  TDC_Record wide{16, 0x5000, 3, 0, 1, "WIDE"};
  EXPECT_FALSE(BuildDirectCommandList({1, true, false, false, {accel, read}, 0}).has_value());
  EXPECT_FALSE(BuildDirectCommandList({2, true, false, false, {wide}, 0}).has_value());
  EXPECT_FALSE(BuildDirectCommandList({1, true, false, false, {}, 0}).has_value());
}

}  // namespace
}  // namespace ferrolad
