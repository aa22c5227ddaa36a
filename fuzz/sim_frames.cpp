// Arbitrary bytes as requests to the simulated controller, as raw ADUs and as a byte stream cut into
// frames: no crash, and every answer is a well-formed frame for the simulator's own slave ID.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_controller.h"
#include "sim/slave_codec.h"

using namespace ferrolad::sim;

namespace {

void CheckAnswer(const std::vector<uint8_t>& answer, uint8_t slaveId) {
  // Address, function and at least one more byte; a Modbus PDU is at most 253 bytes.
  if (answer.size() < 3 || answer.size() > 254) std::abort();
  if (answer[0] != slaveId) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  auto clock = std::make_shared<ManualSimClock>();
  SimOptions opts;
  opts.model = static_cast<SimModel>(data[0] % 4);
  opts.slaveId = 1;
  opts.clock = clock;
  SimController sim(opts);
  const uint8_t* p = data + 1;
  const size_t n = size - 1;

  if (data[0] & 0x80) {
    // Stream mode: the bytes as received text, with slave ID fixed so that frames reach the handler.
    AsciiFrameAssembler assembler;
    std::string frame;
    for (size_t i = 0; i < n; ++i) {
      if (!assembler.push(static_cast<char>(p[i]), frame)) continue;
      const auto answer = sim.handleFrame(frame);
      if (!answer) continue;
      std::vector<uint8_t> decoded;
      if (ParseAsciiFrame(*answer, decoded) != FrameStatus::Ok) std::abort();
      if (BuildAsciiFrame(decoded) != *answer) std::abort();
      CheckAnswer(decoded, opts.slaveId);
      clock->advanceMs(1);
    }
    return 0;
  }

  // ADU mode: a sequence of requests, each prefixed by its length; the slave ID is forced to ours
  // every other time so that most requests are really handled.
  size_t pos = 0;
  bool forceId = true;
  while (pos < n) {
    const size_t len = p[pos] % 64 + 1;
    ++pos;
    const size_t take = len < n - pos ? len : n - pos;
    std::vector<uint8_t> adu(p + pos, p + pos + take);
    pos += take;
    if (forceId && !adu.empty()) adu[0] = opts.slaveId;
    forceId = !forceId;
    const auto answer = sim.handleAdu(adu);
    if (answer) {
      CheckAnswer(*answer, opts.slaveId);
      // The framed path must give the same answer as the raw one.
      std::vector<uint8_t> check;
      if (ParseAsciiFrame(BuildAsciiFrame(*answer), check) != FrameStatus::Ok || check != *answer) std::abort();
    }
    clock->advanceUs(static_cast<int64_t>(take) * 137);
  }
  return 0;
}
