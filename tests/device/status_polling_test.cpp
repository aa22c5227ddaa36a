#include "device/status_polling.h"

#include <gtest/gtest.h>

namespace ferrolad {
namespace {

class FakeEnvironment : public TStatusEnvironment {
 public:
  bool Open = true;
  bool Init = false;
  bool Debugging = false;
  bool DebugPolling = false;
  bool UserPending = false;
  bool Accept = true;
  uint8_t Flag = 0;
  uint8_t Count = 0;
  uint8_t LastError = 0;
  int PortBoxEmptied = 0;
  std::vector<std::pair<std::string, TRegistersArray>> Sent;

  bool PortOpen() const override { return Open; }
  bool InitSequenceActive() const override { return Init; }
  bool DebuggerRunning() const override { return Debugging; }
  bool DebuggerPollingActive() const override { return DebugPolling; }
  bool UserCommandPending() const override { return UserPending; }
  bool StartStatusPoll(const std::string& name, const TRegistersArray& requests) override {
    if (!Accept) return false;
    Sent.emplace_back(name, requests);
    return true;
  }
  uint8_t ErrorFlag() const override { return Flag; }
  void ClearErrorFlag() override { Flag = 0; }
  uint8_t ErrorCount() const override { return Count; }
  void ResetErrorCount() override { Count = 0; }
  uint8_t LastErrorCode() const override { return LastError; }
  void EmptyPortBox() override { ++PortBoxEmptied; }
};

class StatusPollingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCurrentDevice(*FindDescriptionByModel(kModelLira2));
    polling.EnableStatusTimer();
  }
  void TearDown() override { ClearCurrentDevice(); }

  TStatusModel model;
  FakeEnvironment env;
  TStatusPolling polling{model, env};
};

TEST_F(StatusPollingTest, CyclesThroughTheModelsStatusList) {
  const TRegistersArray& polls = CurrentDevice()->StatusPolls;
  ASSERT_EQ(polls.size(), 11u);
  for (int tick = 0; tick < 13; ++tick) polling.TimerGetStateTimer();
  ASSERT_EQ(env.Sent.size(), 13u);
  for (int tick = 0; tick < 13; ++tick) {
    const int k = tick % 11;
    EXPECT_EQ(env.Sent[tick].first, "TimerGetStateTimer + tag=" + std::to_string(k));
    ASSERT_EQ(env.Sent[tick].second.size(), 1u);
    EXPECT_EQ(env.Sent[tick].second[0].Name, polls[k].Name);
  }
  EXPECT_EQ(polling.Tag, 2);
  EXPECT_EQ(model.View.lblCurrentReading.Caption, "GET_INPUTS_X0_X7");
  EXPECT_TRUE(model.View.lblCurrentReading.Visible);
}

TEST_F(StatusPollingTest, TicksThatSendNothing) {
  struct Case {
    const char* what;
    std::function<void(FakeEnvironment&, TStatusPolling&)> setup;
    bool readingVisible;
  };
  const Case cases[] = {
      {"port closed", [](FakeEnvironment& e, TStatusPolling&) { e.Open = false; }, true},
      {"identification runs", [](FakeEnvironment& e, TStatusPolling&) { e.Init = true; }, true},
      {"debugger polls", [](FakeEnvironment& e, TStatusPolling&) { e.Debugging = true; }, false},
      {"user command pending", [](FakeEnvironment& e, TStatusPolling&) { e.UserPending = true; }, true},
      {"timer disabled", [](FakeEnvironment&, TStatusPolling& p) { p.DisableStatusTimer(); }, true},
      {"transfer refused", [](FakeEnvironment& e, TStatusPolling&) { e.Accept = false; }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TStatusModel m;
    FakeEnvironment e;
    TStatusPolling p(m, e);
    p.EnableStatusTimer();
    p.Tag = 4;
    p.WatchdogCounter = 2;
    c.setup(e, p);
    p.TimerGetStateTimer();
    EXPECT_TRUE(e.Sent.empty());
    EXPECT_EQ(p.Tag, 4);  // the index does not advance
    EXPECT_EQ(p.WatchdogCounter, 2);
    EXPECT_EQ(m.View.lblCurrentReading.Visible, c.readingVisible);
  }
}

TEST_F(StatusPollingTest, IndexBeyondTheListRestartsAndNoModelSendsNothing) {
  polling.Tag = 40;
  polling.TimerGetStateTimer();
  ASSERT_EQ(env.Sent.size(), 1u);
  EXPECT_EQ(env.Sent[0].first, "TimerGetStateTimer + tag=0");
  EXPECT_EQ(polling.Tag, 1);

  ClearCurrentDevice();
  polling.TimerGetStateTimer();
  EXPECT_EQ(env.Sent.size(), 1u);
}

TEST_F(StatusPollingTest, WatchdogClearsStaleIndicatorsAfterThreeTicks) {
  model.HandleResponse({2, 0x2000, 0x01, {}, 8});
  ASSERT_EQ(model.View.shpX[0], TLampColor::Yellow);
  polling.TimerResetStateInfoTimer();
  polling.TimerResetStateInfoTimer();
  EXPECT_EQ(model.View.shpX[0], TLampColor::Yellow);
  polling.TimerResetStateInfoTimer();
  EXPECT_EQ(model.View.shpX[0], TLampColor::White);
  EXPECT_EQ(polling.WatchdogCounter, 0);
  EXPECT_TRUE(polling.TimerGetStateEnabled);

  // A poll started in between resets the count.
  model.HandleResponse({2, 0x2000, 0x01, {}, 8});
  polling.TimerResetStateInfoTimer();
  polling.TimerResetStateInfoTimer();
  polling.TimerGetStateTimer();
  polling.TimerResetStateInfoTimer();
  EXPECT_EQ(model.View.shpX[0], TLampColor::Yellow);
}

TEST_F(StatusPollingTest, WatchdogPausesDuringIdentificationAndDebugPolling) {
  env.Init = true;
  for (int i = 0; i < 5; ++i) polling.TimerResetStateInfoTimer();
  EXPECT_EQ(polling.WatchdogCounter, 0);
  env.Init = false;
  env.Debugging = true;
  env.DebugPolling = true;
  for (int i = 0; i < 5; ++i) polling.TimerResetStateInfoTimer();
  EXPECT_EQ(polling.WatchdogCounter, 0);
  // The debugger without its polling does not stop the watchdog.
  env.DebugPolling = false;
  polling.TimerResetStateInfoTimer();
  EXPECT_EQ(polling.WatchdogCounter, 1);
}

TEST_F(StatusPollingTest, WatchdogRetriesUpToThreeFailuresThenStops) {
  struct Case {
    uint8_t count;
    uint8_t lastError;
    bool timerOn, watchdogOn, flagCleared;
    int portBoxEmptied;
    uint8_t countAfter;
  };
  const Case cases[] = {
      {1, 1, true, true, true, 0, 1},
      {3, 1, true, true, true, 0, 3},
      {4, 0, false, true, false, 0, 4},
      {4, 2, false, false, false, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    TStatusModel m;
    FakeEnvironment e;
    TStatusPolling p(m, e);
    p.EnableStatusTimer();
    e.Flag = 1;
    e.Count = c.count;
    e.LastError = c.lastError;
    p.TimerResetStateInfoTimer();
    EXPECT_EQ(p.TimerGetStateEnabled, c.timerOn);
    EXPECT_EQ(p.TimerResetStateInfoEnabled, c.watchdogOn);
    EXPECT_EQ(e.Flag == 0, c.flagCleared);
    EXPECT_EQ(e.PortBoxEmptied, c.portBoxEmptied);
    EXPECT_EQ(e.Count, c.countAfter);
  }
}

TEST_F(StatusPollingTest, EnablingArmsTheWatchdogUnlessIdentificationRuns) {
  TStatusModel m;
  FakeEnvironment e;
  TStatusPolling p(m, e);
  e.Init = true;
  p.EnableStatusTimer();
  EXPECT_TRUE(p.TimerGetStateEnabled);
  EXPECT_FALSE(p.TimerResetStateInfoEnabled);
  e.Init = false;
  p.EnableStatusTimer();
  EXPECT_TRUE(p.TimerResetStateInfoEnabled);
  // The watchdog restarts a status timer that a user command disabled.
  p.DisableStatusTimer();
  p.TimerResetStateInfoTimer();
  EXPECT_TRUE(p.TimerGetStateEnabled);

  const std::pair<void (TStatusPolling::*)(), int> buttons[] = {
      {&TStatusPolling::btn1000msClick, 1000},
      {&TStatusPolling::btn10000msClick, 10000},
      {&TStatusPolling::btn200msClick, 200}};
  for (const auto& [click, interval] : buttons) {
    (p.*click)();
    EXPECT_EQ(p.TimerGetStateInterval, interval);
  }
}

}  // namespace
}  // namespace ferrolad
