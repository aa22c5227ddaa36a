#include "device/status_model.h"

#include <cstdio>

namespace ferrolad {

namespace {

TLampColor BitLamp(bool set) { return set ? TLampColor::Yellow : TLampColor::Silver; }
TLampColor ErrorLamp(bool error) { return error ? TLampColor::Red : TLampColor::Green; }

bool In(uint16_t address, uint16_t first, uint16_t last) {
  return address >= first && address <= last;
}

// Items i = 0..n-1 of a bit list whose address start + i still lies at or below last.
template <typename F>
void ForEachItem(const TReadResponse& r, uint16_t last, F&& apply) {
  for (int i = 0; i < r.RequestedItems && r.Address + i <= last; ++i)
    apply(r.Address + i, (static_cast<uint32_t>(r.Value) >> i) & 1U);
}

const char* MicrostepText(int32_t code) {
  switch (code) {
    case 0: return "Microstepping: 1/1";
    case 1: return "Microstepping: 1/2";
    case 2: return "Microstepping: 1/4";
    case 3: return "Microstepping: 1/8";
    case 4: return "Microstepping: 1/16";
    case 5: return "Microstepping: 1/32";
    case 7: return "Microstepping: 1/128";
    case 8: return "Microstepping: 1/256";
    default: return nullptr;
  }
}

std::string HexDigits(uint32_t code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02X", code);
  return buffer;
}

}  // namespace

TStatusModel::TStatusModel() {
  ClearIndicators();
  // The detail rows only appear once an error is reported.
  for (TLamp& lamp : View.shpError) lamp.Visible = false;
  for (TLabel& label : View.lblError) label.Visible = false;
}

void TStatusModel::Notify() {
  if (Changed) Changed();
}

std::string TStatusModel::HexCode(uint32_t code) { return "0x" + HexDigits(code); }

void TStatusModel::ClearIndicators() {
  TStatusView& v = View;
  v.shpX.fill(TLampColor::White);
  v.shpY.fill(TLampColor::White);
  v.shpRunStop = TLampColor::White;
  v.lblRunStop = "Run/Stop";
  v.shpState = TLampColor::White;
  v.shpErrors.Color = TLampColor::White;
  for (TLamp& lamp : v.shpError) lamp.Color = TLampColor::White;
  v.lblStateDirection = "Direction: ";
  v.lblCurrentReading.Caption = "Reading: ";
  v.lblStatePosition = "Position: ";
  for (TLampColor* lamp : {&v.shpStateEnergized, &v.shpStateStop, &v.shpStateAccel, &v.shpStateDecel,
                           &v.shpStateConstSpeed, &v.shpStateBusyMove, &v.shpStateBusyRun,
                           &v.shpStateInternalVoltage, &v.shpStateSupplyVoltage})
    *lamp = TLampColor::White;
  // Codes are unknown too: a Modbus code kept from an earlier connection must not close the next one
  // before the controller has been asked again.
  Values.RomErrorCode = 0;
  Values.ModbusErrorCode = 0;
  Values.UserProgramErrorCode = 0;
  Values.UserProgramErrorLine = 0;
  Notify();
}

void TStatusModel::ShowErrorBit(int index, int state) {
  if (index < 0 || index > 4 || state < 0 || state > 1) return;
  Values.ErrorBits[index] = static_cast<uint8_t>(state);
  TStatusView& v = View;
  const bool error = state == 1;
  switch (index) {
    case 0:
      v.shpErrors.Color = ErrorLamp(error);
      v.lblErrors.Caption = error ? "Error occurred" : "No errors";
      for (TLamp& lamp : v.shpError) lamp.Visible = error;
      for (TLabel& label : v.lblError) label.Visible = error;
      v.btnClearErrorsVisible = error;
      if (!error) {
        v.lblMemoryErrorCode.Visible = false;
        v.lblModbusErrorCode.Visible = false;
        v.lblUserProgramErrorLine.Visible = false;
        v.lblUserProgramErrorCode.Visible = false;
        v.lblReplaceBattery.Visible = false;
      }
      break;
    case 1:
      v.shpError[0].Color = ErrorLamp(error);
      v.lblError[0].Caption = error ? "CR2032 discharged" : "CR2032 - no error";
      v.lblReplaceBattery.Visible = error;
      break;
    case 2:
      v.shpError[1].Color = ErrorLamp(error);
      v.lblError[1].Caption = error ? "ROM error" : "ROM - no error";
      if (error) v.lblMemoryErrorCode.Caption = "code: " + std::to_string(Values.RomErrorCode);
      v.lblMemoryErrorCode.Visible = error;
      break;
    case 3:
      v.shpError[2].Color = ErrorLamp(error);
      v.lblError[2].Caption = error ? "Modbus error" : "Modbus - no error";
      if (error) v.lblModbusErrorCode.Caption = "code: " + std::to_string(Values.ModbusErrorCode);
      v.lblModbusErrorCode.Visible = error;
      break;
    case 4:
      v.shpError[3].Color = ErrorLamp(error);
      v.lblError[3].Caption = error ? "Error in user program" : "User program - no error";
      if (error) {
        v.lblUserProgramErrorLine.Caption = "line: " + std::to_string(Values.UserProgramErrorLine);
        v.lblUserProgramErrorCode.Caption = "code: " + HexCode(Values.UserProgramErrorCode);
      }
      v.lblUserProgramErrorLine.Visible = error;
      v.lblUserProgramErrorCode.Visible = error;
      break;
  }
  Notify();
}

void TStatusModel::ShowRunStop(int state) {
  if (state < 0 || state > 2) return;
  Values.RunStop = static_cast<uint8_t>(state);
  TStatusView& v = View;
  switch (state) {
    case 0:  // STOP: programs can be transferred, the motor cannot be driven
      v.shpRunStop = TLampColor::Green;
      v.lblRunStop = "STOP mode";
      v.pnlWarningLabelVisible = true;
      v.btnSendToControllerILVisible = true;
      v.btnReadFromControllerILVisible = true;
      v.btnDebugVisible = true;
      v.pnlProgramTypeVisible = true;
      v.lblTurnToStopModeVisible = false;
      break;
    case 1:  // RUN
      v.shpRunStop = TLampColor::Red;
      v.lblRunStop = "RUN mode";
      v.pnlWarningLabelVisible = false;
      v.btnSendToControllerILVisible = false;
      v.btnReadFromControllerILVisible = false;
      v.btnDebugVisible = false;
      v.pnlProgramTypeVisible = false;
      v.lblTurnToStopModeVisible = true;
      break;
    case 2:
      v.shpRunStop = TLampColor::White;
      v.lblRunStop = "RUN/STOP";
      v.pnlWarningLabelVisible = true;
      v.lblTurnToStopModeVisible = true;
      v.btnSendToControllerILVisible = false;
      v.pnlProgramTypeVisible = false;
      break;
  }
  Notify();
}

void TStatusModel::ShowMotorStatus(uint8_t bits) {
  Values.MotorStatus = bits;
  TStatusView& v = View;
  // Bit 0 means the bridges are off.
  v.shpStateEnergized = (bits & 0x01) ? TLampColor::Silver : TLampColor::Yellow;
  v.shpStateStop = BitLamp(bits & 0x02);
  v.shpStateAccel = BitLamp(bits & 0x04);
  v.shpStateDecel = BitLamp(bits & 0x08);
  v.shpStateConstSpeed = BitLamp(bits & 0x10);
  v.shpStateBusyMove = BitLamp(bits & 0x20);
  v.shpStateBusyRun = BitLamp(bits & 0x40);
  Notify();
}

void TStatusModel::SetErrorCode(int group, uint16_t code) {
  switch (group) {
    case kErrorGroupRom: Values.RomErrorCode = code; break;
    case kErrorGroupModbus: Values.ModbusErrorCode = code; break;
    case kErrorGroupUserProgram: Values.UserProgramErrorCode = code; break;
    default: break;
  }
}

void TStatusModel::CheckModbusError() {
  if (Values.ModbusErrorCode != 0 && ClosePort) ClosePort();
}

void TStatusModel::StoreErrorCode(int group, uint16_t code) {
  SetErrorCode(group, code);
  CheckModbusError();
}

void TStatusModel::StoreErrorLine(uint16_t line) {
  Values.UserProgramErrorLine = line;
  CheckModbusError();
}

void TStatusModel::ShowCurrents(uint16_t address, int32_t value) {
  switch (address) {
    case 0x5012: Values.AccCurrent = value; break;
    case 0x5013: Values.DecCurrent = value; break;
    default: Values.WorkCurrent = value; break;
  }
  const TStatusValues& s = Values;
  const bool equal = s.AccCurrent == s.WorkCurrent && s.DecCurrent == s.WorkCurrent;
  const std::string work = std::to_string(s.WorkCurrent);
  View.lblSettingsWORK_CURRENT =
      equal ? "Work current = ACC/DEC current = " + work : "Work current = " + work;
  if (address == 0x5014 && !equal) View.UpDownSettingsWORK_CURRENT = value;
}

TResponseRoute TStatusModel::HandleDiscreteInputs(const TReadResponse& r) {
  const uint16_t a = r.Address;
  TStatusView& v = View;
  if (In(a, 0x1000, 0x1007)) {
    ForEachItem(r, 0x1007, [&](int address, uint32_t bit) {
      const int y = address - 0x1000;
      v.shpY[y] = BitLamp(bit);
      Values.Outputs = static_cast<uint8_t>((Values.Outputs & ~(1U << y)) | (bit << y));
    });
    return TResponseRoute::Displayed;
  }
  if (In(a, 0x2000, 0x2007)) {
    ForEachItem(r, 0x2007, [&](int address, uint32_t bit) {
      const int x = address - 0x2000;
      v.shpX[x] = BitLamp(bit);
      Values.Inputs = static_cast<uint8_t>((Values.Inputs & ~(1U << x)) | (bit << x));
    });
    return TResponseRoute::Displayed;
  }
  if (In(a, 0xE000, 0xE004)) {
    ForEachItem(r, 0xE004, [&](int address, uint32_t bit) {
      ShowErrorBit(address - 0xE000, static_cast<int>(bit));
    });
    return TResponseRoute::Displayed;
  }
  if (a == 0xF001) {
    ShowRunStop(r.Value & 0xFF);
    return TResponseRoute::Displayed;
  }
  if (a == 0x6000 || a == 0x6100 || a == 0x6101) return TResponseRoute::Debugger;
  return TResponseRoute::Ignored;
}

TResponseRoute TStatusModel::HandleCoils(const TReadResponse& r) {
  const uint16_t a = r.Address;
  const uint8_t b0 = static_cast<uint8_t>(r.Value & 0xFF);
  if (a == 0x500A) {
    Values.Direction = b0;
    View.lblStateDirection = b0 == 1 ? "Direction: forward" : "Direction: backward";
    return TResponseRoute::Displayed;
  }
  if (a == 0x502F) {
    Values.InternalVoltage = b0;
    View.shpStateInternalVoltage = ErrorLamp(b0 != 0);
    return TResponseRoute::Displayed;
  }
  if (a == 0x5030) {
    Values.SupplyVoltage = b0;
    View.shpStateSupplyVoltage = ErrorLamp(b0 != 0);
    return TResponseRoute::Displayed;
  }
  if (In(a, 0x6200, 0x6203)) return TResponseRoute::Breakpoints;
  if (a == 0x8100) return TResponseRoute::CommParameters;
  return TResponseRoute::Ignored;
}

TResponseRoute TStatusModel::HandleHoldingRegisters(const TReadResponse& r) {
  const uint16_t a = r.Address;
  const int32_t value = r.Value;
  const uint8_t b0 = static_cast<uint8_t>(value & 0xFF);
  const std::string text = std::to_string(value);
  TStatusView& v = View;
  switch (a) {
    case 0x5000:
      Values.MaxSpeed = value;
      v.lblSettingsMaxSpeed = v.lblMaxSpeed = "MAX_SPEED = " + text;
      v.pnlRun_Max_Speed = text + " pulses/sec";
      v.EditMaxSpeed = text;
      return TResponseRoute::Displayed;
    case 0x5002:
      Values.MinSpeed = value;
      v.lblSettingsMinSpeed = v.lblMinSpeed = "MIN_SPEED = " + text;
      v.EditMinSpeed = text;
      return TResponseRoute::Displayed;
    case 0x5004:
      Values.Acceleration = value;
      v.lblSettingsACCEL = v.lblAcceleration = "ACCELERATION = " + text;
      v.editRun_Accel = "Acceleration = " + text;
      v.EditAcceleration = text;
      return TResponseRoute::Displayed;
    case 0x5005:
      Values.Deceleration = value;
      v.lblSettingsDECEL = v.lblDeceleration = "DECELERATION = " + text;
      v.editRun_Decel = "Deceleration = " + text;
      v.EditDeceleration = text;
      return TResponseRoute::Displayed;
    case 0x5006:
      Values.Position = value;
      v.lblStatePosition = "Position: " + text;
      return TResponseRoute::Displayed;
    case 0x5009:
      Values.Microstep = value;
      if (const char* label = MicrostepText(value)) v.lblSettingsMICRO = label;
      return TResponseRoute::Displayed;
    case 0x500A:
      Values.Direction = b0;
      v.lblStateDirection = b0 == 1 ? "Direction: forward" : "Direction: backward";
      return TResponseRoute::Displayed;
    case 0x500B:
      Values.FullStepSpeed = value;
      v.UpDownSettingsFullStepSpeed = value;
      v.lblSettingsFullStepSpeed = "FULL_STEP_SPEED = " + text;
      return TResponseRoute::Displayed;
    case 0x500D:
      Values.FullStepSwitch = b0;
      v.sliderFS_SW_EN = b0 == 1 ? 0 : 1;
      return TResponseRoute::Displayed;
    case 0x500E:
      Values.TargetPosition = value;
      return TResponseRoute::StoredOnly;
    case 0x5010:
      Values.MotionCommand = value;
      return TResponseRoute::StoredOnly;
    case 0x5027:
      Values.ErrorCode = value;
      return TResponseRoute::StoredOnly;
    case 0x5011:
      Values.SwInput = b0;
      v.lblSettingsGOUNTIL_INPUT = "Input number for GOUNTIL command: " + std::to_string(b0);
      return TResponseRoute::Displayed;
    case 0x5012:
    case 0x5013:
    case 0x5014:
      ShowCurrents(a, value);
      return TResponseRoute::Displayed;
    case 0x5015:
      Values.HoldCurrent = value;
      v.lblSettingsHOLD_CURRENT = "Holding current = " + text;
      v.UpDownSettingsHOLD_CURRENT = value;
      return TResponseRoute::Displayed;
    case 0x5016:
      Values.AutoMinSpeed = b0;
      v.sliderCMIN_SPD_EN = b0 == 1 ? 0 : 1;
      return TResponseRoute::Displayed;
    case 0x5017:
      Values.ErrorMask = value;
      v.chbxThermal_Error = value & 0x1;
      v.chbxSoftware_error = value & 0x2;
      v.chbxCMD_Error = value & 0x4;
      v.chbxData_Error = value & 0x8;
      return TResponseRoute::Displayed;
    case 0x8100:
    case 0x8102:
    case 0x8103:
      return TResponseRoute::CommParameters;
    case 0xF400:
      return TResponseRoute::ProgramLineCount;
    default:
      break;
  }
  if (In(a, 0x6200, 0x6203)) return TResponseRoute::Breakpoints;
  // The program window: GET_RW_SECTOR .. LAST_ADDRESS_FOR_RW_SECTOR.
  if (In(a, 0xF401, 0xF4FF)) return TResponseRoute::ProgramSector;
  return TResponseRoute::Ignored;
}

TResponseRoute TStatusModel::HandleInputRegisters(const TReadResponse& r) {
  const uint16_t a = r.Address;
  switch (a) {
    case 0x5037:
      ShowMotorStatus(static_cast<uint8_t>(r.Value & 0xFF));
      return TResponseRoute::Displayed;
    case 0x5047:
      Values.CurrentSpeed = static_cast<uint32_t>(r.Value);
      View.lblCurrentSpeed = "Speed: " + std::to_string(Values.CurrentSpeed);
      return TResponseRoute::Displayed;
    case 0x6002:
    case 0x6004:
    case 0x6100:
      return TResponseRoute::Debugger;
    case 0x8001:
    case 0x8003:
    case 0x8005:
    case 0x8007:
    case 0x8009:
    case 0x800A:
      return TResponseRoute::Identification;
    case 0xE084:
      if (r.RequestedItems == 1) StoreErrorLine(static_cast<uint16_t>(r.Value & 0xFFFF));
      return TResponseRoute::StoredOnly;
    default:
      break;
  }
  if (In(a, 0xE002, 0xE004)) {
    // The group follows the register (E002 ROM, E003 Modbus, E004 user program), so a read that
    // starts past E002 still lands each code in its own group.
    static constexpr int kGroups[] = {kErrorGroupRom, kErrorGroupModbus, kErrorGroupUserProgram};
    for (int i = 0; i < 4 && i < r.RequestedItems && a + i <= 0xE004; ++i) {
      const size_t high = 3 + 2 * static_cast<size_t>(i);
      if (r.Bytes.size() <= high + 1) break;
      SetErrorCode(kGroups[a + i - 0xE002], static_cast<uint16_t>(r.Bytes[high] * 256 + r.Bytes[high + 1]));
    }
    CheckModbusError();
    return TResponseRoute::StoredOnly;
  }
  return TResponseRoute::Ignored;
}

TResponseRoute TStatusModel::HandleResponse(const TReadResponse& response) {
  TResponseRoute route = TResponseRoute::Ignored;
  switch (response.Function) {
    case 1: route = HandleCoils(response); break;
    case 2: route = HandleDiscreteInputs(response); break;
    case 3: route = HandleHoldingRegisters(response); break;
    case 4: route = HandleInputRegisters(response); break;
    default: break;
  }
  switch (route) {
    case TResponseRoute::Displayed:
      Notify();
      break;
    case TResponseRoute::StoredOnly:
    case TResponseRoute::Ignored:
      break;
    default:
      if (Forward) Forward(route, response);
      break;
  }
  return route;
}

TErrorAction TStatusModel::btnClearErrorsClick(bool portOpen) const {
  TErrorAction action;
  if (!portOpen) {
    action.Message = "No connection";
    return action;
  }
  const TDC_Record clear = LookupCommand("CLR_ERRORS");
  if (clear.Valid == 0) return action;  // no model: nothing is sent
  TDirectCommand command;
  command.Variant = 2;
  command.Verify = false;
  command.RequireStop = false;
  command.ReadBack = true;
  command.Commands = {clear};
  action.Command = command;
  return action;
}

std::string TStatusModel::lblUserProgramErrorCodeClick() const {
  return HexDigits(Values.UserProgramErrorCode) + ": " +
         ErrorText(kErrorGroupUserProgram, Values.UserProgramErrorCode);
}

std::string TStatusModel::UserProgramErrorLineQuestion() const {
  return "The program in the controller memory and the list may differ. Highlight command line " +
         std::to_string(Values.UserProgramErrorLine) + " in the current list?";
}

int TStatusModel::FindErrorLine(const std::vector<std::string>& lines, int errorLine) {
  int skipped = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line.rfind("//", 0) == 0) {
      ++skipped;
      continue;
    }
    if (static_cast<int>(i) - skipped == errorLine) return static_cast<int>(i);
  }
  return -1;
}

int TStatusModel::lblUserProgramErrorLineClick(const std::vector<std::string>& lines,
                                               bool answeredYes) const {
  if (!answeredYes) return -1;
  return FindErrorLine(lines, Values.UserProgramErrorLine);
}

}  // namespace ferrolad
