#include "cli/cli_device.h"

namespace ferrolad::cli {

std::unique_ptr<DeviceSession> DeviceSession::Open(Args& args, const char* command, std::ostream& err, int& status) {
  std::unique_ptr<DeviceSession> d(new DeviceSession());
  std::string error;
  if (!TakeGlobalOptions(args, d->Options, error)) {
    err << "ferrolad-cli " << command << ": " << error << "\n";
    status = 2;
    return nullptr;
  }
  d->Session = CliSession::Open(d->Options, error);
  if (!d->Session) {
    err << "ferrolad-cli " << command << ": " << error << "\n";
    status = 1;
    return nullptr;
  }
  CliSession& s = *d->Session;
  d->Link = std::make_unique<TControllerLink>(s.Modbus(), s.Main(), s.Settings());
  d->Link->Bind();
  DeviceSession* self = d.get();
  d->Link->AnswerHandled = [self](const TReadResponse& r) { self->Answers[{r.Function, r.Address}] = r.Value; };
  status = 0;
  return d;
}

DeviceSession::~DeviceSession() {
  if (Link) Link->StopReading();
  Session.reset();  // the engine ends before the link it calls into
  Link.reset();
}

bool DeviceSession::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return Session->Main().runUntil(done, limit);
}

bool DeviceSession::Identify(std::ostream& err) {
  TModBus& m = Session->Modbus();
  if (!Link->StartIdentification()) {
    err << TModBus::kNotReadyMessage << "\n";
    return false;
  }
  // Nine requests plus the parameter reads, each within its time-out.
  const auto limit = std::chrono::milliseconds(static_cast<long long>(Session->Settings().TotalTimeout()) * 40 + 2000);
  RunUntil([&] { return !Link->Ident.Running() && !m.TransferRunning(); }, limit);
  Session->Main().processPending();
  Finish(err, err);
  if (!Link->Ident.Finished || Link->Ident.ModelName.empty()) {
    if (Link->Messages.empty()) err << "the controller did not identify itself\n";
    return false;
  }
  return true;
}

void DeviceSession::Finish(std::ostream&, std::ostream& err) {
  for (; messagesPrinted_ < Link->Messages.size(); ++messagesPrinted_) err << Link->Messages[messagesPrinted_] << "\n";
}

const char* ColorName(TLampColor color) {
  switch (color) {
    case TLampColor::Silver: return "silver";
    case TLampColor::Yellow: return "yellow";
    case TLampColor::Green: return "green";
    case TLampColor::Red: return "red";
    default: return "white";
  }
}

}  // namespace ferrolad::cli
