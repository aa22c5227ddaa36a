// Debug interface: debug mode, suspend, single step, breakpoints, operand read and forcing.
#include <gtest/gtest.h>

#include "sim/sim_controller.h"
#include "sim_test_util.h"

namespace ferrolad::sim {
namespace {

using test::Master;

UploadRecord Code(uint16_t code) {
  UploadRecord r{};
  r[0] = uint8_t(code >> 8);
  r[1] = uint8_t(code);
  return r;
}

class Debugger : public testing::Test {
 protected:
  Debugger() : c_(Options()), m_{c_} {
    std::vector<UploadRecord> prog(10, Code(0x8011));  // NOP × 9, END
    prog[9] = Code(kEndCode);
    prog.push_back(Code(0x8011));  // after END: never reached by the main cycle
    c_.loadProgram(ProgramType::Main, prog);
  }
  SimOptions Options() {
    SimOptions o;
    o.clock = clock_;
    o.lineTimeUs = 100;
    return o;
  }
  int64_t Index() { return m_.reg(4, 0x6100); }
  int64_t Suspended() { return m_.bits(2, 0x6101, 1); }
  void Breakpoint(int n, uint16_t line, bool active) {
    ASSERT_TRUE(m_.setReg(uint16_t(0x6200 + n), line));
    ASSERT_TRUE(m_.coil(uint16_t(0x6200 + n), active));
  }
  // the four writes of the debugger's commands
  void Start() { ASSERT_TRUE(m_.coil(0x6100, true)); ASSERT_TRUE(m_.coil(0x6101, true)); }
  void Resume() { ASSERT_TRUE(m_.coil(0x6102, false)); ASSERT_TRUE(m_.coil(0x6101, false)); }
  void Suspend() { ASSERT_TRUE(m_.coil(0x6101, true)); ASSERT_TRUE(m_.coil(0x6102, true)); }
  void Next() { ASSERT_TRUE(m_.coil(0x6102, true)); ASSERT_TRUE(m_.coil(0x6101, false)); }

  std::shared_ptr<ManualSimClock> clock_ = std::make_shared<ManualSimClock>();
  SimController c_;
  Master m_;
};

TEST_F(Debugger, ProgramCounterWalksTheMainCycleOnlyInRun) {
  clock_->advanceMs(5);
  EXPECT_EQ(Index(), 0) << "STOP";
  c_.setRun(true);
  clock_->advanceUs(350);
  EXPECT_EQ(Index(), 3);
  clock_->advanceUs(1000);  // 10 lines: 3 → END at 9 → 0 → 3
  EXPECT_EQ(Index(), 3);
  clock_->advanceMs(60 * 60 * 1000);  // an hour idle folds into the cycle
  EXPECT_LT(Index(), 10);
}

TEST_F(Debugger, StartSuspendsAndNextStepsOneLine) {
  c_.setRun(true);
  clock_->advanceUs(200);
  Start();
  EXPECT_EQ(m_.bits(2, 0x6100, 1), 1);
  EXPECT_EQ(Suspended(), 1);
  int64_t at = Index();
  clock_->advanceMs(10);
  EXPECT_EQ(Index(), at) << "suspended execution does not move";
  Next();
  EXPECT_EQ(Index(), at + 1);
  EXPECT_EQ(Suspended(), 1);
  Next();
  EXPECT_EQ(Index(), at + 2);
  Resume();
  EXPECT_EQ(Suspended(), 0);
  clock_->advanceUs(300);
  EXPECT_EQ(Index(), at + 5);
  Suspend();
  EXPECT_EQ(Suspended(), 1);
  ASSERT_TRUE(m_.coil(0x6100, false));
  EXPECT_EQ(m_.bits(2, 0x6100, 2), 0) << "leaving debug mode resumes";
}

TEST_F(Debugger, ActiveBreakpointSuspendsExecution) {
  c_.setRun(true);
  Start();
  Breakpoint(1, 6, true);
  Breakpoint(2, 2, false);
  Resume();
  clock_->advanceMs(50);
  EXPECT_EQ(Suspended(), 1);
  EXPECT_EQ(Index(), 6);
  EXPECT_EQ(m_.reg(3, 0x6201), 6);
  EXPECT_EQ(m_.bits(1, 0x6200, 4), 0x2);
  // resuming executes the breakpoint's own line and stops there again one cycle later
  Resume();
  clock_->advanceUs(100);
  EXPECT_EQ(Suspended(), 0);
  EXPECT_EQ(Index(), 7);
  clock_->advanceMs(50);
  EXPECT_EQ(Index(), 6);
  EXPECT_EQ(Suspended(), 1);
  Breakpoint(1, 6, false);
  Resume();
  clock_->advanceMs(50);
  EXPECT_EQ(Suspended(), 0);
}

TEST_F(Debugger, BreakpointsActOnlyInDebugMode) {
  c_.setRun(true);
  Breakpoint(0, 4, true);
  clock_->advanceMs(50);
  EXPECT_EQ(Suspended(), 0);
  ASSERT_TRUE(m_.coil(0x6101, true));
  EXPECT_EQ(Suspended(), 0) << "suspend needs debug mode";
}

TEST_F(Debugger, StepInStopDoesNotMove) {
  Start();
  Next();
  EXPECT_EQ(Index(), 0);
  EXPECT_EQ(Suspended(), 1);
}

// Selects an operand (size, type, index) and asks the controller for it, as the poller does.
struct OperandRead {
  int64_t error, value, signal;
};
OperandRead ReadOperand(Master& m, char type, uint16_t number, bool is32 = false) {
  EXPECT_TRUE(m.coil(0x6002, is32));
  EXPECT_TRUE(m.setReg(0x6000, uint16_t(type)));
  EXPECT_TRUE(m.setReg(0x6001, number));
  EXPECT_TRUE(m.coil(0x6000, true));
  return {m.bits(2, 0x6000, 1), m.reg32(4, 0x6002), m.reg(4, 0x6004)};
}

int64_t Force(Master& m, char type, uint16_t number, int32_t value, uint16_t signal, bool is32 = false) {
  EXPECT_TRUE(m.coil(0x6002, is32));
  EXPECT_TRUE(m.setReg(0x6000, uint16_t(type)));
  EXPECT_TRUE(m.setReg(0x6001, number));
  EXPECT_TRUE(m.setReg(0x6002, uint16_t(value)));  // the client's single-register write
  EXPECT_TRUE(m.setReg(0x6004, signal));
  EXPECT_TRUE(m.coil(0x6001, true));
  return m.bits(2, 0x6000, 1);
}

TEST_F(Debugger, OperandReadsAnswerFromTheTable) {
  c_.setOperand('D', 10, -1234, 0);
  c_.setOperand('T', 3, 150, kSignalHigh);
  c_.setOperand('M', 5, 0, kSignalHigh);
  c_.setInput(4, true);
  struct Case { char type; uint16_t number; bool is32; OperandRead expected; };
  const std::vector<Case> cases = {
      {'D', 10, false, {0, -1234, 0}},
      {'T', 3, false, {0, 150, kSignalHigh}},
      {'M', 5, false, {0, 0, kSignalHigh}},
      {'X', 4, false, {0, 0, kSignalHigh}},
      {'X', 5, false, {0, 0, kSignalLow}},
      {'K', 5, false, {1, -1, -1}},  // a constant is no operand of the controller
      {'D', 392, false, {1, -1, -1}},
      {'M', 3, true, {1, -1, -1}},   // only D pairs are 32-bit
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << k.type << k.number);
    auto r = ReadOperand(m_, k.type, k.number, k.is32);
    EXPECT_EQ(r.error, k.expected.error);
    if (k.expected.error == 0) {
      EXPECT_EQ(r.value, k.expected.value);
      EXPECT_EQ(r.signal, k.expected.signal);
    }
  }
}

TEST_F(Debugger, ForcingSignalsAndValues) {
  // Y2 "H": the output follows
  EXPECT_EQ(Force(m_, 'Y', 2, 0, kSignalHigh), 0);
  EXPECT_EQ(m_.bits(2, 0x1000, 8), 0x04);
  // X3 forced high overrides the switch until cancelled
  EXPECT_EQ(Force(m_, 'X', 3, 0, kSignalForcedHigh), 0);
  EXPECT_EQ(m_.bits(2, 0x2003, 1), 1);
  EXPECT_EQ(ReadOperand(m_, 'X', 3).signal, kSignalForcedHigh);
  ASSERT_TRUE(m_.coil(0x6004, true));  // cancel the signal of the selected operand
  EXPECT_EQ(m_.bits(2, 0x2003, 1), 0);
  // D10 forced to 32-bit 70000 through the full two-register write
  ASSERT_TRUE(m_.coil(0x6002, true));
  ASSERT_TRUE(m_.setReg(0x6000, 'D'));
  ASSERT_TRUE(m_.setReg(0x6001, 10));
  ASSERT_TRUE(m_.setRegs(0x6002, test::Words32(70000)));
  ASSERT_TRUE(m_.coil(0x6001, true));
  EXPECT_EQ(ReadOperand(m_, 'D', 10, true).value, 70000);
  EXPECT_TRUE(c_.operand('D', 10).forcedValue);
  ASSERT_TRUE(m_.coil(0x6003, true));
  EXPECT_FALSE(c_.operand('D', 10).forcedValue);
  // a 16-bit D takes the single register as signed; the earlier high word does not leak in
  EXPECT_EQ(Force(m_, 'D', 11, -5, 0), 0);
  EXPECT_EQ(ReadOperand(m_, 'D', 11).value, -5);
  EXPECT_EQ(Force(m_, 'D', 12, 7, 0, true), 0);
  EXPECT_EQ(ReadOperand(m_, 'D', 12, true).value, 7);
  // a bad signal code is refused
  EXPECT_EQ(Force(m_, 'M', 1, 0, 5), 1);
  EXPECT_EQ(Force(m_, 'T', 2, 99, kSignalForcedLow), 0);
  auto t = ReadOperand(m_, 'T', 2);
  EXPECT_EQ(t.value, 99);
  EXPECT_EQ(t.signal, kSignalForcedLow);
  ASSERT_TRUE(m_.coil(0x6004, true));
  EXPECT_EQ(ReadOperand(m_, 'T', 2).signal, kSignalLow);
}

}  // namespace
}  // namespace ferrolad::sim
