// ferrolad-cli read / write: one request through the request engine, the answer decoded.
#include <cstdio>
#include <ostream>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "cli/cli_port.h"

namespace ferrolad::cli {

namespace {

std::string Hex(unsigned value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
  return buf;
}

// Opens the session or explains why not; 0 when open.
int OpenSession(Args& args, GlobalOptions& options, std::unique_ptr<CliSession>& session, const char* command,
                std::ostream& err) {
  std::string error;
  if (!TakeGlobalOptions(args, options, error)) {
    err << "ferrolad-cli " << command << ": " << error << "\n";
    return 2;
  }
  session = CliSession::Open(options, error);
  if (!session) {
    err << "ferrolad-cli " << command << ": " << error << "\n";
    return 1;
  }
  return 0;
}

int Finish(CliSession& session, const GlobalOptions& options, const TTransferOutcome& outcome, std::ostream& out,
           std::ostream& err) {
  if (options.Verbose) session.PrintLog(out);
  if (outcome.Failed || outcome.Terminated) {
    err << session.FailureText(outcome) << "\n";
    return 1;
  }
  return 0;
}

void PrintRead(uint8_t function, uint16_t address, uint16_t count, const TBytesArray& bytes, int32_t value,
               std::ostream& out) {
  if (bytes.size() < 3) return;
  const size_t byteCount = std::min<size_t>(bytes[2], bytes.size() - 3);
  const uint8_t* data = bytes.data() + 3;
  if (function == 1 || function == 2) {
    out << "bits " << Hex(address, 4) << ":";
    for (unsigned i = 0; i < count && i / 8 < byteCount; ++i) out << " " << ((data[i / 8] >> (i % 8)) & 1);
    out << "\n";
  } else {
    for (size_t i = 0; i + 1 < byteCount + 1 && i / 2 < count && i + 1 < byteCount; i += 2) {
      const unsigned reg = data[i] * 256u + data[i + 1];
      out << Hex(static_cast<unsigned>(address + i / 2), 4) << " = " << Hex(reg, 4) << " (" << reg << ")\n";
    }
  }
  out << "value = " << value << " (" << Hex(static_cast<uint32_t>(value), 8) << ")\n";
}

}  // namespace

int CmdRead(const Args& argsIn, std::ostream& out, std::ostream& err) {
  Args args = argsIn;
  GlobalOptions options;
  std::string error;
  if (!TakeGlobalOptions(args, options, error)) {
    err << "ferrolad-cli read: " << error << "\n";
    return 2;
  }
  long long fc = 0, address = 0, count = 0;
  if (args.size() != 3 || !ParseNumber(args[0], 1, 4, fc) || !ParseNumber(args[1], 0, 0xFFFF, address) ||
      !ParseNumber(args[2], 1, 125, count)) {
    err << "usage: ferrolad-cli --port PATH|SIM [--id N] read FC ADDRESS COUNT   (FC 1-4, COUNT 1-125)\n";
    return 2;
  }
  Args again = argsIn;
  std::unique_ptr<CliSession> session;
  if (int rc = OpenSession(again, options, session, "read", err)) return rc;
  TRWmbrReg request;
  request.FunctionCode = static_cast<uint8_t>(fc);
  request.Address = static_cast<uint16_t>(address);
  request.Count = static_cast<uint16_t>(count);
  request.Counted = 1;
  const TTransferOutcome outcome = session->Run("SendReadCommand", {request});
  const int rc = Finish(*session, options, outcome, out, err);
  if (rc == 0) {
    int32_t value;
    {
      std::lock_guard lock(session->Modbus().ResponseLock);
      value = session->Modbus().ResponseValue;
    }
    PrintRead(request.FunctionCode, request.Address, request.Count, session->LastReadBytes(), value, out);
  }
  return rc;
}

int CmdWrite(const Args& argsIn, std::ostream& out, std::ostream& err) {
  Args args = argsIn;
  GlobalOptions options;
  std::string error;
  if (!TakeGlobalOptions(args, options, error)) {
    err << "ferrolad-cli write: " << error << "\n";
    return 2;
  }
  long long fc = 0, address = 0;
  const bool head = args.size() >= 3 && ParseNumber(args[0], 5, 16, fc) &&
                    (fc == 5 || fc == 6 || fc == 15 || fc == 16) && ParseNumber(args[1], 0, 0xFFFF, address);
  const size_t values = head ? args.size() - 2 : 0;
  if (!head || ((fc == 5 || fc == 6) && values != 1) || values > 123) {
    err << "usage: ferrolad-cli --port PATH|SIM [--id N] write FC ADDRESS VALUE...   (FC 5 or 6: one value;\n"
           "       15 or 16: one 16-bit word per VALUE)\n";
    return 2;
  }
  TRWmbrReg request;
  request.FunctionCode = static_cast<uint8_t>(fc);
  request.Address = static_cast<uint16_t>(address);
  request.Count = static_cast<uint16_t>(values);
  request.Counted = 1;
  for (size_t i = 2; i < args.size(); ++i) {
    long long v = 0;
    if (!ParseNumber(args[i], -32768, 0xFFFF, v)) {
      err << "ferrolad-cli write: \"" << args[i] << "\" is not a 16-bit value\n";
      return 2;
    }
    const auto word = static_cast<uint16_t>(v);
    if (fc == 5) {
      request.Data = {0, static_cast<uint8_t>(word != 0 ? 1 : 0)};
    } else {
      request.Data.push_back(static_cast<uint8_t>(word >> 8));
      request.Data.push_back(static_cast<uint8_t>(word));
    }
  }
  Args again = argsIn;
  std::unique_ptr<CliSession> session;
  if (int rc = OpenSession(again, options, session, "write", err)) return rc;
  const TTransferOutcome outcome = session->Run("SendDirectCommand", {request});
  const int rc = Finish(*session, options, outcome, out, err);
  if (rc == 0) out << "written: function " << fc << " at " << Hex(request.Address, 4) << ", " << values << " value(s)\n";
  return rc;
}

}  // namespace ferrolad::cli
