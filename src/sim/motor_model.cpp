#include "sim/motor_model.h"

#include <algorithm>
#include <cmath>

namespace ferrolad::sim {

namespace {
constexpr double kStep = 0.001;  // integration step while the speed changes, seconds
}

int32_t MotorModel::position() const {
  auto p = static_cast<int64_t>(std::llround(pos_));
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(p)));
}

void MotorModel::setPosition(int32_t p) {
  double shift = static_cast<double>(p) - pos_;
  pos_ = p;
  target_ += shift;
}

void MotorModel::begin(Mode m, Busy b, int dir, const MotorRamps*) {
  mode_ = m;
  busy_ = b;
  dir_ = dir >= 0 ? 1 : -1;
  energized_ = true;
  hizAfterStop_ = false;
  phase_ = Phase::Accel;
  startPending_ = speed_ <= 0;
}

void MotorModel::startRun(int dir) {
  if (moving() && dir_ != (dir >= 0 ? 1 : -1)) speed_ = 0;  // reversing restarts from standstill
  begin(Mode::Run, Busy::Run, dir, nullptr);
}

void MotorModel::startMove(int dir, double distance) {
  if (moving() && dir_ != (dir >= 0 ? 1 : -1)) speed_ = 0;
  if (distance <= 0) {
    speed_ = 0;
    mode_ = Mode::Idle;
    phase_ = Phase::None;
    busy_ = Busy::None;
    energized_ = true;
    return;
  }
  begin(Mode::Move, Busy::Move, dir, nullptr);
  remaining_ = distance;
  target_ = pos_ + dir_ * distance;
}

bool MotorModel::startGoUntil(int dir, int code, bool level) {
  // 5 and 7 wait for a rising edge and check the level first; 9 waits for a falling edge.
  if ((code == 5 || code == 7) && level) return false;
  if (code == 9 && !level) return false;
  if (moving() && dir_ != (dir >= 0 ? 1 : -1)) speed_ = 0;
  begin(Mode::GoUntil, Busy::Run, dir, nullptr);
  untilCode_ = code;
  return true;
}

void MotorModel::inputChanged(bool level) {
  if (mode_ != Mode::GoUntil) return;
  switch (untilCode_) {
    case 5:
    case 6:
      if (level) {
        mode_ = Mode::Stopping;
        hizAfterStop_ = false;
      }
      break;
    case 7:
    case 8:
      if (level) hardStop();
      break;
    case 9:
    case 10:
      if (!level) hardStop();
      break;
    default:
      break;
  }
}

void MotorModel::finish() {
  speed_ = 0;
  mode_ = Mode::Idle;
  phase_ = Phase::None;
  busy_ = Busy::None;
  if (hizAfterStop_) energized_ = false;
  hizAfterStop_ = false;
}

void MotorModel::hardStop() {
  hizAfterStop_ = false;
  finish();
  energized_ = true;
}

void MotorModel::hardHiz() {
  hizAfterStop_ = true;
  finish();
}

void MotorModel::slowStop() {
  if (!moving()) {
    energized_ = true;
    return;
  }
  mode_ = Mode::Stopping;
  hizAfterStop_ = false;
}

void MotorModel::slowHiz() {
  if (!moving()) {
    energized_ = false;
    return;
  }
  mode_ = Mode::Stopping;
  hizAfterStop_ = true;
}

uint8_t MotorModel::statusBits() const {
  uint8_t s = 0;
  if (!energized_) s |= kBridgesOff;
  if (!moving()) return static_cast<uint8_t>(s | (energized_ ? kHolding : 0));
  if (phase_ == Phase::Accel) s |= kAccel;
  if (phase_ == Phase::Decel) s |= kDecel;
  if (phase_ == Phase::Const) s |= kConstSpeed;
  if (busy_ == Busy::Move) s |= kBusyMove;
  if (busy_ == Busy::Run) s |= kBusyRun;
  return s;
}

void MotorModel::advance(double dt, const MotorRamps& r) {
  const double vmax = static_cast<double>(std::max<int64_t>(r.maxSpeed, 1));
  const double vmin = std::min(static_cast<double>(std::max<int64_t>(r.minSpeed, 1)), vmax);
  const double a = static_cast<double>(std::max<int64_t>(r.accel, 1)) * kRampUnit;
  const double d = static_cast<double>(std::max<int64_t>(r.decel, 1)) * kRampUnit;
  auto stopDistance = [&](double v) { return v > vmin ? (v * v - vmin * vmin) / (2 * d) : 0.0; };

  if (moving() && startPending_) {
    speed_ = std::max(speed_, vmin);
    startPending_ = false;
  }
  int guard = 0;
  while (dt > 1e-12 && moving() && ++guard < 10'000'000) {
    switch (mode_) {
      case Mode::Run:
      case Mode::GoUntil: {
        if (speed_ < vmax) {
          phase_ = Phase::Accel;
          double t = std::min(dt, (vmax - speed_) / a);
          move(speed_ * t + a * t * t / 2);
          speed_ = std::min(vmax, speed_ + a * t);
          dt -= t;
        } else if (speed_ > vmax) {
          phase_ = Phase::Decel;
          double t = std::min(dt, (speed_ - vmax) / d);
          move(speed_ * t - d * t * t / 2);
          speed_ = std::max(vmax, speed_ - d * t);
          dt -= t;
        } else {
          phase_ = Phase::Const;
          move(speed_ * dt);
          dt = 0;
        }
        break;
      }
      case Mode::Stopping: {
        phase_ = Phase::Decel;
        if (speed_ <= vmin) {
          finish();
          break;
        }
        double t = std::min(dt, (speed_ - vmin) / d);
        move(speed_ * t - d * t * t / 2);
        speed_ = std::max(vmin, speed_ - d * t);
        dt -= t;
        if (speed_ <= vmin) finish();
        break;
      }
      case Mode::Move: {
        if (remaining_ <= 1e-9) {
          pos_ = target_;
          finish();
          break;
        }
        double t, s;
        if (speed_ > vmax || stopDistance(speed_) >= remaining_) {
          phase_ = Phase::Decel;
          if (speed_ <= vmin) {
            t = std::min(dt, remaining_ / speed_);
            s = speed_ * t;
          } else {
            t = std::min({dt, (speed_ - vmin) / d, kStep});
            s = speed_ * t - d * t * t / 2;
            speed_ = std::max(vmin, speed_ - d * t);
          }
        } else if (speed_ < vmax) {
          phase_ = Phase::Accel;
          t = std::min({dt, (vmax - speed_) / a, kStep});
          s = speed_ * t + a * t * t / 2;
          speed_ = std::min(vmax, speed_ + a * t);
        } else {
          phase_ = Phase::Const;
          double cruise = remaining_ - stopDistance(speed_);
          t = std::min(dt, std::max(cruise / speed_, 1e-6));
          s = speed_ * t;
        }
        s = std::min(s, remaining_);
        move(s);
        remaining_ -= s;
        dt -= t;
        if (remaining_ <= 1e-9) {
          pos_ = target_;
          finish();
        }
        break;
      }
      case Mode::Idle:
        break;
    }
  }
}

}  // namespace ferrolad::sim
