// The live controller state shown in the main window: indicator lamps, labels and parameter fields as
// a plain view model, the values last read, and the dispatch of every good read answer to them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/device_description.h"
#include "device/direct_command.h"

namespace ferrolad {

enum class TLampColor : uint8_t { White, Silver, Yellow, Green, Red };

struct TLamp {
  TLampColor Color = TLampColor::White;
  bool Visible = true;
};

struct TLabel {
  std::string Caption;
  bool Visible = true;
};

// Controls of the main window that show the controller state, by their control names.
struct TStatusView {
  std::array<TLampColor, 8> shpX{};  // shpX0..shpX7
  std::array<TLampColor, 8> shpY{};  // shpY0..shpY7
  TLampColor shpRunStop = TLampColor::White;
  std::string lblRunStop = "Run/Stop";
  TLampColor shpState = TLampColor::White;  // communication state lamp

  // RUN/STOP driven visibilities.
  bool pnlWarningLabelVisible = true;
  bool btnSendToControllerILVisible = true;
  bool btnReadFromControllerILVisible = true;
  bool btnDebugVisible = true;
  bool pnlProgramTypeVisible = true;
  bool lblTurnToStopModeVisible = false;

  // Error indicators: general (shpErrors/lblErrors) and the four detail rows.
  TLamp shpErrors;
  TLabel lblErrors;
  std::array<TLamp, 4> shpError{};  // shpError1..shpError4
  std::array<TLabel, 4> lblError{};  // lblError1..lblError4
  TLabel lblReplaceBattery{"", false};
  TLabel lblMemoryErrorCode{"", false};
  TLabel lblModbusErrorCode{"", false};
  TLabel lblUserProgramErrorLine{"", false};
  TLabel lblUserProgramErrorCode{"", false};
  bool btnClearErrorsVisible = false;

  // Motor state.
  TLampColor shpStateEnergized = TLampColor::White;
  TLampColor shpStateStop = TLampColor::White;  // "Hold"
  TLampColor shpStateAccel = TLampColor::White;
  TLampColor shpStateDecel = TLampColor::White;
  TLampColor shpStateConstSpeed = TLampColor::White;
  TLampColor shpStateBusyMove = TLampColor::White;
  TLampColor shpStateBusyRun = TLampColor::White;
  TLampColor shpStateInternalVoltage = TLampColor::White;
  TLampColor shpStateSupplyVoltage = TLampColor::White;
  std::string lblStateDirection = "Direction: ";
  std::string lblStatePosition = "Position: ";
  std::string lblCurrentSpeed;
  TLabel lblCurrentReading{"Reading: ", true};

  // Motion parameters (direct-control page and its parameter panel).
  std::string lblSettingsMaxSpeed, lblMaxSpeed, pnlRun_Max_Speed = "100 pulse/sec", EditMaxSpeed = "1000";
  std::string lblSettingsMinSpeed, lblMinSpeed, EditMinSpeed = "100";
  std::string lblSettingsACCEL, lblAcceleration, editRun_Accel = "Acceleration = 10",
                                                  EditAcceleration = "1000";
  std::string lblSettingsDECEL, lblDeceleration, editRun_Decel = "Deceleration = 10",
                                                  EditDeceleration = "1000";
  std::string lblSettingsMICRO;
  int32_t UpDownSettingsFullStepSpeed = 0;
  std::string lblSettingsFullStepSpeed;
  int sliderFS_SW_EN = 0;
  std::string lblSettingsGOUNTIL_INPUT;
  std::string lblSettingsWORK_CURRENT;
  int32_t UpDownSettingsWORK_CURRENT = 0;
  std::string lblSettingsHOLD_CURRENT;
  int32_t UpDownSettingsHOLD_CURRENT = 0;
  int sliderCMIN_SPD_EN = 0;
  bool chbxThermal_Error = true;
  bool chbxSoftware_error = true;
  bool chbxCMD_Error = false;
  bool chbxData_Error = false;
};

// The values last read, kept for the other parts of the window (direct control reads several).
struct TStatusValues {
  uint8_t Inputs = 0;
  uint8_t Outputs = 0;
  uint8_t RunStop = 0;
  std::array<uint8_t, 5> ErrorBits{};
  uint16_t RomErrorCode = 0;
  uint16_t ModbusErrorCode = 0;
  uint16_t UserProgramErrorCode = 0;
  uint16_t UserProgramErrorLine = 0;
  int32_t MaxSpeed = 0;
  int32_t MinSpeed = 0;
  int32_t Acceleration = 0;
  int32_t Deceleration = 0;
  int32_t Position = 0;
  int32_t Microstep = 0;
  uint8_t Direction = 0;  // 1 forward
  int32_t FullStepSpeed = 0;
  uint8_t FullStepSwitch = 0;
  int32_t TargetPosition = 0;
  int32_t MotionCommand = 0;  // 0 continuous run
  int32_t ErrorCode = 0;      // register 0x5027
  uint8_t SwInput = 0;
  int32_t AccCurrent = 0;
  int32_t DecCurrent = 0;
  int32_t WorkCurrent = 0;
  int32_t HoldCurrent = 0;
  uint8_t AutoMinSpeed = 0;
  int32_t ErrorMask = 0;
  uint8_t MotorStatus = 0;  // bit 0 bridges off, bit 1 stopped/holding
  uint32_t CurrentSpeed = 0;
  uint8_t SupplyVoltage = 0;
  uint8_t InternalVoltage = 0;
};

// One good read answer, as the response checks decoded it.
struct TReadResponse {
  uint8_t Function = 0;
  uint16_t Address = 0;
  int32_t Value = 0;
  std::vector<uint8_t> Bytes;  // from the slave ID through the last data byte
  uint8_t RequestedItems = 0;
};

// Where an answer went.
enum class TResponseRoute {
  Displayed,         // shown here
  StoredOnly,        // kept without a display
  Debugger,          // debug mode, suspend state, current index, operand value/signal, r/w error
  Breakpoints,       // breakpoint lines and activity
  CommParameters,    // ASCII/RTU, baud rate, parity, ID
  ProgramLineCount,  // lines copied for program reading
  ProgramSector,     // register window of program reading
  Identification,    // versions and map versions
  Ignored,
};

// What a click on "Clear errors" asks for: a direct command, or a message when not connected.
struct TErrorAction {
  std::optional<TDirectCommand> Command;
  std::string Message;  // shown instead when nothing is sent
};

class TStatusModel {
 public:
  TStatusView View;
  TStatusValues Values;

  // Runs the close-port cleanup (a controller reporting a Modbus error is disconnected).
  std::function<void()> ClosePort;
  // Receives the answers that belong to other parts of the window (debugger, dialogs, reading).
  std::function<void(TResponseRoute, const TReadResponse&)> Forward;
  // Called after every change of View.
  std::function<void()> Changed;

  TStatusModel();

  // Dispatches a good read answer by function code and address.
  TResponseRoute HandleResponse(const TReadResponse& response);

  // Every indicator to "unknown" (watchdog, and when identification restarts).
  void ClearIndicators();

  // Lamp rules, also used by HandleResponse.
  void ShowErrorBit(int index, int state);
  void ShowRunStop(int state);
  void ShowMotorStatus(uint8_t bits);
  // Stores an error code (group 3 ROM, 2 Modbus, 1 user program) and closes the port on a Modbus error.
  void StoreErrorCode(int group, uint16_t code);
  void StoreErrorLine(uint16_t line);

  // "Clear errors": CLR_ERRORS as a one-record direct command, read back, no RUN check.
  TErrorAction btnClearErrorsClick(bool portOpen) const;
  // Text of the message box shown on a click on the user-program error code.
  std::string lblUserProgramErrorCodeClick() const;
  // Question asked on a click on the user-program error line.
  std::string UserProgramErrorLineQuestion() const;
  // Index of the editor line to select for the error line (comment and empty lines do not count);
  // -1 when the program is shorter.
  static int FindErrorLine(const std::vector<std::string>& lines, int errorLine);
  // The whole click: the line to select after a Yes, -1 after a No or when there is none.
  int lblUserProgramErrorLineClick(const std::vector<std::string>& lines, bool answeredYes) const;

  // "code: 0x" texts use upper-case hexadecimal with at least two digits.
  static std::string HexCode(uint32_t code);

 private:
  void Notify();
  void CheckModbusError();
  void SetErrorCode(int group, uint16_t code);
  void ShowCurrents(uint16_t address, int32_t value);
  TResponseRoute HandleDiscreteInputs(const TReadResponse& r);
  TResponseRoute HandleCoils(const TReadResponse& r);
  TResponseRoute HandleHoldingRegisters(const TReadResponse& r);
  TResponseRoute HandleInputRegisters(const TReadResponse& r);
};

}  // namespace ferrolad
