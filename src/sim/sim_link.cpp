#include "sim/sim_link.h"

namespace ferrolad::sim {

using Clock = std::chrono::steady_clock;

SimLink::SimLink(SimController& controller, SimLinkOptions options)
    : controller_(controller), options_(options) {
  thread_ = std::thread([this] { deliverLoop(); });
}

SimLink::~SimLink() {
  {
    std::lock_guard lock(queueMu_);
    stop_ = true;
  }
  queueCv_.notify_all();
  thread_.join();
}

void SimLink::setReceiver(Receiver receiver) {
  std::lock_guard lock(receiverMu_);
  receiver_ = std::move(receiver);
}

void SimLink::setWireBaud(int baud) {
  std::lock_guard lock(inMu_);
  options_.wireBaud = baud < 0 ? 0 : baud;
}

void SimLink::setTurnaroundUs(int us) {
  std::lock_guard lock(inMu_);
  options_.turnaroundUs = us < 0 ? 0 : us;
}

std::chrono::microseconds SimLink::WireTime(size_t requestChars, size_t answerChars, int baud, int turnaroundUs) {
  if (baud <= 0) return std::chrono::microseconds(0);
  auto bits = static_cast<int64_t>(requestChars + answerChars) * 10;
  return std::chrono::microseconds(bits * 1'000'000 / baud + turnaroundUs);
}

void SimLink::dropAnswers(int n) { std::lock_guard l(inMu_); drop_ = std::max(0, n); }
void SimLink::garbageAnswers(int n) { std::lock_guard l(inMu_); garbage_ = std::max(0, n); }
void SimLink::badLrcAnswers(int n) { std::lock_guard l(inMu_); badLrc_ = std::max(0, n); }
void SimLink::wrongIdAnswers(int n) { std::lock_guard l(inMu_); wrongId_ = std::max(0, n); }
void SimLink::wrongFunctionAnswers(int n) { std::lock_guard l(inMu_); wrongFn_ = std::max(0, n); }
void SimLink::setAnswerDelayMs(int ms) { std::lock_guard l(inMu_); delayMs_ = std::max(0, ms); }

FaultCounters SimLink::faultCounters() const {
  std::lock_guard l(inMu_);
  return counters_;
}

void SimLink::write(const uint8_t* data, size_t size) {
  std::vector<std::string> now;
  {
    std::lock_guard lock(inMu_);
    std::string frame;
    for (size_t i = 0; i < size; ++i)
      if (assembler_.push(static_cast<char>(data[i]), frame)) processFrame(frame, now);
  }
  for (const auto& answer : now) deliver(answer);  // inline delivery, outside the input lock
}

namespace {
// Rebuilds a good answer frame with one byte changed, so that only that byte is wrong.
std::string Rewrite(const std::string& frame, size_t index, uint8_t value) {
  std::vector<uint8_t> adu;
  if (ParseAsciiFrame(frame, adu) != FrameStatus::Ok || adu.size() <= index) return frame;
  adu[index] = value;
  return BuildAsciiFrame(adu);
}
}  // namespace

void SimLink::processFrame(const std::string& frame, std::vector<std::string>& inlineAnswers) {
  auto answer = controller_.handleFrame(frame);
  if (!answer) return;
  if (drop_ > 0) {
    --drop_;
    ++counters_.dropped;
    return;
  }
  std::string out = std::move(*answer);
  if (wrongId_ > 0) {
    --wrongId_;
    ++counters_.wrongId;
    uint8_t id = controller_.slaveId();
    out = Rewrite(out, 0, static_cast<uint8_t>(id >= 247 ? 1 : id + 1));
  }
  if (wrongFn_ > 0 && out.size() >= 5) {
    --wrongFn_;
    ++counters_.wrongFunction;
    std::vector<uint8_t> adu;
    if (ParseAsciiFrame(out, adu) == FrameStatus::Ok && adu.size() > 1)
      out = Rewrite(out, 1, static_cast<uint8_t>(adu[1] == 4 ? 3 : (adu[1] & 0x80) | ((adu[1] & 0x7F) + 1)));
  }
  if (badLrc_ > 0 && out.size() >= 5) {
    --badLrc_;
    ++counters_.badLrc;
    char& c = out[out.size() - 3];  // low digit of the LRC
    c = c == '0' ? '1' : '0';
  }
  if (garbage_ > 0) {
    --garbage_;
    ++counters_.garbage;
    out.insert(0, "#?\x7F!");
  }
  auto due = Clock::now() + WireTime(frame.size(), out.size(), options_.wireBaud, options_.turnaroundUs);
  if (delayMs_ > 0) {
    ++counters_.delayed;
    due += std::chrono::milliseconds(delayMs_);
  }
  bool immediate = options_.wireBaud <= 0 && delayMs_ == 0;
  if (immediate && options_.deliverInline) {
    inlineAnswers.push_back(std::move(out));
    return;
  }
  {
    std::lock_guard lock(queueMu_);
    queue_.push_back({due, std::move(out)});
  }
  queueCv_.notify_one();
}

void SimLink::deliver(const std::string& bytes) {
  std::lock_guard lock(receiverMu_);
  if (receiver_) receiver_(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void SimLink::deliverLoop() {
  std::unique_lock lock(queueMu_);
  for (;;) {
    queueCv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    auto due = queue_.front().due;
    // Sleep most of the way, then yield until due: timer slack would spoil the line time.
    if (Clock::now() + std::chrono::microseconds(300) < due) {
      queueCv_.wait_until(lock, due - std::chrono::microseconds(300), [&] { return stop_; });
      if (stop_) return;
    }
    while (Clock::now() < due) {
      lock.unlock();
      std::this_thread::yield();
      lock.lock();
      if (stop_) return;
    }
    Pending p = std::move(queue_.front());
    queue_.pop_front();
    delivering_ = true;
    lock.unlock();
    deliver(p.bytes);
    lock.lock();
    delivering_ = false;
    if (queue_.empty()) idleCv_.notify_all();
  }
}

bool SimLink::waitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(queueMu_);
  return idleCv_.wait_for(lock, timeout, [&] { return queue_.empty() && !delivering_; });
}

}  // namespace ferrolad::sim
