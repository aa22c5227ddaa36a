// The request list of a program upload: a fixed dialogue header, then five requests per instruction
// line (line index, record, store, wait for the ROM, status check).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/rw_request.h"

namespace ferrolad {

enum class TProgramType : uint8_t { Main = 0, Service = 1 };

// Highest line index the controller's line register takes in an upload.
inline constexpr int kMaxUploadLineIndex = 59753;
inline constexpr size_t kUploadHeaderRequests = 7;
inline constexpr size_t kUploadRequestsPerLine = 5;

// Controller program interface.
inline constexpr uint16_t kRomStateInput = 0xF000;     // 1 while program memory is busy
inline constexpr uint16_t kRunStopInput = 0xF001;      // 1 RUN, 0 STOP
inline constexpr uint16_t kUploadStatusInput = 0xE000; // must stay 0 during an upload
inline constexpr uint16_t kStoreLineCoil = 0xF000;
inline constexpr uint16_t kBeginWriteCoil = 0xF003;
inline constexpr uint16_t kReadWriteCoil = 0xF005;     // 1 write, 0 read
inline constexpr uint16_t kProgramTypeCoil = 0xF006;   // 0 main, 1 service
inline constexpr uint16_t kLineIndexRegister = 0xF100;
inline constexpr uint16_t kLineRecordRegister = 0xF300;

struct TUploadRequests {
  TRegistersArray Requests;  // empty when nothing may be sent
  std::string Error;         // message shown instead of sending; empty on success
  int WrongLine = -1;        // 0-based editor line of a wrong instruction
  std::string MarkedLine;    // that line with its wrong-line mark in front
  int InstructionLines = 0;  // instruction lines in the list
  bool Built() const { return Error.empty() && !Requests.empty(); }
};

// Nothing is built (no error either) for an editor without lines.
TUploadRequests BuildUploadRequests(const std::vector<std::string>& lines, TProgramType type);

// Marks the wrong line of a failed build in the editor lines; false when there is none.
bool MarkWrongLine(std::vector<std::string>& lines, const TUploadRequests& build);

// The text the window compares with "02#F001#1" when a transfer fails at a verified read:
// function code in two hex digits, "#", address in four hex digits, "#", the value in decimal.
std::string FailedCheckText(uint8_t functionCode, uint16_t address, int32_t value);
inline constexpr const char* kRunModeCheckText = "02#F001#1";
inline constexpr const char* kRunModeMessage = "Controller is in Run mode";

}  // namespace ferrolad
