// Controller models: the named command table, the automatic read lists, error texts, the interruption
// catalogue and the model limits; the current model and the lookups every layer uses to build requests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/instruction_catalogue.h"
#include "core/interruption_ranges.h"
#include "core/rw_request.h"

namespace ferrolad {

// One named command: the Modbus request it stands for and the value it carries by default.
struct TDC_Record {
  uint8_t FunctionCode = 0;
  uint16_t Address = 0;
  uint8_t RegisterCount = 0;  // registers, or bits for functions 1, 2, 5
  int32_t Value = 0;
  uint8_t Valid = 0;          // 0 only in the empty descriptor of a failed lookup
  std::string Name;
};
using TDC_Records_Array = std::vector<TDC_Record>;

// Bits of TFieldDescr::Flags above the settings group byte.
inline constexpr int32_t kFlagOneShotCoil = 0x100;
inline constexpr int32_t kFlagWritesValue = 0x200;

// Settings groups (low byte of Flags).
enum TSettingsGroup : int32_t {
  GroupSpeed = 0,
  GroupMovement = 1,
  GroupInterruptions = 2,
  GroupError = 3,
  GroupMotorControl = 4,
  GroupInfo = 5,
  GroupOther = 6,
  GroupNone = 7,
};

// One row of a model's command table.
struct TFieldDescr {
  int32_t ParamIndex = 0;  // 1..22 motor parameter, 23 system command, 0 the empty row
  int32_t DRegister = 0;   // n of Dn through which a user program reaches the parameter, 0 if none
  int32_t BitWidth = 0;    // 32, 16, 1 or 0
  TDC_Record Command;
  std::string Caption;
  std::string Description;
  int32_t MinValue = 0;
  int32_t MaxValue = 0;
  int32_t Flags = 0;
  std::string GroupName;
  std::string TrueText;
  std::string FalseText;

  // Rows whose command writes something (function code above 4).
  bool IsWrite() const { return Command.FunctionCode > 4; }
  // A lookup counts as found only for a row that is not the empty row.
  bool Found() const { return ParamIndex != 0; }
};
using TFieldDescrArray = std::vector<TFieldDescr>;

// Group name of a Flags value ("" for group 7 and unknown groups).
std::string GroupNameOf(int32_t flags);

struct TErrorCode {
  uint16_t Code = 0;
  std::string Text;
};

struct TDeviceErrors {
  uint8_t Group = 0;
  uint16_t Register = 0;  // register that carries this group's code
  std::vector<TErrorCode> Codes;
};

// Error groups as the controller reports them.
inline constexpr uint8_t kErrorGroupUserProgram = 1;
inline constexpr uint8_t kErrorGroupModbus = 2;
inline constexpr uint8_t kErrorGroupRom = 3;

// Kinds of interruption catalogue rows.
inline constexpr uint8_t kInterruptionComm = 0;      // one fixed number
inline constexpr uint8_t kInterruptionList = 1;      // a number picked from a list
inline constexpr uint8_t kInterruptionTimed = 3;     // a number typed in
inline constexpr uint8_t kInterruptionCommand = 4;   // an instruction without number

struct TSingleInterruption {
  std::string Caption;
  int32_t MinNumber = 0;
  int32_t MaxNumber = 0;
  uint8_t Kind = 0;
  std::string Mnemonic;
};

// The interruption rows, then the catalogue entries the interruption blocks place.
struct TInterruptions {
  std::vector<TSingleInterruption> Items;
  TInstructions Fend;  // "FEND"
  TInstructions I;     // "I"
  TInstructions Iret;  // "IRET"
};

// The (mnemonic, min, max) ranges of the numbered rows, as the operand check wants them.
std::vector<TInterruptionRange> InterruptionRangesOf(const TInterruptions& interruptions);

struct TDeviceDescription {
  std::string ModelName;
  char RegisterLetter = 'D';
  std::string CommandRegister;    // "D376"
  std::string MicrostepRegister;  // "D366"
  TFieldDescrArray Fields;
  TDC_Records_Array ParameterReads;
  TRegistersArray StatusPolls;
  int32_t BreakpointCount = 0;
  uint32_t RegMapVersion = 0;
  uint32_t CmdListVersion = 0;
  uint32_t OperandListVersion = 0;
  std::string DirectControlTab;
  std::function<void()> InitInstructions;  // builds this model's instruction catalogue
  TInterruptions Interruptions;
  std::vector<TDeviceErrors> ErrorTables;
  std::array<uint8_t, 19> TransferFlags{};
  int32_t ProgramLines = 0;
  int32_t ProgramLimit2 = 0;
  int32_t MinSpeed = 0;
  int32_t MaxSpeed = 0;
  int32_t MaxRamp = 0;
  int32_t MinRamp = 0;
  int32_t MinCurrent = 0;
  int32_t MaxCurrent = 0;
  int32_t MaxPosition = 0;
  int32_t MinPosition = 0;
  std::string EndMnemonic;
  uint16_t EndCode = 0;  // code of EndMnemonic in the instruction catalogue
  // seam: turns a read program word image into instruction text (program reading fills it in)
  std::function<std::string(const std::vector<uint8_t>&)> InstructionTextBuilder;

  bool Empty() const { return Fields.empty(); }
};

// Identity reported by GET_HW: low 16 bits device ID, high 16 bits hardware version.
struct TDevice_HW {
  uint32_t HwKey = 0;
  uint32_t HwKey2 = 0;
  TDeviceDescription Description;
  std::string ModelName;
};

// Model names, in the order the descriptions are built.
inline constexpr std::string_view kModelLira2 = "KVDX-Lira ver.2";
inline constexpr std::string_view kModelLira3 = "KVDX-Lira ver.3";
inline constexpr std::string_view kModelTarn = "KVDX-Tarn";
inline constexpr std::string_view kModelObel = "KVDX-Obel";

// All four descriptions, built once on first use, in build order.
const std::vector<TDeviceDescription>& DeviceDescriptions();
// The eight GET_HW rows with their descriptions.
const std::vector<TDevice_HW>& DeviceHwTable();
// Description of a model by name; nullptr when unknown.
const TDeviceDescription* FindDescriptionByModel(std::string_view modelName);
// Row of the GET_HW table for a key; nullptr when unknown.
const TDevice_HW* FindDeviceByHw(uint32_t hwKey);

// The shared pieces every model carries.
const std::vector<TDeviceErrors>& StandardErrorTables();
const TInterruptions& StandardInterruptions();

// Current model. Empty until a model is applied; every lookup by name fails then.
std::shared_ptr<const TDeviceDescription> CurrentDevice();
void SetCurrentDevice(const TDeviceDescription& description);
void ClearCurrentDevice();

// The row-0 contents returned by failed row lookups (ParamIndex 0, Caption "EMPTY").
const TFieldDescr& EmptyFieldDescr();

// First row whose command name equals name (exact); the empty row when none.
TFieldDescr FindCommand(std::string_view name, const TDeviceDescription& description);
TFieldDescr FindCommand(std::string_view name);
// Row position of the first row with that name; 0 when none.
int IndexOfCommand(const TDeviceDescription& description, std::string_view name);
// First row whose Caption equals caption; the empty row when none.
TFieldDescr FindByCaption(std::string_view caption, const TDeviceDescription& description);
TFieldDescr FindByCaption(std::string_view caption);
// First row for which "D" + DRegister equals text ("D357"); the empty row when none.
// "D0" matches the empty row itself, so callers check Found().
TFieldDescr FindByDRegister(std::string_view text, const TDeviceDescription& description);
TFieldDescr FindByDRegister(std::string_view text);
// The command of the named row (Valid 1); an empty descriptor (Valid 0, function 0) when none.
TDC_Record LookupCommand(std::string_view name, const TDeviceDescription& description);
TDC_Record LookupCommand(std::string_view name);

// One request for a named command. Data carries value encoded for the function code unless noData:
// 5 → {0, low byte}; 6 → {high, low}; 16 → two bytes per register, low 16-bit word first.
// Returns false (and leaves out untouched) for a name the model does not know.
bool BuildRequest(const TDeviceDescription& description, std::string_view name, int32_t value,
                  bool counted, uint8_t expectedValue, bool repeatUntilMatch, bool verify,
                  bool noData, TRWmbrReg& out);
bool BuildRequest(std::string_view name, int32_t value, bool counted, uint8_t expectedValue,
                  bool repeatUntilMatch, bool verify, bool noData, TRWmbrReg& out);
// Request for a table command record as it stands (its own address, count and value).
TRWmbrReg RequestFromRecord(const TDC_Record& record, bool counted);

// Text of an error code of a group; "undefined" when the group has no such code.
std::string ErrorText(int group, uint32_t code, const TDeviceDescription& description);
std::string ErrorText(int group, uint32_t code);

}  // namespace ferrolad
