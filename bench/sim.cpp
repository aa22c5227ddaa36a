// Simulator throughput (requests per second, in process) and the cost of wire-time emulation.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "sim/sim_link.h"

namespace {

using namespace ferrolad::sim;

std::string Frame(std::initializer_list<uint8_t> adu) {
  static const char* hex = "0123456789ABCDEF";
  std::string s = ":";
  unsigned sum = 0;
  for (uint8_t b : adu) {
    s += hex[b >> 4];
    s += hex[b & 15];
    sum += b;
  }
  auto lrc = uint8_t(0x100 - (sum & 0xFF));
  s += hex[lrc >> 4];
  s += hex[lrc & 15];
  return s + "\r\n";
}

// 17 characters; the answer has 15.
const std::string kReadAccel = Frame({1, 3, 0x50, 0x04, 0, 1});

// The controller alone: one frame in, one frame out.
void BM_ControllerFrame(benchmark::State& state) {
  SimController c;
  for (auto _ : state) benchmark::DoNotOptimize(c.handleFrame(kReadAccel));
  state.counters["requests/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ControllerFrame)->UseRealTime();

// Through the byte-stream link as the port layer uses it: write, wait for the answer.
void LinkRoundTrip(benchmark::State& state, SimLinkOptions o) {
  SimController c;
  SimLink link(c, o);
  std::mutex mu;
  std::condition_variable cv;
  size_t got = 0;
  link.setReceiver([&](const uint8_t*, size_t n) {
    std::lock_guard l(mu);
    got += n;
    cv.notify_one();
  });
  double wire = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    link.write(kReadAccel);
    std::unique_lock l(mu);
    cv.wait(l, [&] { return got >= 15; });
    got = 0;
    wire += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  state.counters["requests/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  if (o.wireBaud > 0) {
    double expected = double(SimLink::WireTime(17, 15, o.wireBaud, o.turnaroundUs).count()) / 1e6;
    double measured = wire / double(state.iterations());
    state.counters["expected_us"] = expected * 1e6;
    state.counters["measured_us"] = measured * 1e6;
    state.counters["deviation_%"] = (measured - expected) / expected * 100.0;
  }
}

void BM_LinkInline(benchmark::State& state) {
  SimLinkOptions o;
  o.deliverInline = true;
  LinkRoundTrip(state, o);
}
BENCHMARK(BM_LinkInline)->UseRealTime();

void BM_LinkDeliveryThread(benchmark::State& state) { LinkRoundTrip(state, {}); }
BENCHMARK(BM_LinkDeliveryThread)->UseRealTime();

void BM_LinkWire115200(benchmark::State& state) {
  SimLinkOptions o;
  o.wireBaud = 115200;
  o.turnaroundUs = 1000;
  LinkRoundTrip(state, o);
}
BENCHMARK(BM_LinkWire115200)->UseRealTime()->Iterations(300);

}  // namespace
