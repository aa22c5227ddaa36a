// ferrolad-cli upload: writes an instruction-list file into the controller.
#include <unistd.h>

#include <iostream>
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/cli_device.h"
#include "core/il_text.h"
#include "device/program_upload.h"

namespace ferrolad::cli {

int CmdUpload(const Args& argsIn, std::ostream& out, std::ostream& err) {
  Args args = argsIn;
  GlobalOptions options;
  std::string error;
  // File and program type first, so that a wrong file is reported without opening a port.
  TProgramType type = TProgramType::Main;
  std::string file;
  Args rest;
  for (const std::string& a : args) {
    if (a == "--service") {
      type = TProgramType::Service;
    } else if (a == "--main") {
      type = TProgramType::Main;
    } else {
      rest.push_back(a);
    }
  }
  if (!TakeGlobalOptions(rest, options, error)) {
    err << "ferrolad-cli upload: " << error << "\n";
    return 2;
  }
  if (rest.size() != 1) {
    err << "Usage: ferrolad-cli upload FILE [--service]\n";
    return 2;
  }
  file = rest[0];
  std::vector<std::string> lines;
  // Raw lines: the line number of a wrong line is then the file's own (0-based).
  if (!ReadTextLines(file, lines, error)) {
    err << error << "\n";
    return 2;
  }
  const TUploadRequests build = BuildUploadRequests(lines, type);
  if (!build.Built()) {
    if (!build.Error.empty()) {
      err << build.Error << "\n";
      if (build.WrongLine >= 0) err << build.MarkedLine << "\n";
    } else {
      err << "nothing to upload\n";
    }
    return 1;
  }

  int status = 0;
  Args sessionArgs = argsIn;
  std::erase_if(sessionArgs, [&](const std::string& a) { return a == "--service" || a == "--main" || a == file; });
  auto d = DeviceSession::Open(sessionArgs, "upload", err, status);
  if (!d) return status;
  TModBus& m = d->Session->Modbus();
  // On a terminal the count is rewritten in place.
  const bool terminal = &out == &std::cout && isatty(STDOUT_FILENO) == 1;
  std::string shown;
  m.ViewChanged = [&] {
    if (!terminal || m.View.lblCommandsTransfered == shown) return;
    shown = m.View.lblCommandsTransfered;
    out << "\r" << shown << std::flush;
  };
  const TTransferOutcome o = d->Run(kUploadTransferName, build.Requests);
  m.ViewChanged = nullptr;
  if (terminal) out << "\n";
  d->Finish(out, err);
  if (d->Options.Verbose) d->Session->PrintLog(out);
  out << "Commands transferred: " << o.CommandsTransferred << "\n";
  if (o.Failed || o.Terminated) {
    int32_t answered;
    {
      std::lock_guard lock(m.ResponseLock);
      answered = m.ResponseValue;
    }
    const std::string runMode = UploadFailureMessage(o, build.Requests, answered);
    if (!runMode.empty()) err << runMode << "\n";
    err << d->Session->FailureText(o) << "\n";
    out << "Data transfer result: failed \n";
    return 1;
  }
  out << "Data transfer result:  successful\n";
  return 0;
}

}  // namespace ferrolad::cli
