// In-process byte-stream transport to a simulated controller, as a serial line would carry it:
// request bytes in, answer bytes out through a callback. Optional wire-time emulation and fault
// injection sit between the two. The port layer wraps this as the built-in port "SIM".
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/sim_controller.h"
#include "sim/slave_codec.h"

namespace ferrolad::sim {

struct SimLinkOptions {
  int wireBaud = 0;          // 0: answers as fast as possible; else delay by the line time
  int turnaroundUs = 1000;   // added to the line time when wire emulation is on
  // Call the receiver from write() itself when an answer is due at once. Faster, but the
  // receiver then runs on the writer's thread; by default a delivery thread calls it.
  bool deliverInline = false;
};

struct FaultCounters {
  uint64_t dropped = 0;
  uint64_t garbage = 0;
  uint64_t badLrc = 0;
  uint64_t delayed = 0;
  uint64_t wrongId = 0;
  uint64_t wrongFunction = 0;
};

class SimLink {
 public:
  // Receives a chunk of answer bytes. Must not call setReceiver(); may call write() when answers
  // come from the delivery thread (not with deliverInline).
  using Receiver = std::function<void(const uint8_t* data, size_t size)>;

  explicit SimLink(SimController& controller, SimLinkOptions options = {});
  ~SimLink();
  SimLink(const SimLink&) = delete;
  SimLink& operator=(const SimLink&) = delete;

  // Bytes from the client, in any chunking. Thread-safe.
  void write(const uint8_t* data, size_t size);
  void write(std::string_view text) { write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
  // Replaces the receiver; once it returns, the old receiver is not called any more.
  void setReceiver(Receiver receiver);

  void setWireBaud(int baud);
  void setTurnaroundUs(int us);
  // Wire time of a request and its answer with 10-bit characters, plus the turnaround.
  static std::chrono::microseconds WireTime(size_t requestChars, size_t answerChars, int baud, int turnaroundUs);

  // Faults, each applied to the next N answers (delay: to every answer until set to 0).
  void dropAnswers(int n);
  void garbageAnswers(int n);      // junk bytes in front of the answer
  void badLrcAnswers(int n);
  void wrongIdAnswers(int n);      // answer carries another slave ID (valid LRC)
  void wrongFunctionAnswers(int n);
  void setAnswerDelayMs(int ms);
  FaultCounters faultCounters() const;

  // Waits until every answer produced so far has been handed to the receiver.
  bool waitIdle(std::chrono::milliseconds timeout);

  SimController& controller() { return controller_; }

 private:
  struct Pending {
    std::chrono::steady_clock::time_point due;
    std::string bytes;
  };
  void deliverLoop();
  void deliver(const std::string& bytes);
  void processFrame(const std::string& frame, std::vector<std::string>& inlineAnswers);

  SimController& controller_;
  SimLinkOptions options_;

  mutable std::mutex inMu_;  // assembler and fault settings
  AsciiFrameAssembler assembler_;
  int drop_ = 0, garbage_ = 0, badLrc_ = 0, wrongId_ = 0, wrongFn_ = 0, delayMs_ = 0;
  FaultCounters counters_;

  std::mutex queueMu_;
  std::condition_variable queueCv_, idleCv_;
  std::deque<Pending> queue_;
  bool delivering_ = false;
  bool stop_ = false;

  std::mutex receiverMu_;  // held while the receiver runs
  Receiver receiver_;

  std::thread thread_;
};

}  // namespace ferrolad::sim
