// The pure parts of identifying a connected controller: the fixed request lists of the chain, the
// version checks and the texts shown. The chain itself runs on the request engine.
#pragma once

#include <cstdint>
#include <string>

#include "device/device_description.h"

namespace ferrolad {

// GET_BOOTLOADER, GET_FW, GET_HW: fixed records, since no model is known yet when they are sent.
TDC_Records_Array VersionInfoRequests();
// GET_CMD_LIST_VERSION, GET_OPERAND_LIST_VERSION, GET_REGMAP_VERSION.
TDC_Records_Array MapsInfoRequests();

inline constexpr uint16_t kAddressHw = 0x8001;
inline constexpr uint16_t kAddressFw = 0x8003;
inline constexpr uint16_t kAddressBootloader = 0x8005;
inline constexpr uint16_t kAddressRegMapVersion = 0x8007;
inline constexpr uint16_t kAddressCmdListVersion = 0x8009;
inline constexpr uint16_t kAddressOperandListVersion = 0x800A;

// Firmware 1.0 .. 1.9 (low word 1, high word below 10) is refused.
bool FirmwareOutdated(uint32_t firmware);
extern const char* const kOutdatedFirmwareMessage;

// "HW<lo>.<hi>  FW<lo>.<hi>   BL<lo>.<hi>"
std::string VersionLabel(uint32_t hw, uint32_t fw, uint32_t bootloader);

enum class THwVerdict { Ignored, Known, Unknown };

struct THwIdentification {
  THwVerdict Verdict = THwVerdict::Ignored;
  const TDevice_HW* Row = nullptr;  // set for Known
  std::string Message;              // set for Unknown
};

// What a GET_HW value means: 0 is ignored, a table key selects its model, anything else is refused.
THwIdentification IdentifyHardware(uint32_t hwValue);

// Versions read by the chain; cleared on connect and disconnect so that every connect identifies anew.
struct TIdentificationState {
  uint32_t Hw = 0;
  uint32_t Fw = 0;
  uint32_t Bootloader = 0;
  uint32_t RegMapVersion = 0;
  uint32_t CmdListVersion = 0;
  uint32_t OperandListVersion = 0;
  std::string lblControllerVersion;

  void Reset() { *this = TIdentificationState{}; }
};

// What the window does after an identification answer.
struct TIdentificationAction {
  bool LabelChanged = false;                 // lblControllerVersion was refreshed
  const TDeviceDescription* Apply = nullptr;  // model to apply
  std::string Message;                       // shown before disconnecting
  bool Disconnect = false;
};

// Handles one answer of the chain (input registers 0x8001..0x800A, value decoded low word first).
TIdentificationAction HandleIdentificationAnswer(TIdentificationState& state, uint16_t address,
                                                 uint32_t value);

}  // namespace ferrolad
