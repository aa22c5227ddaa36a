#include "comm/worker_thread.h"

#include <algorithm>
#include <chrono>

namespace ferrolad {

TWorkerThread::~TWorkerThread() { Join(); }

void TWorkerThread::Start() {
  thread_ = std::thread([this] {
    Execute();
    done_ = true;
  });
}

void TWorkerThread::Terminate() {
  {
    std::lock_guard lock(mu_);
    terminated_ = true;
  }
  cv_.notify_all();
}

void TWorkerThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TWorkerThread::Sleep(int ms) {
  std::unique_lock lock(mu_);
  return !cv_.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [this] { return terminated_.load(); });
}

bool TWorkerThread::WaitFor(ManualResetEvent& event, int ms, const std::atomic<bool>* stop) {
  // Slices keep a terminated worker from sitting out a long time-out; a signal still wakes at once.
  constexpr int kSlice = 20;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (event.wait(static_cast<int>(std::clamp<long long>(left, 0, kSlice)))) return true;
    if (terminated_ || (stop != nullptr && stop->load())) return false;
    if (left <= kSlice) return event.isSet();
  }
}

}  // namespace ferrolad
