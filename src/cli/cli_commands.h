// Entry points of the sub-commands; each lives in its own cli_<name>.cpp.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ferrolad::cli {

using Args = std::vector<std::string>;

int CmdCheck(const Args& args, std::ostream& out, std::ostream& err);
int CmdCleanup(const Args& args, std::ostream& out, std::ostream& err);
int CmdCompile(const Args& args, std::ostream& out, std::ostream& err);
int CmdFrame(const Args& args, std::ostream& out, std::ostream& err);
int CmdLrc(const Args& args, std::ostream& out, std::ostream& err);
int CmdLadder(const Args& args, std::ostream& out, std::ostream& err);
int CmdSim(const Args& args, std::ostream& out, std::ostream& err);
int CmdRead(const Args& args, std::ostream& out, std::ostream& err);
int CmdWrite(const Args& args, std::ostream& out, std::ostream& err);
int CmdInfo(const Args& args, std::ostream& out, std::ostream& err);
int CmdStatus(const Args& args, std::ostream& out, std::ostream& err);
int CmdUpload(const Args& args, std::ostream& out, std::ostream& err);
int CmdDownload(const Args& args, std::ostream& out, std::ostream& err);
int CmdErrors(const Args& args, std::ostream& out, std::ostream& err);
int CmdClearErrors(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace ferrolad::cli
