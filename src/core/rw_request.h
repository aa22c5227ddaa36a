// One Modbus request of a transfer, and the request list that is the unit of every transfer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferrolad {

using TBytesArray = std::vector<uint8_t>;

struct TRWmbrReg {
  std::string Caption;          // free text, unused by the engine
  uint16_t Address = 0;         // Modbus start address
  TBytesArray Data;             // bytes to write (register values high byte first); empty for reads
  uint16_t Count = 0;           // number of registers or bits
  uint8_t Verify = 0;           // after a read, compare the decoded value with ExpectedValue
  uint8_t Counted = 0;          // adds to "Commands transferred" once sent
  std::string Name;             // command name from the device tables, may be empty
  uint8_t FunctionCode = 0;     // 0: the request is skipped
  uint8_t ExpectedValue = 0;    // value a verified read must return
  uint8_t RepeatUntilMatch = 0; // on mismatch, read again instead of failing
};

using TRegistersArray = std::vector<TRWmbrReg>;

}  // namespace ferrolad
