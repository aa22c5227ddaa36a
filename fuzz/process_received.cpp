// Arbitrary received text, cut into arbitrary chunks, through the response checks: no crash, no read
// outside a buffer, and the receive buffer stays bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comm/modbus_frame.h"
#include "comm/modbus_response.h"

using namespace ferrolad;

namespace {
struct CountingLog : TransferLogSink {
  size_t entries = 0;
  void PostLogEntry(LogEntryKind, std::string) override { ++entries; }
  void AddLogLine(std::string) override { ++entries; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  ModbusResponseChecker checker;
  CountingLog log;
  ManualResetEvent readReady;
  checker.Log = &log;
  checker.ReadReady = &readReady;
  // First byte: the request in flight (function code and slave); the rest: chunk lengths and text.
  const uint8_t functions[] = {1, 2, 3, 4, 5, 6, 15, 16, 7};
  TRWmbrReg request;
  request.FunctionCode = functions[data[0] % 9];
  request.Address = static_cast<uint16_t>(data[1] * 0x101);
  request.Count = static_cast<uint16_t>(1 + data[1] % 4);
  request.Data.assign(2u * request.Count, data[1]);
  checker.DeviceID = static_cast<uint8_t>(1 + (data[0] >> 4));
  const std::string frame = AsciiFrame(BuildRequestBytes(request, checker.DeviceID));
  if (!frame.empty()) checker.SetExpectations(frame);
  checker.CurrentAddress = request.Address;
  checker.UserCommandPending = data[0] & 1;

  size_t pos = 2;
  while (pos < size) {
    const size_t chunk = 1 + data[pos] % 64 * (data[pos] & 0x80 ? 32 : 1);
    ++pos;
    const size_t n = chunk < size - pos ? chunk : size - pos;
    readReady.reset();
    checker.ResponseEvent.reset();
    checker.ProcessReceived(std::string_view(reinterpret_cast<const char*>(data + pos), n));
    pos += n;
    if (!readReady.isSet()) std::abort();  // every delivery must let the port read on
    if (checker.ReceiveBuffer.size() > ModbusResponseChecker::kReceiveBufferCap) std::abort();
    // An accepted answer holds at least address, function and one more byte.
    if (checker.ResponseEvent.isSet() && (!checker.ResponseValid || checker.ResponseBytes.size() < 3)) std::abort();
  }
  return 0;
}
