// TModBus, the single Modbus client. The frame level (request building, the expectations of the frame
// in flight, response checking and the response state with its events) is ModbusResponseChecker; on
// top of it sits the request engine: transfer dispatch, the frame queue, the per-frame worker
// TRWThread, the hand-off thread TReadPortThread and the block transfer TRWRegistersThread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "comm/com_port.h"
#include "comm/comm_view.h"
#include "comm/main_gate.h"
#include "comm/modbus_frame.h"
#include "comm/modbus_response.h"
#include "core/main_thread.h"

namespace ferrolad {

class TRWThread;
class TRWRegistersThread;
class TReadPortThread;
class TWorkerThread;

// A write command of a direct command (a named command record of the device tables).
struct TDirectRecord {
  uint8_t FunctionCode = 0;
  uint16_t Address = 0;
  uint8_t RegisterCount = 0;
  int32_t Value = 0;
  std::string Name;
};

// How a transfer ended, for whoever waits on it (command-line tool, tests, upload).
struct TTransferOutcome {
  std::string Name;
  bool UserCommand = false;
  bool Failed = true;       // nothing completed, or an error message was set
  bool Terminated = false;  // ended by an error (or shutdown) rather than by finishing or giving way
  std::string Message;      // last error message
  int32_t Line = 0;
  int32_t CommandsTransferred = 0;
};

// The request list of a direct command: the RUN/STOP check, each write and, with readBack, a read of
// the same address. Nothing (nullopt) when a record is not a write of one or two registers.
std::optional<TRegistersArray> BuildDirectCommandList(bool verify, bool requireStop, bool readBack,
                                                      const std::vector<TDirectRecord>& records);

class TModBus : public ModbusResponseChecker {
 public:
  explicit TModBus(uint8_t deviceId = 1);
  ~TModBus() override;  // Shutdown()

  // Request bytes of one record; also sets RequestedItems.
  TBytesArray BuildRequestBytes(const TRWmbrReg& request, uint8_t slaveId);

  // ---- wiring (window thread, before use) ----
  // Starts the hand-off thread. Without it nothing is sent.
  void Attach(MainThread& main, const TCommonDatas& settings, TransferLogSink* log);
  // The port the engine writes to; its receiver becomes DataReceived and its ReadReady the one
  // signalled after each delivery. The engine keeps the port alive while a worker may use it.
  void SetPort(std::shared_ptr<TPort> port);
  std::shared_ptr<TPort> Port() const;
  bool PortOpen() const;

  // ---- dispatch (window thread) ----
  bool StartTransfer(bool isUserCommand, uint8_t slaveId, bool threadUserFlag, const std::string& name,
                     const TRegistersArray& requests);
  // Reads only (functions 1-4), as one user command carrying IdField; the by-name wrapper over the
  // device tables lives in the device layer.
  bool SendCommands(const std::string& name, const TRegistersArray& commands);
  bool SendReadCommand(const TRegistersArray& commands) { return SendCommands("SendReadCommand", commands); }
  // The identification chain; GetVersionInfo starts it.
  bool GetVersionInfo(const TRegistersArray& commands);
  bool GetMapsInfo(const TRegistersArray& commands);
  bool GetInitialInformation(const TRegistersArray& commands);
  bool SendDirectCommand(bool verify, bool requireStop, bool readBack, const std::vector<TDirectRecord>& commands);
  bool SendDirectCommand(bool verify, bool requireStop, bool readBack, const TDirectRecord& command);
  bool SendDirectCommand(bool verify, bool requireStop, bool readBack, int32_t value, const TDirectRecord& command);

  // ---- transfer thread ----
  // Mode 0 frames the request and queues it; starts the per-frame worker. `address` is the request's
  // start address (CurrentAddress while the frame is in flight).
  bool QueueFrame(int mode, bool threadUserFlag, const std::string& name, const TBytesArray& request,
                  uint16_t address = 0);

  // A frame prepared elsewhere (its text as sent). QueueFrame with a mode other than 0 and 1 sends
  // what is queued without framing anything itself.
  void EnqueueFrameText(std::string text, uint16_t address = 0);

  // ---- receive path (window thread) ----
  void DataReceived(const uint8_t* data, size_t size, uint32_t lineErrors);

  // ---- connection (window thread) ----
  // At connect: bookkeeping and response state cleared, events in their idle states.
  void ResetForConnect();

  // ---- close ----
  // Window closing: StopAll, workers told to end, first bounded waits.
  void Close();
  // Window destroyed: remaining bounded waits, port closed, every worker joined. Idempotent.
  void Shutdown();

  // ---- state ----
  std::atomic<bool> StopAll{false};
  std::atomic<uint8_t> InitSequenceActive{0};
  std::atomic<uint8_t> ErrorFlag{0};
  std::atomic<uint8_t> ErrorCount{0};
  std::atomic<uint8_t> LastErrorCode{0};
  std::atomic<int32_t> RecordCount{0};
  // Value of the ID field: the address put into new requests (DeviceID is only taken at connect).
  std::atomic<uint8_t> IdField{1};
  // Treat an active modem status line as a failed send. Off: many converters hold such a line.
  std::atomic<bool> ModemStatusGate{false};

  ManualResetEvent FramesLock{true, "FramesLock"};
  ManualResetEvent RWThreadFree{true, "RWThreadFree"};
  ManualResetEvent TransferFree{true, "TransferFree"};
  ManualResetEvent NotifierEnded{false, "NotifierEnded"};
  std::mutex DispatchLock;
  std::mutex ThreadExitLock;

  // Communication displays of the main window; changed on the window thread, then ViewChanged.
  TCommView View;
  std::function<void()> ViewChanged;
  void Changed();  // calls ViewChanged

  // ---- hooks, all run on the window thread unless said ----
  std::function<void(bool enabled)> SetStatusTimer;       // TimerGetState on/off
  std::function<void()> HandleResponse;                   // each good read answer of a transfer
  std::function<void()> ConnectionLost;                   // disconnect after three unanswered sends
  std::function<void(const std::string& text)> ShowMessage;  // a message box
  // The identification chain's later steps: their request lists and its end (breakpoints shown).
  std::function<TRegistersArray()> MapsInfoRequests;
  std::function<TRegistersArray()> InitialInformationRequests;
  std::function<void()> IdentificationEnded;
  std::function<void()> ClearSectorReady;                 // transfer thread, before each request
  std::function<void(const TTransferOutcome&)> TransferEnded;

  // For tests and shutdown checks.
  bool TransferRunning() const;
  size_t LiveWorkers() const;  // engine threads not yet ended (the hand-off thread included)

  static constexpr const char* kNotReadyMessage = "Command was not sent. The read/write thread is not ready.";
  static constexpr const char* kStatusNotReadyMessage = "Can not read status. The read/write thread is not ready.";
  static constexpr const char* kConnectionLostMessage =
      "Wrong connection or data transfer error: Communication failed. Port disconnected";

 private:
  friend class TRWThread;
  friend class TRWRegistersThread;
  friend class TReadPortThread;

  struct QueuedFrame {
    std::string Text;
    uint16_t Address = 0;
  };

  bool StartChainStep(const std::string& name, const TRegistersArray& commands);
  void ContinueIdentification(const std::string& endedName);
  void Track(std::shared_ptr<TWorkerThread> worker);
  void Reap();
  // Worker side of the window thread.
  bool OnMain(std::function<void()> fn);
  void LogLine(bool noLog, const std::string& text);
  void LogEntry(LogEntryKind kind, std::string text);
  void StatusTimer(bool enabled);
  int SettingOr(int (TCommonDatas::*get)() const, int fallback) const;

  MainThread* main_ = nullptr;
  std::unique_ptr<MainGate> gate_;
  mutable std::mutex portMu_;
  std::shared_ptr<TPort> port_;

  std::shared_ptr<TRWRegistersThread> CurrentTransfer;
  std::shared_ptr<TRWRegistersThread> SupersededTransfer;
  std::shared_ptr<TRWThread> CurrentRWThread;
  std::shared_ptr<TReadPortThread> readPortThread_;

  std::mutex frameQueueMu_;
  std::vector<QueuedFrame> FrameQueue;

  mutable std::mutex workersMu_;
  std::vector<std::shared_ptr<TWorkerThread>> workers_;

  bool chainDispatch_ = false;  // window thread: a chain step is being dispatched
  bool closed_ = false;
  bool shutDown_ = false;
};

}  // namespace ferrolad
