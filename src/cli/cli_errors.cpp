// ferrolad-cli errors / clear-errors: the controller's error indicators, and clearing them.
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/cli_device.h"
#include "device/direct_command.h"

namespace ferrolad::cli {

void PrintErrorIndicators(const TStatusModel& status, std::ostream& out);  // cli_status.cpp

namespace {

// Reads the error bits, codes and line, and prints them; the exit status.
int ReadAndPrint(DeviceSession& d, std::ostream& out, std::ostream& err) {
  TRegistersArray list;
  for (const char* name : {"GET_ERROR_CODES", "GET_USER_PROG_ERROR_LINE", "GET_ERRORS"}) {
    TRWmbrReg r;
    if (!BuildRequest(name, 0, true, 0, false, false, true, r)) {
      err << "the model has no command " << name << "\n";
      return 1;
    }
    list.push_back(r);
  }
  const TTransferOutcome o = d.Run("SendReadCommand", list);
  d.Finish(out, err);
  if (o.Failed || o.Terminated) {
    err << d.Session->FailureText(o) << "\n";
    return 1;
  }
  PrintErrorIndicators(d.Link->Status, out);
  return 0;
}

int Errors(const Args& argsIn, std::ostream& out, std::ostream& err, bool clear) {
  Args args = argsIn;
  const char* command = clear ? "clear-errors" : "errors";
  int status = 0;
  auto d = DeviceSession::Open(args, command, err, status);
  if (!d) return status;
  if (!args.empty()) {
    err << "ferrolad-cli " << command << ": unexpected argument \"" << args[0] << "\"\n";
    return 2;
  }
  if (!d->Identify(err)) {
    if (d->Options.Verbose) d->Session->PrintLog(out);
    return 1;
  }
  if (clear) {
    const TErrorAction action = d->Link->Status.btnClearErrorsClick(d->Session->Modbus().PortOpen());
    const auto list = action.Command ? BuildDirectCommandList(*action.Command) : std::nullopt;
    if (!list) {
      err << (action.Message.empty() ? "the model has no command CLR_ERRORS" : action.Message) << "\n";
      return 1;
    }
    const TTransferOutcome o = d->Run(DirectCommandName(*action.Command), *list);
    if (o.Failed || o.Terminated) {
      d->Finish(out, err);
      if (d->Options.Verbose) d->Session->PrintLog(out);
      err << d->Session->FailureText(o) << "\n";
      return 1;
    }
  }
  const int result = ReadAndPrint(*d, out, err);
  if (d->Options.Verbose) d->Session->PrintLog(out);
  return result;
}

}  // namespace

int CmdErrors(const Args& args, std::ostream& out, std::ostream& err) { return Errors(args, out, err, false); }
int CmdClearErrors(const Args& args, std::ostream& out, std::ostream& err) { return Errors(args, out, err, true); }

}  // namespace ferrolad::cli
