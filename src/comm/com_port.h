// Serial ports: the interface the request engine writes to and receives from, the receive thread
// shared by every kind of port, the POSIX termios port and a port fed from memory (the base of the
// built-in simulator port).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/main_gate.h"
#include "core/common_datas.h"
#include "core/main_thread.h"
#include "core/manual_reset_event.h"

namespace ferrolad {

// Modem status lines as ModemStatus reports them.
inline constexpr uint32_t kModemCts = 0x10;
inline constexpr uint32_t kModemDsr = 0x20;
inline constexpr uint32_t kModemRing = 0x40;
inline constexpr uint32_t kModemRlsd = 0x80;

// Baud rate table of the port settings (BaudIndex -> baud).
int BaudRateOfIndex(int index);

// What the receive thread reads from.
class TReadSource {
 public:
  virtual ~TReadSource() = default;
  enum class Event { Data, Nothing, HangUp };
  // Blocks until bytes may be waiting, the line hangs up, or Wake() is called.
  virtual Event WaitEvent() = 0;
  virtual void Wake() = 0;
  virtual int Available() = 0;  // bytes waiting (-1: error)
  virtual int Read(uint8_t* buffer, int size) = 0;
};

// The receive thread of an open port: waits for characters, waits for the read permission ReadReady,
// reads a chunk and hands it to the port's receiver on the window thread, waiting until it has run.
class TReadThread {
 public:
  using Deliver = std::function<void(const uint8_t* data, size_t size, uint32_t lineErrors)>;
  struct Params {
    int ReadChunk = 1000;
    bool WaitFullChunk = false;
    int PollPause = 30;    // ComReadTimeout: pause after each event, slow mode only
    int ReadyWait = 50;    // ComHandleTimeout: wait for ReadReady
    bool SlowMode = false;
  };
  TReadThread(std::unique_ptr<TReadSource> source, ManualResetEvent& readReady, MainThread& main, Params params,
              Deliver deliver);
  ~TReadThread();  // Terminate() and join
  void Terminate();

 private:
  void Execute();
  std::unique_ptr<TReadSource> source_;
  ManualResetEvent& readReady_;
  MainGate gate_;
  Params params_;
  Deliver deliver_;
  std::atomic<bool> terminated_{false};
  std::mutex sleepMu_;
  std::condition_variable sleepCv_;
  std::thread thread_;
};

// The port interface. One port object is "the" port while the program has it; the window thread
// opens and closes it, the per-frame worker writes to it.
class TPort {
 public:
  using Receiver = std::function<void(const uint8_t* data, size_t size, uint32_t lineErrors)>;
  virtual ~TPort() = default;

  virtual std::string Name() const = 0;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool Connected() const = 0;
  // Writes every byte; true when the whole write went out.
  virtual bool Write(const uint8_t* data, size_t size) = 0;
  bool Write(const std::string& text) { return Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
  // CTS, DSR, RING and RLSD (kModem*); 0 where the port has no such lines.
  virtual uint32_t ModemStatus() = 0;

  // The receiver of chunks; runs on the window thread. Set before Open.
  void SetOnReceive(Receiver r) { onReceive_ = std::move(r); }
  // Window thread and the timing values of the receive thread (copied at each Open).
  void Attach(MainThread& main, const TCommonDatas* settings) {
    main_ = &main;
    settings_ = settings;
  }

  // Permission for the receive thread to read the next chunk.
  ManualResetEvent ReadReady{false, "EventReadReady"};
  int ReadChunk = 1000;
  bool WaitFullChunk = false;

 protected:
  // Starts the receive thread on `source`; false without a window thread.
  bool StartReadThread(std::unique_ptr<TReadSource> source);
  void StopReadThread();
  bool HasReadThread() const { return readThread_ != nullptr; }

 private:
  Receiver onReceive_;
  MainThread* main_ = nullptr;
  const TCommonDatas* settings_ = nullptr;
  std::unique_ptr<TReadThread> readThread_;
};

// A serial device by path: 115200 baud, 7 data bits, even parity, 1 stop bit, opened exclusively.
class TComPort final : public TPort {
 public:
  explicit TComPort(std::string path) : path_(std::move(path)) {}
  ~TComPort() override { Close(); }

  std::string Name() const override { return path_; }
  bool Open() override;
  void Close() override;
  bool Connected() const override;
  bool Write(const uint8_t* data, size_t size) override;
  uint32_t ModemStatus() override;

  // Line settings; changing one while open applies them again.
  int BaudIndex() const { return baudIndex_; }
  void SetBaudIndex(int index);
  void SetDataBitsIndex(int index);  // data bits = index + 5
  void SetParity(int parity);        // 0 none, 1 odd, 2 even, 3 mark, 4 space
  void SetStopBits(int stopBits);    // 0: 1, 1: 1.5, 2: 2
  // Applies the line settings; settings a pseudo-terminal refuses (EINVAL) are not an error.
  bool ApplySettings();
  // Why the last Open failed.
  const std::string& LastError() const { return lastError_; }

  // A test open: the device can be opened now (read and write, not held exclusively elsewhere).
  static bool Exists(const std::string& path);

 private:
  std::string path_;
  std::atomic<int> fd_{-1};
  int baudIndex_ = 12, dataBitsIndex_ = 2, parity_ = 2, stopBits_ = 0;
  std::string lastError_;
  std::mutex writeMu_;
};

// A port whose received bytes are pushed in from memory and whose writes go to Transmit. The
// simulator port derives from it; tests use it as a line they control.
class TMemoryPort : public TPort {
 public:
  explicit TMemoryPort(std::string name) : name_(std::move(name)) {}
  ~TMemoryPort() override;

  std::string Name() const override { return name_; }
  bool Open() override;
  void Close() override;
  bool Connected() const override { return open_.load(); }
  bool Write(const uint8_t* data, size_t size) override;
  uint32_t ModemStatus() override { return modemStatus_.load(); }

  // Bytes arriving on the line (any thread). Dropped while the port is closed.
  void Receive(const uint8_t* data, size_t size);
  // Test hooks: the modem lines reported, and a write that fails.
  void SetModemStatus(uint32_t bits) { modemStatus_ = bits; }
  void SetWriteFails(bool fails) { writeFails_ = fails; }

 protected:
  // Where written bytes go; runs on the writing thread.
  virtual bool Transmit(const uint8_t* data, size_t size) = 0;
  // Called by Open before the receive thread starts; false refuses the open.
  virtual bool OnOpen() { return true; }
  virtual void OnClose() {}

 private:
  class Queue;
  std::string name_;
  std::atomic<bool> open_{false};
  std::atomic<uint32_t> modemStatus_{0};
  std::atomic<bool> writeFails_{false};
  std::shared_ptr<Queue> queue_;
  std::mutex queueMu_;
};

}  // namespace ferrolad
