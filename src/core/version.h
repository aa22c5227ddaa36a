#pragma once

namespace ferrolad {
// Program name and version as shown in the window caption and by the command-line tool.
const char* ProgramName();
const char* ProgramVersion();
}  // namespace ferrolad
