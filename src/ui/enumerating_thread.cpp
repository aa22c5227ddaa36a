#include "ui/enumerating_thread.h"

namespace ferrolad {

TEnumeratingThread::TEnumeratingThread(MainGate& gate, std::function<void()> begin, std::function<void()> number,
                                       std::function<void()> end, std::function<void()> finished) {
  thread_ = std::thread([&gate, begin = std::move(begin), number = std::move(number), end = std::move(end),
                         finished = std::move(finished)] {
    // A closed gate (window closing) skips the remaining steps; nothing waits on a dead window.
    if (gate.RunSync(begin)) {
      gate.RunSync(number);
      gate.RunSync(end);
    }
    gate.Post(finished);
  });
}

TEnumeratingThread::~TEnumeratingThread() {
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

}  // namespace ferrolad
