#include "comm/main_gate.h"

namespace ferrolad {

MainGate::MainGate(MainThread& main) : main_(main), state_(std::make_shared<State>()) {}

MainGate::~MainGate() { Close(); }

bool MainGate::Closed() const {
  std::lock_guard lock(state_->mu);
  return state_->closed;
}

void MainGate::Close() {
  {
    std::lock_guard lock(state_->mu);
    state_->closed = true;
  }
  state_->cv.notify_all();
  // A routine that already started finishes before the gate's owner goes away.
  std::lock_guard wait(state_->running);
}

bool MainGate::RunSync(std::function<void()> fn) {
  auto state = state_;
  if (main_.isCurrentThread()) {
    std::lock_guard run(state->running);
    if (Closed()) return false;
    fn();
    return true;
  }
  struct Call {
    bool done = false;
    bool ran = false;
  };
  auto call = std::make_shared<Call>();
  {
    std::lock_guard lock(state->mu);
    if (state->closed) return false;
  }
  main_.post([state, call, fn = std::move(fn)] {
    std::lock_guard run(state->running);
    bool closed;
    {
      std::lock_guard lock(state->mu);
      closed = state->closed;
    }
    if (!closed) fn();
    {
      std::lock_guard lock(state->mu);
      call->done = true;
      call->ran = !closed;
    }
    state->cv.notify_all();
  });
  std::unique_lock lock(state->mu);
  state->cv.wait(lock, [&] { return call->done || state->closed; });
  return call->done && call->ran;
}

void MainGate::Post(std::function<void()> fn) {
  auto state = state_;
  {
    std::lock_guard lock(state->mu);
    if (state->closed) return;
  }
  main_.post([state, fn = std::move(fn)] {
    std::lock_guard run(state->running);
    {
      std::lock_guard lock(state->mu);
      if (state->closed) return;
    }
    fn();
  });
}

}  // namespace ferrolad
