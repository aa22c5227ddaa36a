// The request engine carrying a program-upload-shaped transfer (register write, 21-register write,
// coil write, two verified reads, repeated) to the simulator, through every thread and hand-off.
// With the simulator's wire-time emulation at 115200 baud the time is compared with the pure line
// time of the same frames (counter "vs_wire"); without it the counter "requests/s" is the engine's
// own throughput.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cli/sim_port.h"
#include "comm/modbus.h"
#include "comm/modbus_frame.h"
#include "core/common_datas.h"
#include "core/main_thread.h"

namespace {

using namespace ferrolad;

constexpr int kRequests = 1000;
constexpr int kBaud = 115200;

TRegistersArray UploadShaped() {
  TRegistersArray list;
  for (int i = 0; list.size() < static_cast<size_t>(kRequests); ++i) {
    TRWmbrReg reg;
    reg.FunctionCode = 6;
    reg.Address = 0x5004;
    reg.Count = 1;
    reg.Data = {0x00, static_cast<uint8_t>(1 + i % 200)};
    reg.Counted = 1;
    TRWmbrReg block;
    block.FunctionCode = 16;
    block.Address = 0xF401;
    block.Count = 21;
    for (int w = 0; w < 21; ++w) block.Data.insert(block.Data.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(i)});
    TRWmbrReg coil;
    coil.FunctionCode = 5;
    coil.Address = 0x500A;
    coil.Count = 1;
    coil.Data = {0x00, static_cast<uint8_t>(i & 1)};
    TRWmbrReg runStop;  // must read STOP
    runStop.FunctionCode = 2;
    runStop.Address = 0xF001;
    runStop.Count = 1;
    runStop.Verify = 1;
    runStop.ExpectedValue = 0;
    TRWmbrReg rom = runStop;  // ROM state must be ready
    rom.Address = 0xF000;
    rom.RepeatUntilMatch = 1;
    for (const auto& r : {reg, block, coil, runStop, rom}) {
      if (list.size() < static_cast<size_t>(kRequests)) list.push_back(r);
    }
  }
  return list;
}

// Characters of the answer to a request: reads carry ceil(bits/8) or 2 x registers data bytes,
// writes echo six bytes.
size_t AnswerChars(const TRWmbrReg& r) {
  size_t data = 0;
  if (r.FunctionCode == 1 || r.FunctionCode == 2) data = (r.Count + 7u) / 8u;
  if (r.FunctionCode == 3 || r.FunctionCode == 4) data = 2u * r.Count;
  const size_t bytes = r.FunctionCode <= 4 ? 3 + data : 6;
  return 1 + 2 * bytes + 2 + 2;
}

std::chrono::microseconds WireTime(const TRegistersArray& list) {
  std::chrono::microseconds total{0};
  for (const auto& r : list) {
    const size_t request = AsciiFrame(BuildRequestBytes(r, 1)).size();
    total += sim::SimLink::WireTime(request, AnswerChars(r), kBaud, 0);
  }
  return total;
}

void RunTransfers(benchmark::State& state, int wireBaud) {
  TCommonDatas settings;
  settings.SetWriteLog(false);  // the log window is not part of this measurement
  EventLoopMainThread main{EventLoopMainThread::Mode::OwnThread};
  sim::SimOptions simOptions;
  simOptions.romBusyUs = 0;
  sim::SimLinkOptions linkOptions;
  linkOptions.wireBaud = wireBaud;
  linkOptions.turnaroundUs = 0;
  auto port = std::make_shared<SimPort>(simOptions, linkOptions);
  port->Attach(main, &settings);
  TModBus modbus(1);
  modbus.Attach(main, settings, nullptr);
  modbus.SetPort(port);
  std::mutex mu;
  std::condition_variable cv;
  bool ended = false;
  TTransferOutcome outcome;
  modbus.TransferEnded = [&](const TTransferOutcome& o) {
    std::lock_guard lock(mu);
    outcome = o;
    ended = true;
    cv.notify_all();
  };
  main.runSync([&] {
    port->Open();
    modbus.ResetForConnect();
  });
  const TRegistersArray list = UploadShaped();
  std::chrono::steady_clock::duration elapsed{};
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    {
      std::lock_guard lock(mu);
      ended = false;
    }
    bool started = false;
    main.runSync([&] { started = modbus.StartTransfer(true, 1, true, "Upload", list); });
    if (!started) {
      state.SkipWithError("transfer refused");
      break;
    }
    std::unique_lock lock(mu);
    cv.wait(lock, [&] { return ended; });
    if (outcome.Failed || outcome.Line != kRequests) {
      state.SkipWithError(("transfer failed: " + outcome.Message).c_str());
      break;
    }
    elapsed += std::chrono::steady_clock::now() - begin;
  }
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const auto iterations = static_cast<double>(state.iterations());
  if (seconds > 0) state.counters["requests/s"] = static_cast<double>(kRequests) * iterations / seconds;
  if (wireBaud > 0) {
    const double wireMs = static_cast<double>(WireTime(list).count()) / 1000.0;
    state.counters["wire_ms"] = wireMs;
    // Time per transfer over the line time of its frames.
    state.counters["vs_wire"] = seconds * 1000.0 / iterations / wireMs;
  }
  modbus.Shutdown();
}

void BM_UploadShapedTransferAtWireSpeed(benchmark::State& state) { RunTransfers(state, kBaud); }
void BM_UploadShapedTransferNoWire(benchmark::State& state) { RunTransfers(state, 0); }

BENCHMARK(BM_UploadShapedTransferAtWireSpeed)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_UploadShapedTransferNoWire)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
