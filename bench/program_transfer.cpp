// Upload and download of a 2 000-line program through the request engine against the simulator with
// wire-time emulation at 115200 baud, compared with the time the characters need on the line.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "cli/sim_port.h"
#include "comm/com_port.h"
#include "comm/modbus.h"
#include "comm/modbus_frame.h"
#include "core/common_datas.h"
#include "core/main_thread.h"
#include "device/controller_link.h"
#include "device/program_upload.h"
#include "sim/sim_link.h"

namespace {

using namespace ferrolad;

constexpr int kBaud = 115200;
constexpr int kTurnaroundUs = 1000;
constexpr int kLines = 2000;


// Characters of the answer to a request (":" + hex of the bytes and the LRC + CR LF).
size_t AnswerChars(const TRWmbrReg& r) {
  size_t bytes = 6;
  if (r.FunctionCode == 1 || r.FunctionCode == 2) bytes = 3 + (r.Count + 7u) / 8u;
  if (r.FunctionCode == 3 || r.FunctionCode == 4) bytes = 3 + 2u * r.Count;
  return 1 + 2 * (bytes + 1) + 2;
}

struct WireTime {
  double chars = 0;       // seconds for the characters alone
  double withTurns = 0;   // plus the emulated turnaround of every exchange
};

WireTime Wire(const TRegistersArray& list) {
  WireTime w;
  for (const TRWmbrReg& r : list) {
    const size_t chars = AsciiFrame(BuildRequestBytes(r, 1)).size() + AnswerChars(r);
    w.chars += static_cast<double>(chars) * 10.0 / kBaud;
    w.withTurns += static_cast<double>(chars) * 10.0 / kBaud + kTurnaroundUs / 1e6;
  }
  return w;
}

std::vector<std::string> Program() {
  std::vector<std::string> lines;
  for (int i = 0; i < kLines - 1; ++i) {
    switch (i % 4) {
      case 0: lines.push_back("LD\tX" + std::to_string(i % 8)); break;
      case 1: lines.push_back("AND\tM" + std::to_string(i % 100)); break;
      case 2: lines.push_back("MOV\tK" + std::to_string(i) + "\tD" + std::to_string(i % 200)); break;
      default: lines.push_back("OUT\tY" + std::to_string(i % 8)); break;
    }
  }
  lines.push_back("END");
  return lines;
}

struct Rig {
  Rig() {
    sim::SimOptions options;
    options.romBusyUs = 0;  // the controller's own store time is not the engine's
    sim::SimLinkOptions linkOptions;
    linkOptions.wireBaud = kBaud;
    linkOptions.turnaroundUs = kTurnaroundUs;
    port = std::make_shared<SimPort>(options, linkOptions);
    modbus = std::make_unique<TModBus>(1);
    settings.SetWriteLog(false);
    port->Attach(main, &settings);
    modbus->Attach(main, settings, nullptr);
    modbus->SetPort(port);
    link = std::make_unique<TControllerLink>(*modbus, main, settings);
    modbus->TransferEnded = [this](const TTransferOutcome& o) {
      last = o;
      ended = true;
    };
    main.runSync([&] {
      link->Bind();
      port->Open();
      modbus->ResetForConnect();
    });
  }
  ~Rig() {
    main.runSync([&] { link->StopReading(); });
    modbus->Shutdown();
  }
  bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 600000; ++i) {
      bool ok = false;
      main.runSync([&] { ok = done(); });
      if (ok) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  TCommonDatas settings;
  EventLoopMainThread main{EventLoopMainThread::Mode::OwnThread};
  std::shared_ptr<SimPort> port;
  std::unique_ptr<TModBus> modbus;
  std::unique_ptr<TControllerLink> link;
  TTransferOutcome last;
  bool ended = false;
};

void BM_Upload2000(benchmark::State& state) {
  const auto program = Program();
  const TUploadRequests build = BuildUploadRequests(program, TProgramType::Main);
  const WireTime wire = Wire(build.Requests);
  Rig rig;
  for (auto _ : state) {
    rig.ended = false;
    bool started = false;
    const auto t0 = std::chrono::steady_clock::now();
    rig.main.runSync([&] { started = UploadProgram(*rig.modbus, program, TProgramType::Main, 1).Started; });
    if (!started || !rig.WaitUntil([&] { return rig.ended; }) || rig.last.Failed) {
      state.SkipWithError("upload failed");
      break;
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(s);
    state.counters["seconds"] = s;
    state.counters["wire_s"] = wire.chars;
    state.counters["wire_turn_s"] = wire.withTurns;
    state.counters["ratio"] = s / wire.chars;
    state.counters["requests"] = static_cast<double>(build.Requests.size());
  }
}

void BM_Download2000(benchmark::State& state) {
  const auto program = Program();
  Rig rig;
  rig.main.runSync([&] { UploadProgram(*rig.modbus, program, TProgramType::Main, 1); });
  rig.WaitUntil([&] { return rig.ended; });
  // Identify, so that the model's command table is known.
  rig.main.runSync([&] { rig.link->StartIdentification(); });
  rig.WaitUntil([&] { return rig.link->Ident.Finished; });
  const auto model = CurrentDevice();
  TRegistersArray all = *TPacketReadThread::PartOneRequests(*model, TProgramType::Main);
  for (int line = 0; line < kLines; line += kLinesPerPacket) {
    const auto packet = TPacketReadThread::PacketRequests(*model, line, kLinesPerPacket, rig.settings.MaxReadRegisters());
    all.insert(all.end(), packet->begin(), packet->end());
  }
  const WireTime wire = Wire(all);
  for (auto _ : state) {
    rig.main.runSync([&] { rig.link->Program = {}; });
    const auto t0 = std::chrono::steady_clock::now();
    bool started = false;
    rig.main.runSync([&] { started = rig.link->StartReading(TProgramType::Main, 1); });
    if (!started || !rig.WaitUntil([&] { return !rig.link->ReadingRunning(); })) {
      state.SkipWithError("download failed");
      break;
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    size_t lines = 0;
    rig.main.runSync([&] { lines = rig.link->Program.MemoIL.size(); });
    if (lines != static_cast<size_t>(kLines) + 1) {
      state.SkipWithError("download incomplete");
      break;
    }
    state.SetIterationTime(s);
    state.counters["seconds"] = s;
    state.counters["wire_s"] = wire.chars;
    state.counters["wire_turn_s"] = wire.withTurns;
    state.counters["ratio"] = s / wire.chars;
    state.counters["requests"] = static_cast<double>(all.size());
  }
}

BENCHMARK(BM_Upload2000)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Download2000)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
