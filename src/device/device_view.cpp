#include "device/device_view.h"

#include <algorithm>

namespace ferrolad {

bool ReadingSupportedFor(uint32_t firmware) {
  return (firmware & 0xFFFF) != 0 && firmware > 0x7FFFF;
}

std::vector<std::string> ParameterCaptions(const TDeviceDescription& description,
                                           const std::string& groupName) {
  std::vector<std::string> captions;
  for (const TFieldDescr& row : description.Fields)
    if (row.Found() && row.IsWrite() && row.GroupName == groupName) captions.push_back(row.Caption);
  return captions;
}

namespace {

void FillPicker(TComboView& combo, std::vector<std::string> items) {
  combo.Items = std::move(items);
  combo.ItemIndex = combo.Items.empty() ? -1 : 0;
  combo.Text = combo.Items.empty() ? "" : combo.Items.front();
}

void SetCurrentControl(const TDeviceDescription& d, const char* name, TUpDownView& upDown,
                       std::string& edit) {
  const TFieldDescr row = FindCommand(name, d);
  upDown.Min = row.MinValue;
  upDown.Max = row.MaxValue;
  upDown.Position = row.MaxValue;
  edit = std::to_string(row.MaxValue);
}

}  // namespace

void ApplyDeviceDescription(const TDeviceDescription& description, uint32_t lastFirmware,
                            TDeviceViewModel& vm) {
  SetCurrentDevice(description);
  // The operand check of I markers reads the ranges of the current model.
  SetInterruptionRanges(InterruptionRangesOf(description.Interruptions));
  const TDeviceDescription& d = description;

  vm.VisibleDirectControlTab = d.DirectControlTab;
  vm.DirectControlTabCaption = d.ModelName + " Direct Control";

  SetCurrentControl(d, "SET_RUN_CUR", vm.UpDownSettingsWORK_CURRENT, vm.EditSettingsWORK_CURRENT);
  SetCurrentControl(d, "SET_HOLD_CUR", vm.UpDownSettingsHOLD_CURRENT, vm.EditSettingsHOLD_CURRENT);

  vm.shpStateInternalVoltageVisible = IndexOfCommand(d, "GET_INTERNAL_VOLTAGE_STATE") != 0;
  vm.shpStateSupplyVoltageVisible = IndexOfCommand(d, "GET_SUPPLY_VOLTAGE_STATE") != 0;

  FillPicker(vm.cbxParameterStgsSpeed, ParameterCaptions(d, GroupNameOf(GroupSpeed)));
  FillPicker(vm.cbxParameterStgsMovement, ParameterCaptions(d, GroupNameOf(GroupMovement)));
  FillPicker(vm.cbxParameterStgsMotorControl, ParameterCaptions(d, GroupNameOf(GroupMotorControl)));

  vm.BreakpointCount = d.BreakpointCount;
  for (int i = 0; i < kBreakpointControls; ++i)
    vm.BreakpointControlsEnabled[i] = i < std::min(d.BreakpointCount, kBreakpointControls);

  vm.ReadingSupported = ReadingSupportedFor(lastFirmware);
}

std::vector<std::string> ModelBoxItems() {
  std::vector<std::string> names;
  for (const TDeviceDescription& d : DeviceDescriptions()) names.push_back(d.ModelName);
  return names;
}

bool cbxDeviceModelChange(std::string_view selectedText, uint32_t lastFirmware, TDeviceViewModel& vm) {
  const TDeviceDescription* d = FindDescriptionByModel(selectedText);
  if (d == nullptr) return false;
  ApplyDeviceDescription(*d, lastFirmware, vm);
  return true;
}

}  // namespace ferrolad
