#include "device/device_description.h"

#include <mutex>

#include "core/read_record.h"
#include "device/device_tables.h"

namespace ferrolad {

std::string GroupNameOf(int32_t flags) {
  switch (flags & 0xFF) {
    case GroupSpeed: return "Speed settings";
    case GroupMovement: return "Movement settings";
    case GroupInterruptions: return "Interruptions";
    case GroupError: return "Error settings";
    case GroupMotorControl: return "Motor control parameters";
    case GroupInfo: return "Info settings";
    case GroupOther: return "Other settings";
    default: return "";
  }
}

namespace device_tables {

TFieldDescr Row(int32_t paramIndex, int32_t dRegister, int32_t bitWidth, uint8_t functionCode,
                uint16_t address, uint8_t count, int32_t defaultValue, const char* name,
                const char* caption, const char* description, int32_t minValue, int32_t maxValue,
                int32_t flags, const char* trueText, const char* falseText) {
  TFieldDescr r;
  r.ParamIndex = paramIndex;
  r.DRegister = dRegister;
  r.BitWidth = bitWidth;
  r.Command.FunctionCode = functionCode;
  r.Command.Address = address;
  r.Command.RegisterCount = count;
  r.Command.Value = defaultValue;
  r.Command.Valid = 1;
  r.Command.Name = name;
  r.Caption = caption;
  r.Description = description;
  r.MinValue = minValue;
  r.MaxValue = maxValue;
  r.Flags = flags;
  r.TrueText = trueText;
  r.FalseText = falseText;
  return r;
}

void SetCommonModelValues(TDeviceDescription& d) {
  d.RegisterLetter = 'D';
  d.CommandRegister = "D376";
  d.MicrostepRegister = "D366";
  d.BreakpointCount = 4;
  d.DirectControlTab = "TabSheetKVDX_Modbus_DirectControl";
  d.Interruptions = StandardInterruptions();
  d.ErrorTables = StandardErrorTables();
  d.TransferFlags = {1, 0, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 15, 17, 0};
  d.ProgramLines = 28912;
  d.ProgramLimit2 = 1926;
  d.MinSpeed = 8;
  d.MaxSpeed = 120000;
  d.MaxRamp = 65535;
  d.MinRamp = 1;
  d.MaxPosition = 2147483647;
  d.MinPosition = -2147483647 - 1;
  d.EndMnemonic = "END";
  d.EndCode = FindInstructionByName(d.EndMnemonic).Code;
  d.InitInstructions = InitInstructionCatalogue;
  // Every current model stores its program in the same read-back record; "" for a record it cannot decode.
  d.InstructionTextBuilder = [endCode = d.EndCode](const std::vector<uint8_t>& record) {
    TDebugInstruction instruction;
    bool end = false;
    return DecodeInstruction(record, endCode, instruction, end) ? instruction.Text : std::string();
  };
}

void BuildParameterReads(TDeviceDescription& d, const std::vector<std::string_view>& names) {
  d.ParameterReads.clear();
  for (std::string_view name : names) d.ParameterReads.push_back(LookupCommand(name, d));
  const TDC_Record line = LookupCommand("GET_BREAKPOINT_LINE", d);
  const TDC_Record active = LookupCommand("GET_BREAKPOINT_ACTIVE", d);
  if (line.Valid == 0 || active.Valid == 0) return;
  for (int i = 0; i < d.BreakpointCount; ++i) {
    TDC_Record r = line;
    r.Address = static_cast<uint16_t>(line.Address + i);
    r.RegisterCount = 1;
    d.ParameterReads.push_back(r);
  }
  TDC_Record all = active;
  all.RegisterCount = static_cast<uint8_t>(d.BreakpointCount);
  d.ParameterReads.push_back(all);
}

void AppendStatusPolls(TDeviceDescription& d, const std::vector<std::string_view>& names) {
  for (std::string_view name : names) {
    TRWmbrReg request;
    if (!BuildRequest(d, name, 0, false, 0, false, false, true, request)) return;
    d.StatusPolls.push_back(request);
  }
}

void BuildStatusPolls(TDeviceDescription& d, const std::vector<std::string_view>& names) {
  d.StatusPolls.clear();
  AppendStatusPolls(d, names);
}

void SetRange(TDeviceDescription& d, const std::vector<std::string_view>& names, int32_t minValue,
              int32_t maxValue) {
  for (std::string_view name : names) {
    const int index = IndexOfCommand(d, name);
    if (index == 0) continue;
    d.Fields[index].MinValue = minValue;
    d.Fields[index].MaxValue = maxValue;
  }
}

void FinishDescription(TDeviceDescription& d) {
  for (TFieldDescr& row : d.Fields) row.GroupName = GroupNameOf(row.Flags);
  const int index = IndexOfCommand(d, "SET_RUN_CUR");
  d.MinCurrent = index != 0 ? d.Fields[index].MinValue : 0;
  d.MaxCurrent = index != 0 ? d.Fields[index].MaxValue : 0;
}

}  // namespace device_tables

const std::vector<TDeviceDescription>& DeviceDescriptions() {
  static const std::vector<TDeviceDescription> descriptions = [] {
    using namespace device_tables;
    std::vector<TDeviceDescription> all;
    all.push_back(BuildLira2Description());
    all.push_back(BuildLira3Description(all[0]));
    all.push_back(BuildTarnDescription(all[1]));
    all.push_back(BuildObelDescription(all[2]));
    return all;
  }();
  return descriptions;
}

const TDeviceDescription* FindDescriptionByModel(std::string_view modelName) {
  for (const TDeviceDescription& d : DeviceDescriptions())
    if (d.ModelName == modelName) return &d;
  return nullptr;
}

const std::vector<TDevice_HW>& DeviceHwTable() {
  static const std::vector<TDevice_HW> table = [] {
    const std::pair<uint32_t, std::string_view> keys[] = {
        {0x20001, kModelLira2}, {0x30001, kModelLira2}, {0x00002, kModelLira3},
        {0x10002, kModelLira3}, {0x00003, kModelTarn},  {0x10003, kModelTarn},
        {0x00004, kModelObel},  {0x10004, kModelObel}};
    std::vector<TDevice_HW> rows;
    for (const auto& [key, model] : keys) {
      TDevice_HW row;
      row.HwKey = key;
      row.HwKey2 = key;
      row.ModelName = std::string(model);
      if (const TDeviceDescription* d = FindDescriptionByModel(model)) row.Description = *d;
      rows.push_back(std::move(row));
    }
    return rows;
  }();
  return table;
}

const TDevice_HW* FindDeviceByHw(uint32_t hwKey) {
  for (const TDevice_HW& row : DeviceHwTable())
    if (row.HwKey == hwKey) return &row;
  return nullptr;
}

namespace {

std::mutex g_currentLock;
std::shared_ptr<const TDeviceDescription> g_current = std::make_shared<TDeviceDescription>();

}  // namespace

std::shared_ptr<const TDeviceDescription> CurrentDevice() {
  std::lock_guard lock(g_currentLock);
  return g_current;
}

void SetCurrentDevice(const TDeviceDescription& description) {
  auto copy = std::make_shared<const TDeviceDescription>(description);
  std::lock_guard lock(g_currentLock);
  g_current = std::move(copy);
}

void ClearCurrentDevice() {
  auto empty = std::make_shared<const TDeviceDescription>();
  std::lock_guard lock(g_currentLock);
  g_current = std::move(empty);
}

const TFieldDescr& EmptyFieldDescr() {
  static const TFieldDescr empty = [] {
    TFieldDescr r = device_tables::Row(0, 0, 0, 0, 0, 0, 0, "", "EMPTY", "", 0, 0, GroupOther, "1", "0");
    r.GroupName = GroupNameOf(r.Flags);
    return r;
  }();
  return empty;
}

int IndexOfCommand(const TDeviceDescription& description, std::string_view name) {
  // Row 0 is the empty row: it never counts as a match, so an empty name is not found either.
  for (size_t i = 1; i < description.Fields.size(); ++i)
    if (description.Fields[i].Command.Name == name) return static_cast<int>(i);
  return 0;
}

TFieldDescr FindCommand(std::string_view name, const TDeviceDescription& description) {
  const int index = IndexOfCommand(description, name);
  return index != 0 ? description.Fields[index] : EmptyFieldDescr();
}

TFieldDescr FindCommand(std::string_view name) { return FindCommand(name, *CurrentDevice()); }

TFieldDescr FindByCaption(std::string_view caption, const TDeviceDescription& description) {
  for (size_t i = 1; i < description.Fields.size(); ++i)
    if (description.Fields[i].Caption == caption) return description.Fields[i];
  return EmptyFieldDescr();
}

TFieldDescr FindByCaption(std::string_view caption) {
  return FindByCaption(caption, *CurrentDevice());
}

namespace {

// n of a text "Dn" written exactly as "D" + n would print it (no sign, no leading zeros);
// -1 for anything else.
int64_t CanonicalDNumber(std::string_view text) {
  if (text.size() < 2 || text.size() > 11 || text[0] != 'D') return -1;
  const std::string_view digits = text.substr(1);
  if (digits.size() > 1 && digits[0] == '0') return -1;
  int64_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

TFieldDescr FindByDRegister(std::string_view text, const TDeviceDescription& description) {
  // Runs for every operand the ladder view shows, so compare numbers instead of building texts.
  const int64_t n = CanonicalDNumber(text);
  if (n < 0) return EmptyFieldDescr();
  for (const TFieldDescr& row : description.Fields)
    if (row.DRegister == n) return row;
  return EmptyFieldDescr();
}

TFieldDescr FindByDRegister(std::string_view text) {
  return FindByDRegister(text, *CurrentDevice());
}

TDC_Record LookupCommand(std::string_view name, const TDeviceDescription& description) {
  const int index = IndexOfCommand(description, name);
  if (index == 0) return TDC_Record{};
  TDC_Record r = description.Fields[index].Command;
  r.Valid = 1;
  return r;
}

TDC_Record LookupCommand(std::string_view name) { return LookupCommand(name, *CurrentDevice()); }

namespace {

void PushWord(TBytesArray& data, uint16_t word) {
  data.push_back(static_cast<uint8_t>(word >> 8));
  data.push_back(static_cast<uint8_t>(word & 0xFF));
}

// Data bytes of a write: registers high byte first, a 32-bit value low word first.
TBytesArray EncodeValue(uint8_t functionCode, uint16_t count, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  TBytesArray data;
  switch (functionCode) {
    case 5:
      data = {0, static_cast<uint8_t>(v & 0xFF)};
      break;
    case 6:
      PushWord(data, static_cast<uint16_t>(v & 0xFFFF));
      break;
    case 15:
      // One bit per coil, first coil in bit 0 of the first byte.
      for (uint16_t i = 0; i < (count + 7) / 8; ++i)
        data.push_back(i < 4 ? static_cast<uint8_t>(v >> (8 * i)) : 0);
      break;
    case 16:
      for (uint16_t i = 0; i < count; ++i) {
        if (i == 0) PushWord(data, static_cast<uint16_t>(v & 0xFFFF));
        else if (i == 1) PushWord(data, static_cast<uint16_t>(v >> 16));
        else PushWord(data, 0);
      }
      break;
    default:
      break;  // reads carry no data
  }
  return data;
}

}  // namespace

bool BuildRequest(const TDeviceDescription& description, std::string_view name, int32_t value,
                  bool counted, uint8_t expectedValue, bool repeatUntilMatch, bool verify,
                  bool noData, TRWmbrReg& out) {
  const TDC_Record command = LookupCommand(name, description);
  if (command.Valid == 0) return false;
  TRWmbrReg r;
  r.Address = command.Address;
  r.Count = command.RegisterCount;
  r.FunctionCode = command.FunctionCode;
  r.Name = command.Name;
  r.Counted = counted ? 1 : 0;
  r.ExpectedValue = expectedValue;
  r.RepeatUntilMatch = repeatUntilMatch ? 1 : 0;
  r.Verify = verify ? 1 : 0;
  if (!noData) r.Data = EncodeValue(command.FunctionCode, command.RegisterCount, value);
  out = std::move(r);
  return true;
}

bool BuildRequest(std::string_view name, int32_t value, bool counted, uint8_t expectedValue,
                  bool repeatUntilMatch, bool verify, bool noData, TRWmbrReg& out) {
  return BuildRequest(*CurrentDevice(), name, value, counted, expectedValue, repeatUntilMatch,
                      verify, noData, out);
}

TRWmbrReg RequestFromRecord(const TDC_Record& record, bool counted) {
  TRWmbrReg r;
  r.Address = record.Address;
  r.Count = record.RegisterCount;
  r.FunctionCode = record.FunctionCode;
  r.Name = record.Name;
  r.Counted = counted ? 1 : 0;
  r.Data = EncodeValue(record.FunctionCode, record.RegisterCount, record.Value);
  return r;
}

std::string ErrorText(int group, uint32_t code, const TDeviceDescription& description) {
  for (const TDeviceErrors& table : description.ErrorTables) {
    if (table.Group != group) continue;
    for (const TErrorCode& e : table.Codes)
      if (e.Code == code) return e.Text;
  }
  return "undefined";
}

std::string ErrorText(int group, uint32_t code) {
  // The tables are the same on every model, so texts are known before a model is chosen.
  auto current = CurrentDevice();
  if (!current->ErrorTables.empty()) return ErrorText(group, code, *current);
  for (const TDeviceErrors& table : StandardErrorTables()) {
    if (table.Group != group) continue;
    for (const TErrorCode& e : table.Codes)
      if (e.Code == code) return e.Text;
  }
  return "undefined";
}

}  // namespace ferrolad
