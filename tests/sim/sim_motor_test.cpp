// Motor model driven through the motion command rows, with a clock advanced by hand.
#include <gtest/gtest.h>

#include "sim/motor_model.h"
#include "sim/sim_controller.h"
#include "sim_test_util.h"

namespace ferrolad::sim {
namespace {

using test::Master;
using M = MotorModel;

class Motor : public testing::Test {
 protected:
  Motor() : c_(Options()), m_{c_} {
    c_.setRun(true);
    // 100 → 1000 pulses/s at 1000 pulses/s² takes 0.9 s and 495 pulses each way
    EXPECT_TRUE(m_.setRegs(0x5000, test::Words32(1000)));
    EXPECT_TRUE(m_.setRegs(0x5002, test::Words32(100)));
    EXPECT_TRUE(m_.setReg(0x5004, 10));
    EXPECT_TRUE(m_.setReg(0x5005, 10));
  }
  SimOptions Options() {
    SimOptions o;
    o.clock = clock_;
    return o;
  }
  // The direct-control sequence: direction, target, command, apply.
  void Command(int cmd, int dir, int32_t target = 0) {
    ASSERT_TRUE(m_.setReg(0x500A, uint16_t(dir)));
    ASSERT_TRUE(m_.setRegs(0x500E, test::Words32(target)));
    ASSERT_TRUE(m_.setReg(0x5010, uint16_t(cmd)));
    ASSERT_TRUE(m_.coil(0x5100, true));
  }
  int64_t Pos() { return m_.reg32(3, 0x5006); }
  int64_t Speed() { return m_.reg32(4, 0x5047); }
  int64_t Status() { return m_.reg(4, 0x5037); }

  std::shared_ptr<ManualSimClock> clock_ = std::make_shared<ManualSimClock>();
  SimController c_;
  Master m_;
};

TEST_F(Motor, MoveByOffsetFollowsTheRamps) {
  EXPECT_EQ(Status(), M::kBridgesOff) << "de-energised at power-on";
  Command(1, 1, 5000);
  clock_->advanceMs(100);
  EXPECT_EQ(Status(), M::kAccel | M::kBusyMove);
  EXPECT_NEAR(Speed(), 200, 2);
  EXPECT_NEAR(Pos(), 15, 1);  // 100·0.1 + 1000·0.01/2
  clock_->advanceMs(1900);
  EXPECT_EQ(Status(), M::kConstSpeed | M::kBusyMove);
  EXPECT_EQ(Speed(), 1000);
  EXPECT_NEAR(Pos(), 495 + 1100, 2);
  clock_->advanceMs(3400);  // the deceleration starts 495 pulses before the target
  EXPECT_EQ(Status(), M::kDecel | M::kBusyMove);
  clock_->advanceMs(2000);
  EXPECT_EQ(Pos(), 5000);
  EXPECT_EQ(Speed(), 0);
  EXPECT_EQ(Status(), M::kHolding);
  Command(1, 0, 2000);  // backward
  clock_->advanceMs(10000);
  EXPECT_EQ(Pos(), 3000);
  Command(1, 1, -500);  // a negative offset reverses the direction
  clock_->advanceMs(10000);
  EXPECT_EQ(Pos(), 2500);
}

TEST_F(Motor, GoToPositionsAndHome) {
  Command(2, 1, -300);  // shortest way: the direction register does not matter
  clock_->advanceMs(10000);
  EXPECT_EQ(Pos(), -300);
  Command(4, 0);
  clock_->advanceMs(10000);
  EXPECT_EQ(Pos(), 0);
  Command(3, 0, 700);  // with direction: backward to 700 is the long way round the counter
  clock_->advanceMs(3000);
  EXPECT_LT(Pos(), -1000);
  EXPECT_TRUE(Status() & M::kBusyMove);
  ASSERT_TRUE(m_.coil(0x5102, true));  // HARD STOP
  EXPECT_EQ(Speed(), 0);
  EXPECT_EQ(Status(), M::kHolding);
  ASSERT_TRUE(m_.setRegs(0x5006, test::Words32(650)));  // SET_ABS_POS
  Command(3, 1, 700);
  clock_->advanceMs(5000);
  EXPECT_EQ(Pos(), 700);
}

TEST_F(Motor, RunAndTheFourStops) {
  Command(0, 0);
  clock_->advanceMs(2000);
  EXPECT_EQ(Status(), M::kConstSpeed | M::kBusyRun);
  int64_t before = Pos();
  EXPECT_LT(before, -1000);
  ASSERT_TRUE(m_.coil(0x5104, true));  // SLOW STOP
  clock_->advanceMs(100);
  EXPECT_EQ(Status(), M::kDecel | M::kBusyRun);
  clock_->advanceMs(2000);
  EXPECT_EQ(Status(), M::kHolding);
  EXPECT_NEAR(Pos(), before - 495, 2);

  Command(0, 1);
  clock_->advanceMs(500);
  ASSERT_TRUE(m_.coil(0x5105, true));  // SLOW HIZ
  clock_->advanceMs(2000);
  EXPECT_EQ(Status(), M::kBridgesOff);
  ASSERT_TRUE(m_.coil(0x5101, true));  // TORQUE
  EXPECT_EQ(Status(), M::kHolding);

  Command(0, 1);
  clock_->advanceMs(500);
  ASSERT_TRUE(m_.coil(0x5103, true));  // HARD HIZ
  EXPECT_EQ(Speed(), 0);
  EXPECT_EQ(Status(), M::kBridgesOff);
}

TEST_F(Motor, GoUntilVariants) {
  ASSERT_TRUE(m_.setReg(0x5011, 2));  // SW_INPUT = X2
  struct Case {
    int code;
    bool levelAtStart, edgeTo;
    bool starts;
    uint8_t statusAfterEdge;  // right after the edge
  };
  const std::vector<Case> cases = {
      {5, true, true, false, 0},                          // checks the level first: already high
      {5, false, true, true, M::kDecel | M::kBusyRun},    // smooth stop
      {6, true, true, true, M::kDecel | M::kBusyRun},     // front: waits for the next rising edge
      {7, false, true, true, M::kHolding},                // hard stop
      {8, false, true, true, M::kHolding},
      {9, false, false, false, 0},                        // release: already low
      {9, true, false, true, M::kHolding},
      {10, true, false, true, M::kHolding},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.code);
    ASSERT_TRUE(m_.coil(0x5102, true));
    c_.setInput(2, k.levelAtStart);
    if (k.code == 6 && k.levelAtStart) {
      Command(k.code, 1);
      c_.setInput(2, false);  // falling edge first: no stop
    } else {
      Command(k.code, 1);
    }
    clock_->advanceMs(1000);
    if (!k.starts) {
      EXPECT_EQ(Speed(), 0);
      continue;
    }
    ASSERT_GT(Speed(), 0);
    c_.setInput(2, k.edgeTo);
    clock_->advanceMs(1);
    EXPECT_EQ(Status(), k.statusAfterEdge);
    clock_->advanceMs(2000);
    EXPECT_EQ(Speed(), 0);
  }
  // an edge on another input does nothing
  c_.setInput(2, false);
  Command(7, 1);
  clock_->advanceMs(100);
  c_.setInput(3, true);
  clock_->advanceMs(100);
  EXPECT_GT(Speed(), 0);
}

TEST_F(Motor, MotionOnlyInRun) {
  c_.setRun(false);
  Command(1, 1, 1000);
  clock_->advanceMs(3000);
  EXPECT_EQ(Pos(), 0);
  EXPECT_EQ(c_.stats().refusedMotion, 1u);
  c_.setRun(true);
  Command(0, 1);
  clock_->advanceMs(2000);
  c_.setRun(false);  // the switch to STOP brings the motor down with its ramp
  clock_->advanceMs(100);
  EXPECT_TRUE(Status() & M::kDecel);
  clock_->advanceMs(2000);
  EXPECT_EQ(Speed(), 0);
}

TEST_F(Motor, LoweredMaximumSpeedDecelerates) {
  Command(0, 1);
  clock_->advanceMs(2000);
  ASSERT_TRUE(m_.setRegs(0x5000, test::Words32(500)));
  clock_->advanceMs(100);
  EXPECT_EQ(Status(), M::kDecel | M::kBusyRun);
  clock_->advanceMs(1000);
  EXPECT_EQ(Speed(), 500);
}

}  // namespace
}  // namespace ferrolad::sim
