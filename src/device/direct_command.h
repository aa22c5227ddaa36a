// A direct command to the controller: write records, guarded by a RUN/STOP check and optionally read
// back, sent as one user-command transfer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/device_description.h"

namespace ferrolad {

struct TDirectCommand {
  int Variant = 0;           // 1: list of records, 2: one record, 3: one record with Value
  bool Verify = false;       // compare the RUN/STOP check with the expected state
  bool RequireStop = false;  // the expected state is STOP (else RUN)
  bool ReadBack = false;     // read every written record back
  TDC_Records_Array Commands;
  int32_t Value = 0;  // variant 3: the value written instead of the record's own
};

// "SendDirectCommand - 1", "- 2" or "- 3".
std::string DirectCommandName(const TDirectCommand& command);

// The request list: the RUN/STOP check, then each write (and its read-back), built by the engine's
// builder from the table records; variant 3 writes Value instead of each record's own. Writes must
// use function 5, 6, 15 or 16 with one or two registers; any other record, or no record at all,
// means nothing is sent (nullopt).
std::optional<TRegistersArray> BuildDirectCommandList(const TDirectCommand& command);

}  // namespace ferrolad
