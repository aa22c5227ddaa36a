#include "comm/modbus_response.h"

#include <cstdio>

#include "comm/modbus_frame.h"

namespace ferrolad {

namespace {

// Two hex digits at 1-based positions p and p+1 of `text`; -1 when missing or not hexadecimal.
int HexPair(std::string_view text, size_t p, bool upperOnly = false) {
  if (p < 1 || p + 1 > text.size()) return -1;
  int hi = HexDigitValue(text[p - 1], upperOnly);
  int lo = HexDigitValue(text[p], upperOnly);
  if (hi < 0 || lo < 0) return -1;
  return hi * 16 + lo;
}

// Four hex digits (high byte first) at 1-based position p; -1 when not hexadecimal.
int HexWord(std::string_view text, size_t p) {
  int hi = HexPair(text, p);
  int lo = HexPair(text, p + 2);
  if (hi < 0 || lo < 0) return -1;
  return hi * 256 + lo;
}

const char* ExceptionName(int code) {
  switch (code) {
    case 1: return " = Illegal Function";
    case 2: return " = Illegal Data Address";
    case 3: return " = Illegal Data Value";
    case 4: return " = Slave Device Failure";
    case 5: return " = Acknowledge";
    case 6: return " = Slave Device Busy";
    case 7: return " = Negative Acknowledge";
    case 8: return " = Memory Parity Error";
    default: return "";
  }
}

}  // namespace

bool ModbusResponseChecker::SetExpectations(std::string_view frame) {
  const int function = HexPair(frame, 4);
  const int address = HexWord(frame, 6);
  if (function < 0 || address < 0) return false;
  int count = 0;
  if (function >= 1 && function <= 4) {
    count = HexWord(frame, 10);
    if (count < 0) return false;
  }
  RequestFunction = static_cast<uint8_t>(function);
  RequestAddress = static_cast<uint16_t>(address);
  ByteCount = 0;
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
      ByteCountPos = 6;
      BaseLength = 9;
      RequestCount = static_cast<uint16_t>(count);
      break;
    case 5:
    case 6:
      ByteCountPos = 0;
      BaseLength = 15;
      RequestCount = 1;
      break;
    case 15:
    case 16:
      ByteCountPos = 0;
      BaseLength = 15;
      RequestCount = 0;
      break;
    default:
      break;
  }
  return true;
}

void ModbusResponseChecker::ClearResponse() {
  std::lock_guard lock(ResponseLock);
  ResponseValid = 0;
  ResponseBytes.clear();
}

void ModbusResponseChecker::Post(LogEntryKind kind, std::string text) {
  if (Log) Log->PostLogEntry(kind, std::move(text));
}

void ModbusResponseChecker::SignalReadReady() {
  if (ReadReady) ReadReady->set();
}

void ModbusResponseChecker::CapReceiveBuffer() {
  if (ReceiveBuffer.size() <= kReceiveBufferCap) return;
  const size_t drop = ReceiveBuffer.size() - kReceiveBufferCap;
  ReceiveBuffer.erase(0, drop);
  Post(LogEntryKind::Error, "Receive buffer overflow: " + std::to_string(drop) + " characters dropped");
}

std::string ModbusResponseChecker::DescribeException(std::string_view received) const {
  char line[160];
  std::snprintf(line, sizeof line, "Request cmd = 0x%02X; Request start address = 0x%04X; Registaers number = %u\r\n",
                static_cast<unsigned>(RequestFunction), static_cast<unsigned>(RequestAddress),
                static_cast<unsigned>(RequestCount));
  std::string text = "Mobas error occurred: \r\n";
  text += line;
  const int code = HexPair(received, 6);
  if (code < 0) return text;
  text += "Error code = " + std::to_string(code) + ExceptionName(code);
  return text;
}

void ModbusResponseChecker::ReportResponseError(int kind, std::string_view received) {
  std::string text;
  const std::string r(received);
  switch (kind) {
    case ErrorKindException: text = "Wrong response: Modbus error " + r + DescribeException(received); break;
    case ErrorKindTermination: text = "Wrong response - wrong terminated symbols " + r; break;
    case ErrorKindLength: text = "Wrong response: data length errore " + r; break;
    case ErrorKindDeviceId: text = "Wrong response: ID error " + r; break;
    case ErrorKindRegisterAddress: text = "Wrong response: Register address error" + r; break;
    case ErrorKindFunction: text = "Wrong response: command error" + r; break;
    case ErrorKindNotHex: text = "Wrong response: error in Modbus packet" + r; break;
    case ErrorKindLrc: text = "Wrong response: error LRC" + r; break;
    default: break;
  }
  if (!text.empty()) Post(LogEntryKind::Recv, std::move(text));
  std::lock_guard lock(ResponseLock);
  ResponseBytes.clear();
}

void ModbusResponseChecker::ProcessReceived(std::string_view chunk) {
  ReceiveBuffer.append(chunk);
  const std::string received = ReceiveBuffer;  // the text every message of this delivery quotes
  if (!received.empty() && WriteLogOn()) Post(LogEntryKind::Str, received);

  const size_t firstColon = ReceiveBuffer.find(':');
  if (firstColon == std::string::npos) {
    CapReceiveBuffer();
    SignalReadReady();
    return;
  }
  // The frame starts at the last ":" before the first CR LF that follows a ":". Earlier characters are
  // damaged (a broken or foreign frame); a complete frame after that CR LF waits for the next delivery.
  const size_t firstEnd = ReceiveBuffer.find("\r\n", firstColon);
  const size_t start = ReceiveBuffer.rfind(':', firstEnd == std::string::npos ? std::string::npos : firstEnd);
  if (start != 0) {
    Post(LogEntryKind::Recv, "One or more of data packets are damaged:" + received);
    ReceiveBuffer.erase(0, start);
  }
  const size_t end = ReceiveBuffer.find("\r\n");
  if (end == std::string::npos) {
    CapReceiveBuffer();
    SignalReadReady();
    return;
  }
  const std::string frame = ReceiveBuffer.substr(0, end + 2);
  ReceiveBuffer.erase(0, end + 2);
  CapReceiveBuffer();
  if (WriteLogOn()) Post(LogEntryKind::Recv, (UserCommandPending.load() == 0 ? "Get state - " : "") + frame);
  CheckFrame(frame, received);
}

void ModbusResponseChecker::CheckFrame(const std::string& frame, const std::string& received) {
  const size_t L = frame.size();
  auto fail = [&](int kind) {
    ReportResponseError(kind, received);
    SignalReadReady();
  };
  if (L < 2 || frame.compare(L - 2, 2, "\r\n") != 0) return fail(ErrorKindTermination);
  if (L < BaseLength) return fail(ErrorKindLength);

  const int id = HexPair(frame, 2);
  if (id < 0) return fail(ErrorKindNotHex);
  if (id != DeviceID) return fail(ErrorKindDeviceId);

  const int function = HexPair(frame, 4);
  if (function < 0) return fail(ErrorKindNotHex);
  if (function >= 0x80) {
    // The exception code is read from the frame itself: garbage cut from the front of the received
    // text would otherwise be taken for it.
    std::string text = "Wrong response: Modbus error " + received + DescribeException(frame);
    Post(LogEntryKind::Recv, std::move(text));
    {
      std::lock_guard lock(ResponseLock);
      ResponseBytes.clear();
    }
    SignalReadReady();
    return;
  }
  if (function != RequestFunction) return fail(ErrorKindFunction);

  uint16_t address = 0;
  if (function == 5 || function == 6 || function == 15 || function == 16) {
    const int echoed = HexWord(frame, 6);
    if (echoed < 0) return fail(ErrorKindNotHex);
    if (echoed != RequestAddress) return fail(ErrorKindRegisterAddress);
    address = static_cast<uint16_t>(echoed);
  } else if (function >= 1 && function <= 4) {
    address = CurrentAddress;
  }

  if (ByteCountPos == 0) {
    ByteCount = 0;
  } else if (ByteCountPos + 1u < L) {
    const int count = HexPair(frame, ByteCountPos);
    if (count < 0) return fail(ErrorKindNotHex);
    ByteCount = static_cast<uint8_t>(count);
  }
  // The frame without its CR LF must hold the data the byte count announces; otherwise the last data
  // byte would be taken from the LRC characters.
  if (L - 2 < static_cast<size_t>(ExpectedResponseLength())) return fail(ErrorKindLength);

  const int lrc = HexPair(frame, L - 3);
  if (lrc < 0) return fail(ErrorKindNotHex);

  TBytesArray bytes;
  bytes.reserve(L / 2);
  for (size_t p = 2; p + 4 < L; p += 2) {
    const int b = HexPair(frame, p, /*upperOnly=*/true);
    if (b < 0) return fail(ErrorKindNotHex);
    bytes.push_back(static_cast<uint8_t>(b));
  }
  {
    std::lock_guard lock(ResponseLock);
    ResponseBytes = bytes;
  }
  if (ComputeLrc(bytes) != lrc) return fail(ErrorKindLrc);

  const bool isRead = function >= 1 && function <= 4;
  {
    std::lock_guard lock(ResponseLock);
    ResponseValid = 1;
    ResponseFunction = static_cast<uint8_t>(function);
    ResponseAddress = address;
    if (isRead) {
      const unsigned B = ByteCount;
      uint32_t v = 0;
      if (B > 0 && B <= 4 && bytes.size() >= 3 + B) {
        const uint8_t* d = bytes.data() + 3;
        v = d[0];
        if (B > 1) v = v * 256 + d[1];
        if (B == 4) v += (static_cast<uint32_t>(d[2]) * 256 + d[3]) * 65536u;
      }
      ResponseValue = static_cast<int32_t>(v);
    }
  }
  if (isRead) ValueEvent.set();
  SignalReadReady();
  ResponseEvent.set();
}

}  // namespace ferrolad
