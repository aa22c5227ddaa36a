// ferrolad-cli download: reads the program back from the controller as instruction-list text.
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/cli_device.h"
#include "core/il_text.h"

namespace ferrolad::cli {

int CmdDownload(const Args& argsIn, std::ostream& out, std::ostream& err) {
  Args args;
  TProgramType type = TProgramType::Main;
  std::string output;
  for (size_t i = 0; i < argsIn.size(); ++i) {
    if (argsIn[i] == "--service") {
      type = TProgramType::Service;
    } else if (argsIn[i] == "--main") {
      type = TProgramType::Main;
    } else if (argsIn[i] == "-o") {
      if (i + 1 >= argsIn.size()) {
        err << "ferrolad-cli download: -o needs a file\n";
        return 2;
      }
      output = argsIn[++i];
    } else {
      args.push_back(argsIn[i]);
    }
  }
  int status = 0;
  auto d = DeviceSession::Open(args, "download", err, status);
  if (!d) return status;
  if (!args.empty()) {
    err << "ferrolad-cli download: unexpected argument \"" << args[0] << "\"\n";
    return 2;
  }
  if (!d->Identify(err)) {
    if (d->Options.Verbose) d->Session->PrintLog(out);
    return 1;
  }
  const TDownloadDecision decision = DecideDownload(false, true, d->Link->ReadingSupported(), nullptr);
  if (decision.Step != TDownloadStep::Start) {
    err << decision.Message << "\n";
    return 1;
  }
  TControllerLink& link = *d->Link;
  if (!link.StartReading(type, static_cast<uint8_t>(d->Options.Id))) {
    err << TModBus::kNotReadyMessage << "\n";
    return 1;
  }
  // The longest reading: every packet of the largest program, each request within its time-out.
  const auto limit = std::chrono::minutes(30);
  d->RunUntil([&] { return !link.ReadingRunning(); }, limit);
  link.StopReading();
  d->Session->Main().processPending();
  d->Finish(out, err);
  if (d->Options.Verbose) d->Session->PrintLog(out);

  uint8_t result;
  {
    std::lock_guard lock(link.Reading.Lock);
    result = link.Reading.ResultCode;
  }
  const std::vector<std::string>& text = link.Program.MemoIL;
  // What was read goes out even after a failure: the comment lines say what went wrong.
  if (output.empty()) {
    for (const std::string& line : text) out << line << "\n";
  } else if (!text.empty()) {
    std::string error;
    if (!SaveProgram(output, text, error)) {
      err << error << "\n";
      return 1;
    }
  }
  if (result == ReadResultSuccess) return 0;
  // The reading's own words are in the log.
  bool explained = false;
  for (const std::string& line : d->Session->LogLines()) {
    for (const char* text : {"Program reading failed", "Reading impossible"}) {
      const size_t at = line.find(text);
      if (at == std::string::npos) continue;
      err << line.substr(at) << "\n";
      explained = true;
    }
  }
  if (!explained) err << "Program reading failed\n";
  return 1;
}

}  // namespace ferrolad::cli
