// Kinematics of the simulated stepper: position and speed integrate over time with the
// acceleration and deceleration ramps; status bits as the controller reports them.
#pragma once

#include <cstdint>

namespace ferrolad::sim {

struct MotorRamps {
  int64_t maxSpeed = 100;  // pulses/s
  int64_t minSpeed = 100;  // start and stop speed, pulses/s
  int64_t accel = 100;     // register value; the ramp is accel × kRampUnit pulses/s²
  int64_t decel = 100;
};

// pulses/s² per unit of the ACCEL/DECEL registers
inline constexpr double kRampUnit = 100.0;

class MotorModel {
 public:
  // Motor status bits.
  static constexpr uint8_t kBridgesOff = 0x01, kHolding = 0x02, kAccel = 0x04, kDecel = 0x08,
                           kConstSpeed = 0x10, kBusyMove = 0x20, kBusyRun = 0x40;

  void advance(double seconds, const MotorRamps& ramps);

  void startRun(int dir);                        // dir: +1 forward, -1 backward
  void startMove(int dir, double distance);      // positioning, stops exactly after `distance` pulses
  // Go-until variants 5..10 on an input whose present level is `level`; false when the start check
  // refuses the motion (the input is already at the level the command waits for).
  bool startGoUntil(int dir, int code, bool level);
  void inputChanged(bool level);                 // the go-until input changed to `level`

  void hardStop();
  void slowStop();
  void hardHiz();
  void slowHiz();
  void energize() { energized_ = true; }

  bool moving() const { return mode_ != Mode::Idle; }
  bool energized() const { return energized_; }
  double speed() const { return speed_; }
  int dirSign() const { return dir_; }
  int32_t position() const;
  void setPosition(int32_t p);
  uint8_t statusBits() const;

 private:
  enum class Mode { Idle, Run, Move, GoUntil, Stopping };
  enum class Phase { None, Accel, Const, Decel };
  enum class Busy { None, Move, Run };

  void begin(Mode m, Busy b, int dir, const MotorRamps* ramps);
  void finish();
  void move(double dist) { pos_ += dir_ * dist; }

  Mode mode_ = Mode::Idle;
  Phase phase_ = Phase::None;
  Busy busy_ = Busy::None;
  bool energized_ = false;
  bool hizAfterStop_ = false;
  int dir_ = 1;
  int untilCode_ = 0;
  double pos_ = 0;        // pulses; reported modulo 2^32
  double speed_ = 0;      // pulses/s, magnitude
  double remaining_ = 0;  // pulses left of a positioning move
  double target_ = 0;
  bool startPending_ = false;  // speed jumps to the start speed on the first step
};

}  // namespace ferrolad::sim
