// ferrolad-cli status: one full polling cycle, printed as the indicators would show it.
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/cli_device.h"

namespace ferrolad::cli {

namespace {

void Lamps(std::ostream& out, const char* title, char letter, const std::array<TLampColor, 8>& lamps) {
  out << title;
  for (size_t i = 0; i < lamps.size(); ++i) out << " " << letter << i << "=" << ColorName(lamps[i]);
  out << "\n";
}

}  // namespace

// Shared with "errors": the five error indicators and their codes.
void PrintErrorIndicators(const TStatusModel& status, std::ostream& out) {
  const TStatusView& v = status.View;
  out << "Errors: " << v.lblErrors.Caption << " (" << ColorName(v.shpErrors.Color) << ")\n";
  for (size_t i = 0; i < v.lblError.size(); ++i) {
    if (!v.lblError[i].Visible) continue;
    out << "  " << v.lblError[i].Caption << " (" << ColorName(v.shpError[i].Color) << ")";
    if (i == 0 && v.lblReplaceBattery.Visible) out << " " << v.lblReplaceBattery.Caption;
    if (i == 1 && v.lblMemoryErrorCode.Visible) out << " " << v.lblMemoryErrorCode.Caption;
    if (i == 2 && v.lblModbusErrorCode.Visible) out << " " << v.lblModbusErrorCode.Caption;
    if (i == 3 && v.lblUserProgramErrorCode.Visible) {
      out << " " << v.lblUserProgramErrorLine.Caption << " " << v.lblUserProgramErrorCode.Caption << " - "
          << status.lblUserProgramErrorCodeClick();
    }
    out << "\n";
  }
}

int CmdStatus(const Args& argsIn, std::ostream& out, std::ostream& err) {
  Args args = argsIn;
  int status = 0;
  auto d = DeviceSession::Open(args, "status", err, status);
  if (!d) return status;
  if (!args.empty()) {
    err << "ferrolad-cli status: unexpected argument \"" << args[0] << "\"\n";
    return 2;
  }
  if (!d->Identify(err)) {
    if (d->Options.Verbose) d->Session->PrintLog(out);
    return 1;
  }
  const auto model = CurrentDevice();
  const TTransferOutcome o = d->Run("TimerGetStateTimer", model->StatusPolls);
  d->Finish(out, err);
  if (d->Options.Verbose) d->Session->PrintLog(out);
  if (o.Failed || o.Terminated) {
    err << d->Session->FailureText(o) << "\n";
    return 1;
  }
  const TStatusModel& s = d->Link->Status;
  const TStatusView& v = s.View;
  out << "Model: " << model->ModelName << "\n";
  Lamps(out, "Inputs: ", 'X', v.shpX);
  Lamps(out, "Outputs:", 'Y', v.shpY);
  out << "Run/Stop: " << v.lblRunStop << " (" << ColorName(v.shpRunStop) << ")\n";
  PrintErrorIndicators(s, out);
  out << "Motor: Energized=" << ColorName(v.shpStateEnergized) << " Hold=" << ColorName(v.shpStateStop)
      << " Accel=" << ColorName(v.shpStateAccel) << " Decel=" << ColorName(v.shpStateDecel)
      << " ConstSpeed=" << ColorName(v.shpStateConstSpeed) << " BusyMove=" << ColorName(v.shpStateBusyMove)
      << " BusyRun=" << ColorName(v.shpStateBusyRun) << "\n";
  out << v.lblStateDirection << "\n" << v.lblStatePosition << "\n" << v.lblCurrentSpeed << "\n";
  if (d->Link->Ident.Device.shpStateSupplyVoltageVisible)
    out << "Supply voltage: " << ColorName(v.shpStateSupplyVoltage) << "\n";
  if (d->Link->Ident.Device.shpStateInternalVoltageVisible)
    out << "Internal voltage: " << ColorName(v.shpStateInternalVoltage) << "\n";
  return 0;
}

}  // namespace ferrolad::cli
