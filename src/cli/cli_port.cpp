#include "cli/cli_port.h"

#include <chrono>

#include "cli/cli_args.h"

namespace ferrolad::cli {

bool TakeGlobalOptions(Args& args, GlobalOptions& options, std::string& error) {
  Args rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool takesValue = a == "--port" || a == "--id" || a == "--sim-model";
    if (takesValue && i + 1 >= args.size()) {
      error = a + " needs a value";
      return false;
    }
    if (a == "--port") {
      options.Port = args[++i];
    } else if (a == "--sim-model") {
      options.SimModel = args[++i];
    } else if (a == "--id") {
      long long id = 0;
      if (!ParseNumber(args[++i], 1, 247, id)) {
        error = "--id must be a number from 1 to 247";
        return false;
      }
      options.Id = static_cast<int>(id);
    } else if (a == "-v" || a == "--verbose") {
      options.Verbose = true;
    } else {
      rest.push_back(a);
    }
  }
  args.swap(rest);
  return true;
}

std::unique_ptr<CliSession> CliSession::Open(const GlobalOptions& options, std::string& error) {
  if (options.Port.empty()) {
    error = "no port given (--port PATH or --port SIM)";
    return nullptr;
  }
  std::unique_ptr<CliSession> s(new CliSession());
  s->settings_.SetSaveLog(false);  // the log is printed, not saved
  s->log_ = std::make_unique<TransferLog>(s->settings_, s->main_);
  if (options.Port == "SIM") {
    sim::SimOptions simOptions;
    if (!options.SimModel.empty()) {
      auto model = SimPort::ParseModel(options.SimModel);
      if (!model) {
        error = "unknown simulator model \"" + options.SimModel + "\"";
        return nullptr;
      }
      simOptions.model = *model;
    }
    simOptions.slaveId = static_cast<uint8_t>(options.Id);
    auto sim = std::make_shared<SimPort>(simOptions);
    s->sim_ = sim.get();
    s->port_ = sim;
  } else {
    s->port_ = std::make_shared<TComPort>(options.Port);
  }
  s->port_->Attach(s->main_, &s->settings_);
  s->modbus_ = std::make_unique<TModBus>(static_cast<uint8_t>(options.Id));
  TModBus& m = *s->modbus_;
  m.Attach(s->main_, s->settings_, s->log_.get());
  m.SetPort(s->port_);
  CliSession* self = s.get();
  m.HandleResponse = [self] {
    std::lock_guard lock(self->modbus_->ResponseLock);
    self->lastRead_ = self->modbus_->ResponseBytes;
  };
  m.ShowMessage = [self](const std::string& text) { self->messages_.push_back(text); };
  m.ConnectionLost = [self] {
    if (auto p = self->modbus_->Port()) p->Close();
    self->lostMessage_ = TModBus::kConnectionLostMessage;
  };
  if (!s->port_->Open()) {
    auto* com = dynamic_cast<TComPort*>(s->port_.get());
    error = com && !com->LastError().empty() ? com->LastError() : "cannot open " + options.Port;
    return nullptr;
  }
  m.DeviceID = static_cast<uint8_t>(options.Id);
  m.IdField = static_cast<uint8_t>(options.Id);
  m.ResetForConnect();
  return s;
}

CliSession::~CliSession() {
  if (modbus_) modbus_->Shutdown();
  main_.processPending();  // log entries the last workers posted
}

TTransferOutcome CliSession::Run(const std::string& name, const TRegistersArray& requests) {
  TTransferOutcome outcome;
  bool ended = false;
  lastRead_.clear();
  modbus_->TransferEnded = [&](const TTransferOutcome& o) {
    outcome = o;
    ended = true;
  };
  if (!modbus_->StartTransfer(true, modbus_->IdField.load(), true, name, requests)) {
    outcome.Message = TModBus::kNotReadyMessage;
    return outcome;
  }
  // Every request may take its whole time-out; the margin covers the hand-offs.
  const auto limit = std::chrono::milliseconds(static_cast<long long>(settings_.TotalTimeout()) *
                                                   static_cast<long long>(requests.size() + 1) +
                                               2000);
  main_.runUntil([&] { return ended; }, limit);
  main_.processPending();
  modbus_->TransferEnded = nullptr;
  if (!ended) outcome.Message = "the transfer did not end in time";
  return outcome;
}

std::string CliSession::FailureText(const TTransferOutcome& outcome) const {
  if (!lostMessage_.empty()) return lostMessage_;
  if (!messages_.empty()) return messages_.back();
  if (!outcome.Message.empty()) return outcome.Message;
  return "Data transfer result: failed ";
}

void CliSession::PrintLog(std::ostream& out) const {
  for (const auto& line : log_->Lines()) out << line << "\n";
}

}  // namespace ferrolad::cli
