// "Upload": the request list handed to the request engine as one user command, and what the window
// says when the controller refuses it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "comm/modbus.h"
#include "core/program_upload.h"

namespace ferrolad {

inline constexpr const char* kUploadTransferName = "btnSendToControllerILClick";

struct TUploadStart {
  TUploadRequests Build;  // the list, or why nothing was sent
  bool Started = false;   // the engine took the transfer
};

// Window thread. Builds the list from the editor lines and starts the transfer; a wrong line or a
// too long program sends nothing (Build.Error says why; the caller marks the line and shows it).
TUploadStart UploadProgram(TModBus& modbus, const std::vector<std::string>& lines, TProgramType type,
                           uint8_t slaveId);

// After the upload transfer ended: kRunModeMessage when it stopped at a verified read that the
// controller answered with RUN; "" otherwise. `answeredValue` is the value of the last read answer.
std::string UploadFailureMessage(const TTransferOutcome& outcome, const TRegistersArray& requests,
                                 int32_t answeredValue);

}  // namespace ferrolad
