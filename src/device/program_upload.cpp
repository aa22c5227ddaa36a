#include "device/program_upload.h"

namespace ferrolad {

TUploadStart UploadProgram(TModBus& modbus, const std::vector<std::string>& lines, TProgramType type,
                           uint8_t slaveId) {
  TUploadStart start;
  start.Build = BuildUploadRequests(lines, type);
  if (!start.Build.Built()) return start;
  start.Started = modbus.StartTransfer(true, slaveId, true, kUploadTransferName, start.Build.Requests);
  return start;
}

std::string UploadFailureMessage(const TTransferOutcome& outcome, const TRegistersArray& requests,
                                 int32_t answeredValue) {
  if (!outcome.Failed || outcome.Line < 0 || static_cast<size_t>(outcome.Line) >= requests.size()) return "";
  // Only a verified read ends a transfer with this message; its answer is the last value read.
  if (outcome.Message.rfind("Data transfer not finished", 0) != 0) return "";
  const TRWmbrReg& failed = requests[static_cast<size_t>(outcome.Line)];
  if (FailedCheckText(failed.FunctionCode, failed.Address, answeredValue) == kRunModeCheckText) return kRunModeMessage;
  return "";
}

}  // namespace ferrolad
