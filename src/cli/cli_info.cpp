// ferrolad-cli info: identifies the controller and prints its model, versions and parameters.
#include <cstdio>
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/cli_device.h"

namespace ferrolad::cli {

namespace {

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

}  // namespace

int CmdInfo(const Args& argsIn, std::ostream& out, std::ostream& err) {
  Args args = argsIn;
  int status = 0;
  auto d = DeviceSession::Open(args, "info", err, status);
  if (!d) return status;
  if (!args.empty()) {
    err << "ferrolad-cli info: unexpected argument \"" << args[0] << "\"\n";
    return 2;
  }
  const bool ok = d->Identify(err);
  if (d->Options.Verbose) d->Session->PrintLog(out);
  if (!ok) return 1;
  const TIdentificationChain& id = d->Link->Ident;
  const auto model = CurrentDevice();
  out << "Model: " << id.ModelName << "\n";
  out << "Versions: " << id.State.lblControllerVersion << "\n";
  out << "Map versions: register map " << Hex(id.State.RegMapVersion) << ", command list " << id.State.CmdListVersion
      << ", operand list " << id.State.OperandListVersion << "\n";
  out << "Program reading: " << (id.Device.ReadingSupported ? "supported" : "not supported") << "\n";
  out << "Parameters:\n";
  for (const TDC_Record& r : model->ParameterReads) {
    const auto it = d->Answers.find({r.FunctionCode, r.Address});
    out << "  " << r.Name << " @" << Hex(r.Address) << " = ";
    if (it == d->Answers.end()) {
      out << "(no answer)\n";
    } else {
      out << it->second << "\n";
    }
  }
  return 0;
}

}  // namespace ferrolad::cli
