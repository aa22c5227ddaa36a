// What the device commands (info, status, upload, download, errors, clear-errors) share: the port
// and engine session with the device link bound to it, identification and a loop that waits.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "cli/cli_port.h"
#include "device/controller_link.h"

namespace ferrolad::cli {

class DeviceSession {
 public:
  // Takes the global options out of args and opens the port; on failure prints why and sets status.
  static std::unique_ptr<DeviceSession> Open(Args& args, const char* command, std::ostream& err, int& status);
  ~DeviceSession();

  // Runs the identification chain to its end; false (with the message printed) when the controller
  // was refused or did not answer.
  bool Identify(std::ostream& err);
  // Runs the window thread until done() holds or the time is up.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // One user-command transfer to its end.
  TTransferOutcome Run(const std::string& name, const TRegistersArray& requests) { return Session->Run(name, requests); }
  // Prints the messages shown so far and the log when asked for.
  void Finish(std::ostream& out, std::ostream& err);

  GlobalOptions Options;
  std::unique_ptr<CliSession> Session;
  std::unique_ptr<TControllerLink> Link;
  // Every good read answer by (function, address): the last value.
  std::map<std::pair<uint8_t, uint16_t>, int32_t> Answers;

 private:
  DeviceSession() = default;
  size_t messagesPrinted_ = 0;
};

// "silver", "yellow" … as a lamp shows.
const char* ColorName(TLampColor color);

}  // namespace ferrolad::cli
