// Entry points of the sub-commands; each lives in its own cli_<name>.cpp.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ferrolad::cli {

using Args = std::vector<std::string>;

int CmdCheck(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace ferrolad::cli
