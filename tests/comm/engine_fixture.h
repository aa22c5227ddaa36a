// The request engine wired to a simulated controller in this process, with a window thread of its
// own and a log that records plain lines and kinded entries in one sequence.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/com_port.h"
#include "comm/modbus.h"
#include "comm/modbus_frame.h"
#include "core/common_datas.h"
#include "core/main_thread.h"
#include "sim/sim_link.h"

namespace ferrolad::testing {

// Plain lines are recorded with kind -1.
struct SequenceLog : TransferLogSink {
  struct Entry {
    int kind;
    std::string text;
  };
  void PostLogEntry(LogEntryKind kind, std::string text) override { Add(static_cast<int>(kind), std::move(text)); }
  void AddLogLine(std::string text) override { Add(-1, std::move(text)); }
  void Add(int kind, std::string text) {
    std::function<void(int, const std::string&)> hook;
    {
      std::lock_guard lock(mu);
      entries.push_back({kind, text});
      hook = onEntry;
    }
    cv.notify_all();
    if (hook) hook(kind, text);
  }
  std::vector<Entry> Snapshot() const {
    std::lock_guard lock(mu);
    return entries;
  }
  // Texts of the given kinds, in order (kind -1: plain lines).
  std::vector<std::string> Texts(std::initializer_list<int> kinds) const {
    std::vector<std::string> out;
    for (const auto& e : Snapshot()) {
      for (int k : kinds) {
        if (e.kind == k) out.push_back(e.text);
      }
    }
    return out;
  }
  size_t Count(int kind, const std::string& text) const {
    size_t n = 0;
    for (const auto& e : Snapshot()) n += (e.kind == kind && e.text == text) ? 1 : 0;
    return n;
  }
  bool Contains(int kind, const std::string& prefix) const {
    for (const auto& e : Snapshot()) {
      if (e.kind == kind && e.text.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  void SetHook(std::function<void(int, const std::string&)> hook) {
    std::lock_guard lock(mu);
    onEntry = std::move(hook);
  }
  void Clear() {
    std::lock_guard lock(mu);
    entries.clear();
  }
  mutable std::mutex mu;
  std::condition_variable cv;
  std::vector<Entry> entries;
  std::function<void(int, const std::string&)> onEntry;  // set before traffic starts
};

inline constexpr int kPlain = -1;
inline constexpr int kSend = static_cast<int>(LogEntryKind::Send);
inline constexpr int kRecv = static_cast<int>(LogEntryKind::Recv);
inline constexpr int kError = static_cast<int>(LogEntryKind::Error);
inline constexpr int kStr = static_cast<int>(LogEntryKind::Str);

// The simulator as a port; the same shape as the window's "SIM" port.
class SimMemoryPort final : public TMemoryPort {
 public:
  SimMemoryPort(sim::SimOptions options = {}, sim::SimLinkOptions linkOptions = {})
      : TMemoryPort("SIM"), controller(options), link(controller, linkOptions) {}
  ~SimMemoryPort() override { Close(); }
  sim::SimController controller;
  sim::SimLink link;

 protected:
  bool Transmit(const uint8_t* data, size_t size) override {
    link.write(data, size);
    return true;
  }
  bool OnOpen() override {
    link.setReceiver([this](const uint8_t* d, size_t n) { Receive(d, n); });
    return true;
  }
  void OnClose() override { link.setReceiver(nullptr); }
};

inline TRWmbrReg Read(uint8_t function, uint16_t address, uint16_t count) {
  TRWmbrReg r;
  r.FunctionCode = function;
  r.Address = address;
  r.Count = count;
  r.Counted = 1;
  return r;
}

inline TRWmbrReg WriteRegister(uint16_t address, uint16_t value) {
  TRWmbrReg r;
  r.FunctionCode = 6;
  r.Address = address;
  r.Count = 1;
  r.Data = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  r.Counted = 1;
  return r;
}

// The text of a request frame as the Send log shows it (without the leading ":").
inline std::string Sent(const TRWmbrReg& r, uint8_t slave = 1) { return AsciiFrame(BuildRequestBytes(r, slave)).substr(1); }

inline constexpr uint16_t kHwAddress = 0x8001;  // GET_HW, input registers, 2 words
inline constexpr uint16_t kRunStop = 0xF001;    // GET_RUN_STOP, discrete input

class EngineTest : public ::testing::Test {
 protected:
  // Short time-outs keep the failure paths quick; answers from the simulator take well under 1 ms.
  void UseShortTimeouts() {
    settings.SetComReadTimeout(10);
    settings.SetComHandleTimeout(10);
    settings.SetGeneralTimeout(100);
    settings.SetResponseTimeout1(40);  // ResponseWait 60, TotalTimeout 60 + 2 x 80 + 100 = 320
  }

  void SetUp() override { Build({}); }

  void Build(sim::SimOptions options, sim::SimLinkOptions linkOptions = {}) {
    modbus.reset();
    port.reset();
    modbus = std::make_unique<TModBus>(1);
    port = std::make_shared<SimMemoryPort>(options, linkOptions);
    port->Attach(main, &settings);
    modbus->Attach(main, settings, &log);
    modbus->SetPort(port);
    modbus->HandleResponse = [this] {
      std::lock_guard lock(mu);
      ++handled;
      std::lock_guard r(modbus->ResponseLock);
      lastValue = modbus->ResponseValue;
    };
    modbus->ShowMessage = [this](const std::string& text) {
      std::lock_guard lock(mu);
      messages.push_back(text);
    };
    modbus->SetStatusTimer = [this](bool on) {
      std::lock_guard lock(mu);
      statusTimer = on;
    };
    modbus->TransferEnded = [this](const TTransferOutcome& o) {
      {
        std::lock_guard lock(mu);
        outcomes.push_back(o);
      }
      cv.notify_all();
    };
    OnMain([&] {
      ASSERT_TRUE(port->Open());
      modbus->ResetForConnect();
    });
  }

  void TearDown() override {
    if (modbus) modbus->Shutdown();
    modbus.reset();
    port.reset();
  }

  void OnMain(const std::function<void()>& fn) { main.runSync(fn); }

  bool Start(bool user, const std::string& name, const TRegistersArray& list, bool threadUserFlag = true) {
    bool started = false;
    OnMain([&] { started = modbus->StartTransfer(user, 1, threadUserFlag, name, list); });
    return started;
  }

  // Waits until `count` transfers have ended; generous, since a failing engine would hang here.
  std::vector<TTransferOutcome> WaitOutcomes(size_t count, int timeoutMs = 20000) {
    std::unique_lock lock(mu);
    cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return outcomes.size() >= count; });
    return outcomes;
  }

  TTransferOutcome WaitOne() {
    auto all = WaitOutcomes(1);
    if (all.empty()) {
      ADD_FAILURE() << "no transfer ended";
      return {};
    }
    return all.back();
  }

  // Waits for a log entry (any thread may produce it).
  bool WaitLog(int kind, const std::string& prefix, int timeoutMs = 20000) {
    std::unique_lock lock(log.mu);
    return log.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      for (const auto& e : log.entries) {
        if (e.kind == kind && e.text.rfind(prefix, 0) == 0) return true;
      }
      return false;
    });
  }

  TCommView View() {
    TCommView v;
    OnMain([&] { v = modbus->View; });
    return v;
  }

  TCommonDatas settings;
  EventLoopMainThread main{EventLoopMainThread::Mode::OwnThread};
  SequenceLog log;
  std::shared_ptr<SimMemoryPort> port;
  std::unique_ptr<TModBus> modbus;

  std::mutex mu;
  std::condition_variable cv;
  std::vector<TTransferOutcome> outcomes;
  std::vector<std::string> messages;
  int handled = 0;
  int32_t lastValue = 0;
  bool statusTimer = false;
};

}  // namespace ferrolad::testing
