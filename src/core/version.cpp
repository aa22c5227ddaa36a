#include "core/version.h"

namespace ferrolad {
const char* ProgramName() { return "Ferrolad"; }
const char* ProgramVersion() { return "0.1.0"; }
}  // namespace ferrolad
