// What applying a controller model changes in the main window, as a plain view model.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_description.h"

namespace ferrolad {

struct TUpDownView {
  int32_t Min = 0;
  int32_t Max = 0;
  int32_t Position = 0;
};

struct TComboView {
  std::vector<std::string> Items;
  int ItemIndex = -1;
  std::string Text;  // the selected item's text, "" when nothing is selected
};

inline constexpr int kBreakpointControls = 4;  // the window has four breakpoint rows

struct TDeviceViewModel {
  std::string VisibleDirectControlTab;  // the one direct-control page shown; the others are hidden
  std::string DirectControlTabCaption;
  TUpDownView UpDownSettingsWORK_CURRENT;
  std::string EditSettingsWORK_CURRENT;
  TUpDownView UpDownSettingsHOLD_CURRENT;
  std::string EditSettingsHOLD_CURRENT;
  bool shpStateInternalVoltageVisible = false;
  bool shpStateSupplyVoltageVisible = false;
  // Parameter pickers of the ladder motor-control blocks.
  TComboView cbxParameterStgsSpeed;
  TComboView cbxParameterStgsMovement;
  TComboView cbxParameterStgsMotorControl;
  int32_t BreakpointCount = 0;  // what the debugger is told
  std::array<bool, kBreakpointControls> BreakpointControlsEnabled{};
  bool ReadingSupported = false;
};

// Program reading needs firmware with a non-zero low word and a value above 0x7FFFF.
bool ReadingSupportedFor(uint32_t firmware);

// Captions of the writing rows of a settings group, in table order.
std::vector<std::string> ParameterCaptions(const TDeviceDescription& description,
                                           const std::string& groupName);

// Makes description the current model (and installs its interruption ranges), then updates vm.
// lastFirmware is the value last read with GET_FW (0 when none).
void ApplyDeviceDescription(const TDeviceDescription& description, uint32_t lastFirmware,
                            TDeviceViewModel& vm);

// Items of the model box, in build order.
std::vector<std::string> ModelBoxItems();
// The model box (cbxDeviceModelChange): applies the description named by the selected text;
// false (nothing changes) for a text that names no model.
bool cbxDeviceModelChange(std::string_view selectedText, uint32_t lastFirmware, TDeviceViewModel& vm);

}  // namespace ferrolad
