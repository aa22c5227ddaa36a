// Dispatch of transfers: user commands against status polls and against each other, the block
// transfer's verification, progress and result, and shutdown while a transfer runs.
#include <gtest/gtest.h>

#include <thread>

#include "comm/rw_registers_thread.h"
#include "engine_fixture.h"

namespace ferrolad::testing {
namespace {

// Index of the first entry of kind/prefix at or after `from`; -1 when none.
int IndexOf(const std::vector<SequenceLog::Entry>& entries, int kind, const std::string& prefix, int from = 0) {
  for (int i = from; i < static_cast<int>(entries.size()); ++i) {
    if (entries[static_cast<size_t>(i)].kind == kind && entries[static_cast<size_t>(i)].text.rfind(prefix, 0) == 0)
      return i;
  }
  return -1;
}

TEST_F(EngineTest, ReadGoesThroughTheEngineAndShowsTheResult) {
  ASSERT_TRUE(Start(true, "SendReadCommand", {Read(4, kHwAddress, 2)}));
  const TTransferOutcome o = WaitOne();
  EXPECT_FALSE(o.Failed);
  EXPECT_FALSE(o.Terminated);
  EXPECT_EQ(o.CommandsTransferred, 1);
  {
    std::lock_guard lock(mu);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(lastValue, 0x20001);  // the model's GET_HW, low word first
    EXPECT_TRUE(statusTimer) << "the status timer runs again after a user command";
  }
  const TCommView v = View();
  EXPECT_EQ(v.lblCommunicationResult, "Data transfer result:  successful");
  EXPECT_EQ(v.lblCommunicationResultColor, TCommColor::Green);
  EXPECT_EQ(v.lblCommunicationState, "Com port ready");
  EXPECT_EQ(v.shpState, TCommColor::Green);
  EXPECT_EQ(v.lblCommandsTransfered, "Commands transferred: 1");
  ASSERT_TRUE(WaitLog(kSend, Sent(Read(4, kHwAddress, 2))));  // logged after the write; may trail the end
  EXPECT_EQ(log.Texts({kPlain, kSend}), (std::vector<std::string>{"...", Sent(Read(4, kHwAddress, 2))}));
  EXPECT_EQ(modbus->UserCommandPending.load(), 0);
  EXPECT_EQ(modbus->RecordCount.load(), 1);
}

TEST_F(EngineTest, StatusPollLogsWithPrefixAndGivesWayToAUserCommand) {
  // Slow answers keep the poll busy long enough for the user command to arrive in its middle.
  port->link.setAnswerDelayMs(20);
  TRegistersArray poll(30, Read(4, kHwAddress, 2));
  ASSERT_TRUE(Start(false, "StatusPoll", poll, /*threadUserFlag=*/false));
  ASSERT_TRUE(WaitLog(kSend, "Get state - "));
  ASSERT_TRUE(Start(true, "SendReadCommand", {Read(3, 0x5004, 1)}));
  const auto all = WaitOutcomes(2);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Name, "StatusPoll");
  EXPECT_LT(all[0].Line, 30) << "the poll stops at its next check";
  EXPECT_FALSE(all[0].Terminated);
  EXPECT_EQ(all[1].Name, "SendReadCommand");
  EXPECT_FALSE(all[1].Failed);
  // The user command's frame went out after the poll's last one, without the poll prefix.
  const auto entries = log.Snapshot();
  const int user = IndexOf(entries, kSend, "010350040001");
  ASSERT_GE(user, 0);
  EXPECT_EQ(IndexOf(entries, kSend, "Get state - ", user), -1);
  EXPECT_EQ(log.Count(kError, TModBus::kNotReadyMessage), 0u);
}

TEST_F(EngineTest, SecondUserCommandWaitsForTheFirstAndAThirdIsRefused) {
  port->link.setAnswerDelayMs(15);
  TRegistersArray first(6, Read(4, kHwAddress, 2));
  ASSERT_TRUE(Start(true, "First", first));
  ASSERT_TRUE(WaitLog(kSend, "01048001"));
  ASSERT_TRUE(Start(true, "Second", {Read(3, 0x5004, 1)}));
  EXPECT_FALSE(Start(true, "Third", {Read(3, 0x5005, 1)}));
  EXPECT_EQ(log.Count(kError, TModBus::kNotReadyMessage), 1u);

  const auto all = WaitOutcomes(2);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Name, "First");
  EXPECT_FALSE(all[0].Failed);
  EXPECT_EQ(all[0].Line, 6) << "a user command ignores the cancel mark and runs to its end";
  EXPECT_EQ(all[1].Name, "Second");
  EXPECT_FALSE(all[1].Failed);
  const auto entries = log.Snapshot();
  const int second = IndexOf(entries, kSend, "010350040001");
  ASSERT_GE(second, 0);
  EXPECT_EQ(IndexOf(entries, kSend, "01048001", second), -1) << "the second started after the first ended";
  EXPECT_EQ(IndexOf(entries, kSend, "010350050001"), -1) << "the third was never sent";
  EXPECT_FALSE(modbus->TransferRunning());
}

TEST_F(EngineTest, StatusTickDuringAUserCommandSendsNothing) {
  port->link.setAnswerDelayMs(15);
  ASSERT_TRUE(Start(true, "User", TRegistersArray(4, Read(4, kHwAddress, 2))));
  ASSERT_TRUE(WaitLog(kSend, "01048001"));
  EXPECT_FALSE(Start(false, "StatusPoll", {Read(2, kRunStop, 1)}, false));
  EXPECT_EQ(log.Count(kError, TModBus::kStatusNotReadyMessage), 1u);
  WaitOutcomes(1);
  EXPECT_FALSE(log.Contains(kSend, "Get state - "));
  EXPECT_FALSE(log.Contains(kSend, "0102F001"));
}

TEST_F(EngineTest, SupersedingCommandGivesUpWhenTheRunningOneDoesNotEnd) {
  UseShortTimeouts();
  // A verified read that never matches keeps a user command running.
  TRWmbrReg never = Read(2, kRunStop, 1);
  never.Verify = 1;
  never.ExpectedValue = 1;  // RUN; the controller stays in STOP
  never.RepeatUntilMatch = 1;
  ASSERT_TRUE(Start(true, "Endless", {never}));
  ASSERT_TRUE(WaitLog(kSend, "0102F001"));
  ASSERT_TRUE(Start(true, "Waiting", {Read(3, 0x5004, 1)}));
  const auto all = WaitOutcomes(1);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].Name, "Waiting");
  EXPECT_TRUE(all[0].Failed);
  EXPECT_EQ(log.Count(kError, TModBus::kNotReadyMessage), 1u);
  EXPECT_FALSE(log.Contains(kSend, "01035004"));
  EXPECT_TRUE(modbus->TransferRunning()) << "the first still repeats its read";
}

TEST_F(EngineTest, VerifiedReadRepeatsUntilTheValueMatches) {
  TRWmbrReg untilRun = Read(2, kRunStop, 1);
  untilRun.Verify = 1;
  untilRun.ExpectedValue = 1;
  untilRun.RepeatUntilMatch = 1;
  untilRun.Counted = 0;
  ASSERT_TRUE(Start(true, "WaitRun", {untilRun, Read(3, 0x5004, 1)}));
  // Let it read STOP a few times, then switch the controller to RUN.
  ASSERT_TRUE(WaitLog(kPlain, "..."));
  while (log.Texts({kSend}).size() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  port->controller.setRun(true);
  const TTransferOutcome o = WaitOne();
  EXPECT_FALSE(o.Failed);
  EXPECT_EQ(o.Line, 2);
  EXPECT_EQ(o.CommandsTransferred, 1) << "the check is not counted";
  // The worker logs its Send after the write, so under load the answer (and the end of the
  // transfer) can overtake that entry: wait for it before looking at the order.
  ASSERT_TRUE(WaitLog(kSend, "01035004"));
  const auto sends = log.Texts({kSend});
  EXPECT_GE(std::count(sends.begin(), sends.end(), Sent(untilRun)), 3);
  EXPECT_EQ(sends.back(), Sent(Read(3, 0x5004, 1)));
  EXPECT_FALSE(log.Contains(kError, ""));
}

TEST_F(EngineTest, RunStateCheckThatFailsSendsNothingElse) {
  port->controller.setRun(true);
  TDirectRecord accel{6, 0x5004, 1, 250, "SET_ACCEL"};
  bool started = false;
  OnMain([&] { started = modbus->SendDirectCommand(true, true, true, accel); });
  ASSERT_TRUE(started);
  const TTransferOutcome o = WaitOne();
  EXPECT_TRUE(o.Terminated);
  EXPECT_EQ(o.Message, "Data transfer not finished, line: 0");
  EXPECT_EQ(log.Count(kError, "Data transfer not finished, line: 0"), 1u);
  ASSERT_TRUE(WaitLog(kSend, Sent(Read(2, kRunStop, 1))));
  EXPECT_EQ(log.Texts({kSend}), std::vector<std::string>{Sent(Read(2, kRunStop, 1))});
  EXPECT_EQ(port->controller.holdingValue(0x5004), 100) << "the command itself never reached the controller";
  EXPECT_EQ(modbus->UserCommandPending.load(), 0);
  std::lock_guard lock(mu);
  EXPECT_TRUE(statusTimer);
}

TEST_F(EngineTest, DirectCommandWritesAndReadsBack) {
  TDirectRecord accel{6, 0x5004, 1, 0, "SET_ACCEL"};
  bool started = false;
  OnMain([&] { started = modbus->SendDirectCommand(true, true, true, 321, accel); });
  ASSERT_TRUE(started);
  const TTransferOutcome o = WaitOne();
  EXPECT_FALSE(o.Failed);
  EXPECT_EQ(o.Name, "SendDirectCommand - 3");
  EXPECT_EQ(port->controller.holdingValue(0x5004), 321);
  std::lock_guard lock(mu);
  EXPECT_EQ(lastValue, 321) << "the read-back went through the response handler";
}

TEST(DirectCommandList, BuildsCheckWritesAndReadBacks) {
  auto list = BuildDirectCommandList(false, false, true,
                                     {{16, 0x5000, 2, 120000, "SET_MAX_SPEED"}, {5, 0x5100, 1, 1, "SPIN"},
                                      {15, 0x5200, 1, 1, "X"}});
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 7u);
  EXPECT_EQ((*list)[0].FunctionCode, 2);
  EXPECT_EQ((*list)[0].Verify, 0);
  EXPECT_EQ((*list)[0].ExpectedValue, 1) << "require-stop off expects RUN";
  EXPECT_EQ((*list)[1].Data, (TBytesArray{0xD4, 0xC0, 0x00, 0x01}));
  EXPECT_EQ((*list)[2].FunctionCode, 3);
  EXPECT_EQ((*list)[3].Data, (TBytesArray{0x00, 0x01}));
  EXPECT_EQ((*list)[4].FunctionCode, 1) << "a coil is read back with read coils";
  EXPECT_EQ((*list)[6].FunctionCode, 1) << "a function 15 read-back would be a write without data";
  EXPECT_EQ((*list)[6].Counted, 0);
  // Anything that is not a write of one or two registers refuses the whole list.
  for (TDirectRecord bad : {TDirectRecord{3, 0x5004, 1, 0, ""}, TDirectRecord{6, 0x5004, 3, 0, ""},
                            TDirectRecord{16, 0x5000, 0, 0, ""}}) {
    EXPECT_FALSE(BuildDirectCommandList(true, true, false, {{6, 0x5004, 1, 1, ""}, bad}));
  }
}

TEST_F(EngineTest, SendCommandsRefusesAListWithAWrite) {
  bool started = true;
  OnMain([&] { started = modbus->SendCommands("Mixed", {Read(3, 0x5004, 1), WriteRegister(0x5004, 5)}); });
  EXPECT_FALSE(started);
  EXPECT_FALSE(modbus->TransferRunning());
  EXPECT_EQ(port->controller.stats().frames, 0u);
}

TEST_F(EngineTest, EmptyListFailsWithoutSending) {
  bool started = false;
  OnMain([&] { started = modbus->SendCommands("Nothing", {}); });
  ASSERT_TRUE(started);
  const TTransferOutcome o = WaitOne();
  EXPECT_TRUE(o.Failed);
  EXPECT_FALSE(o.Terminated);
  const TCommView v = View();
  EXPECT_EQ(v.lblCommunicationResult, "Data transfer result: failed ");
  EXPECT_EQ(v.lblCommunicationResultColor, TCommColor::Red);
  EXPECT_EQ(modbus->ErrorCount.load(), 1);
  EXPECT_EQ(modbus->ErrorFlag.load(), 1);
  EXPECT_EQ(port->controller.stats().frames, 0u);
}

TEST_F(EngineTest, ResultWithThePortClosedSaysNotConnected) {
  OnMain([&] { port->Close(); });
  ASSERT_TRUE(Start(true, "Nothing", {}));
  WaitOne();
  const TCommView v = View();
  EXPECT_EQ(v.lblCommunicationState, "Not Connected");
  EXPECT_EQ(v.shpState, TCommColor::White);
}

TEST_F(EngineTest, ProgressCountsCommandsAndCyclesItsDots) {
  std::vector<std::string> states;
  OnMain([&] {
    modbus->ViewChanged = [&] { states.push_back(modbus->View.lblCommunicationState); };
  });
  TRegistersArray list(12, Read(3, 0x5004, 1));
  list[3].Counted = 0;
  ASSERT_TRUE(Start(true, "Twelve", list));
  const TTransferOutcome o = WaitOne();
  EXPECT_EQ(o.CommandsTransferred, 11);
  const TCommView v = View();
  EXPECT_EQ(v.lblCommandsTransfered, "Commands transferred: 11");
  std::vector<std::string> seen;
  OnMain([&] { seen = states; });
  ASSERT_GE(seen.size(), 13u);
  EXPECT_EQ(seen[0], "Data transferring");
  EXPECT_EQ(seen[8], "Data transferring........");
  EXPECT_EQ(seen[9], "Data transferring");
}

TEST_F(EngineTest, ShutdownWhileATransferRunsEndsEveryThread) {
  UseShortTimeouts();
  Build({});
  port->link.setAnswerDelayMs(30);
  ASSERT_TRUE(Start(true, "Long", TRegistersArray(50, Read(4, kHwAddress, 2))));
  ASSERT_TRUE(WaitLog(kSend, "01048001"));
  EXPECT_GT(modbus->LiveWorkers(), 1u);
  modbus->Shutdown();
  EXPECT_EQ(modbus->LiveWorkers(), 0u);
  EXPECT_TRUE(modbus->StopAll.load());
  EXPECT_FALSE(port->Connected());
  // Nothing may be started any more.
  EXPECT_FALSE(Start(true, "After", {Read(3, 0x5004, 1)}));
}

}  // namespace
}  // namespace ferrolad::testing
