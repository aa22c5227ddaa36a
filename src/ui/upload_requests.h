// The request list of a program upload: a fixed header, then five requests per instruction line.
#pragma once

#include <string>
#include <vector>

#include "core/rw_request.h"

namespace ferrolad {

inline constexpr int kHighestUploadLine = 59753;

struct TUploadBuild {
  TRegistersArray Requests;
  std::string Error;                     // message shown instead of sending; empty on success
  int WrongLine = -1;                    // editor line of a wrong instruction
  std::vector<std::string> MarkedLines;  // the lines with that line's mark put in front
};

// Nothing is built for an empty program (no lines at all).
TUploadBuild BuildUploadRequests(const std::vector<std::string>& lines, bool serviceProgram);

}  // namespace ferrolad
