// What every command that talks to a controller shares: the global options (--port, --sim-model,
// --id, -v), the port and request engine opened from them, and one transfer run to its end.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/sim_port.h"
#include "comm/modbus.h"
#include "comm/transfer_log.h"
#include "core/common_datas.h"
#include "core/main_thread.h"

namespace ferrolad::cli {

struct GlobalOptions {
  std::string Port;      // a device path, or "SIM"
  std::string SimModel;  // model of the SIM port
  int Id = 1;            // Modbus address, 1..247
  bool Verbose = false;  // print the transfer log
};

// Takes the global options out of args; the rest stays. False with a message on a bad value.
bool TakeGlobalOptions(Args& args, GlobalOptions& options, std::string& error);

// An open port with the request engine on it; the calling thread is the window thread.
class CliSession {
 public:
  static std::unique_ptr<CliSession> Open(const GlobalOptions& options, std::string& error);
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // Starts a transfer as a user command and runs the window thread until it has ended.
  TTransferOutcome Run(const std::string& name, const TRegistersArray& requests);
  // The text that explains a failed outcome: the engine's message, or the lost connection.
  std::string FailureText(const TTransferOutcome& outcome) const;

  TModBus& Modbus() { return *modbus_; }
  TCommonDatas& Settings() { return settings_; }
  EventLoopMainThread& Main() { return main_; }  // the window thread: this caller's loop
  SimPort* Sim() { return sim_; }  // null for a device path
  const std::vector<std::string>& LogLines() const { return log_->Lines(); }
  void PrintLog(std::ostream& out) const;
  // The bytes of the last good read answer (slave ID through the last data byte).
  const TBytesArray& LastReadBytes() const { return lastRead_; }

 private:
  CliSession() = default;

  TCommonDatas settings_;
  EventLoopMainThread main_;
  std::unique_ptr<TransferLog> log_;
  std::shared_ptr<TPort> port_;
  SimPort* sim_ = nullptr;
  std::unique_ptr<TModBus> modbus_;
  TBytesArray lastRead_;
  std::string lostMessage_;
  std::vector<std::string> messages_;
};

}  // namespace ferrolad::cli
