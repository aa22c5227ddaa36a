// Throughput of the receive path: valid 123-register read answers cut into chunks of 1..1000
// characters, each chunk handed to ProcessReceived as the port would deliver it. The wire carries at
// most 11 520 characters per second at 115200 baud; the target is 100 times that.
#include <benchmark/benchmark.h>

#include <string>

#include "comm/modbus_frame.h"
#include "comm/modbus_response.h"

using namespace ferrolad;

namespace {

struct DiscardLog : TransferLogSink {
  size_t chars = 0;
  void PostLogEntry(LogEntryKind, std::string text) override { chars += text.size(); }
  void AddLogLine(std::string text) override { chars += text.size(); }
};

std::string Stream(int frames) {
  TBytesArray answer = {0x01, 0x03, 246};
  for (int i = 0; i < 246; ++i) answer.push_back(static_cast<uint8_t>(i * 7));
  std::string frame = ":" ;
  for (uint8_t b : answer) {
    static const char* hex = "0123456789ABCDEF";
    frame += hex[b >> 4];
    frame += hex[b & 15];
  }
  const TBytesArray lrc = {ComputeLrc(answer)};
  frame += HexText(lrc) + "\r\n";
  std::string stream;
  for (int i = 0; i < frames; ++i) stream += frame;
  return stream;
}

void Receive(benchmark::State& state, bool withLog) {
  const size_t chunk = static_cast<size_t>(state.range(0));
  const std::string stream = Stream(64);
  ModbusResponseChecker checker;
  DiscardLog log;
  if (withLog) checker.Log = &log;
  checker.DeviceID = 1;
  checker.SetExpectations(AsciiFrame(TBytesArray{0x01, 0x03, 0x00, 0x00, 0x00, 123}));
  size_t good = 0, chars = 0;
  for (auto _ : state) {
    for (size_t pos = 0; pos < stream.size(); pos += chunk) {
      checker.ProcessReceived(std::string_view(stream).substr(pos, chunk));
      good += checker.ResponseValid.exchange(0);
      // A chunk may close more than one frame; the next delivery takes the next one.
      while (checker.ReceiveBuffer.find("\r\n") != std::string::npos) {
        checker.ProcessReceived({});
        good += checker.ResponseValid.exchange(0);
      }
    }
    chars += stream.size();
  }
  if (good != 64 * static_cast<size_t>(state.iterations())) state.SkipWithError("a frame was not accepted");
  state.counters["chars_per_second"] = benchmark::Counter(static_cast<double>(chars), benchmark::Counter::kIsRate);
  state.counters["x_wire_speed"] =
      benchmark::Counter(static_cast<double>(chars) / 11520.0, benchmark::Counter::kIsRate);
}

void BM_ProcessReceived(benchmark::State& state) { Receive(state, false); }
void BM_ProcessReceivedLogged(benchmark::State& state) { Receive(state, true); }

}  // namespace

BENCHMARK(BM_ProcessReceived)->Arg(1)->Arg(7)->Arg(64)->Arg(250)->Arg(503)->Arg(1000);
BENCHMARK(BM_ProcessReceivedLogged)->Arg(1)->Arg(7)->Arg(64)->Arg(250)->Arg(503)->Arg(1000);
