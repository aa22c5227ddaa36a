// The frame in flight and its answer: expectations taken from the request frame, the receive buffer,
// the fixed order of response checks, and the decoded response state.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "comm/log_sink.h"
#include "core/common_datas.h"
#include "core/manual_reset_event.h"
#include "core/rw_request.h"

namespace ferrolad {

// Why a response was refused; the numbers appear in nothing but are kept stable.
enum ResponseErrorKind : int {
  ErrorKindException = 1,
  ErrorKindTermination = 2,
  ErrorKindLength = 3,
  ErrorKindDeviceId = 4,
  ErrorKindRegisterAddress = 5,
  ErrorKindFunction = 6,
  ErrorKindNotHex = 7,
  ErrorKindLrc = 8,
};

class ModbusResponseChecker {
 public:
  // Characters kept at most in the receive buffer. A maximal Modbus ASCII frame is 513 characters; more
  // than eight of them waiting means the line carries garbage, and the oldest characters are dropped.
  static constexpr size_t kReceiveBufferCap = 4096;

  ModbusResponseChecker() = default;
  ModbusResponseChecker(const ModbusResponseChecker&) = delete;
  ModbusResponseChecker& operator=(const ModbusResponseChecker&) = delete;
  virtual ~ModbusResponseChecker() = default;

  // Reads the expectations for the answer back from the frame about to be sent. False when a field
  // is not hexadecimal (or missing); the caller logs "Wrong Modbus Command".
  bool SetExpectations(std::string_view frame);
  // Characters (without CR LF) an answer must have at least: BaseLength + 2 x ByteCount.
  int ExpectedResponseLength() const { return BaseLength + 2 * ByteCount; }

  // Main thread: appends one delivery of received characters to the receive buffer, cuts out at most
  // one frame, checks and decodes it, and signals the events.
  void ProcessReceived(std::string_view received);

  // Logs the text of the error kind (kinds 1-8) and empties ResponseBytes.
  void ReportResponseError(int kind, std::string_view received);
  // The explanation of an exception answer, for the request in flight.
  std::string DescribeException(std::string_view received) const;

  // Before each frame is sent: ResponseValid := 0 and ResponseBytes emptied.
  void ClearResponse();

  // Wiring (set once before use).
  TransferLogSink* Log = nullptr;              // none: nothing is logged
  const TCommonDatas* Settings = nullptr;      // WriteLog; none: logging on
  ManualResetEvent* ReadReady = nullptr;       // the port's read permission, signalled after every delivery

  // Expectations for the frame in flight.
  uint8_t RequestFunction = 0;
  uint16_t RequestAddress = 0;
  uint16_t RequestCount = 0;
  uint8_t ByteCountPos = 0;
  uint8_t ByteCount = 0;
  uint8_t BaseLength = 0;
  uint8_t Mode = 0;  // 0 = ASCII, the only mode
  uint8_t DeviceID = 1;
  uint16_t CurrentAddress = 0;
  uint8_t RequestedItems = 0;
  // 0 while only status polling runs: received frames are logged with "Get state - ".
  std::atomic<uint8_t> UserCommandPending{0};

  // Response state, written on the main thread; workers read it after waiting on the events below.
  std::atomic<uint8_t> ResponseValid{0};
  uint8_t ResponseFunction = 0;
  uint16_t ResponseAddress = 0;
  int32_t ResponseValue = 0;
  TBytesArray ResponseBytes;
  mutable std::mutex ResponseLock;  // taken while the response state changes

  // Received characters not yet consumed; main thread only.
  std::string ReceiveBuffer;

  ManualResetEvent ResponseEvent{false, "EventPortStringName"};  // a good answer arrived
  ManualResetEvent ValueEvent{false, "ValueEvent"};              // a good read answer was decoded

 private:
  void Post(LogEntryKind kind, std::string text);
  bool WriteLogOn() const { return Settings == nullptr || Settings->WriteLog(); }
  void SignalReadReady();
  void CapReceiveBuffer();
  void CheckFrame(const std::string& frame, const std::string& received);
};

}  // namespace ferrolad
