#include "device/identification.h"

namespace ferrolad {

namespace {

TDC_Record Read(const char* name, uint16_t address, uint8_t count) {
  TDC_Record r;
  r.FunctionCode = 4;
  r.Address = address;
  r.RegisterCount = count;
  r.Valid = 1;
  r.Name = name;
  return r;
}

std::string LowHigh(uint32_t value) {
  return std::to_string(value & 0xFFFF) + "." + std::to_string(value >> 16);
}

}  // namespace

const char* const kOutdatedFirmwareMessage =
    "The controller has an outdated software version. Please update the firmware to the latest one. "
    "The firmware update can be done online using the utility \"KVDX updater\".";

TDC_Records_Array VersionInfoRequests() {
  return {Read("GET_BOOTLOADER", kAddressBootloader, 2), Read("GET_FW", kAddressFw, 2),
          Read("GET_HW", kAddressHw, 2)};
}

TDC_Records_Array MapsInfoRequests() {
  return {Read("GET_CMD_LIST_VERSION", kAddressCmdListVersion, 1),
          Read("GET_OPERAND_LIST_VERSION", kAddressOperandListVersion, 1),
          Read("GET_REGMAP_VERSION", kAddressRegMapVersion, 2)};
}

bool FirmwareOutdated(uint32_t firmware) {
  return (firmware & 0xFFFF) == 1 && (firmware >> 16) < 10;
}

std::string VersionLabel(uint32_t hw, uint32_t fw, uint32_t bootloader) {
  return "HW" + LowHigh(hw) + "  FW" + LowHigh(fw) + "   BL" + LowHigh(bootloader);
}

THwIdentification IdentifyHardware(uint32_t hwValue) {
  THwIdentification result;
  if (const TDevice_HW* row = FindDeviceByHw(hwValue)) {
    result.Verdict = THwVerdict::Known;
    result.Row = row;
  } else if (hwValue != 0) {
    result.Verdict = THwVerdict::Unknown;
    result.Message = "Unknown device. HW version " + std::to_string(hwValue) +
                     " . DEV_ID=" + std::to_string(hwValue & 0xFFFF) +
                     "; HW_VERSION=" + std::to_string(hwValue >> 16);
  }
  return result;
}

TIdentificationAction HandleIdentificationAnswer(TIdentificationState& state, uint16_t address,
                                                 uint32_t value) {
  TIdentificationAction action;
  auto refresh = [&] {
    state.lblControllerVersion = VersionLabel(state.Hw, state.Fw, state.Bootloader);
    action.LabelChanged = true;
  };
  switch (address) {
    case kAddressBootloader:
      if (value != state.Bootloader) {
        state.Bootloader = value;
        refresh();
      }
      break;
    case kAddressFw:
      if (value != state.Fw) {
        state.Fw = value;
        if (FirmwareOutdated(value)) {
          action.Message = kOutdatedFirmwareMessage;
          action.Disconnect = true;
        } else {
          refresh();
        }
      }
      break;
    case kAddressHw: {
      if (value != state.Hw) {
        state.Hw = value;
        refresh();
      }
      const THwIdentification id = IdentifyHardware(value);
      if (id.Verdict == THwVerdict::Known) {
        action.Apply = &id.Row->Description;
      } else if (id.Verdict == THwVerdict::Unknown) {
        action.Message = id.Message;
        action.Disconnect = true;
      }
      break;
    }
    // Map versions are kept; a difference from the model's expectation changes nothing.
    case kAddressRegMapVersion: state.RegMapVersion = value; break;
    case kAddressCmdListVersion: state.CmdListVersion = value; break;
    case kAddressOperandListVersion: state.OperandListVersion = value; break;
    default: break;
  }
  return action;
}

}  // namespace ferrolad
