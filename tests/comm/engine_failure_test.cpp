// The engine's failure paths: unanswered frames and the lost connection, failed writes, damaged
// answers from the simulator's fault injection, and every message of the worker and block transfer.
#include <gtest/gtest.h>

#include <functional>

#include "engine_fixture.h"

namespace ferrolad::testing {
namespace {

class EngineFailureTest : public EngineTest {
 protected:
  void SetUp() override {
    UseShortTimeouts();
    Build({});
  }
};

TEST_F(EngineFailureTest, NoAnswerAtAllLosesTheConnectionAfterThreeSends) {
  port->link.dropAnswers(1000);
  const TRWmbrReg read = Read(4, kHwAddress, 2);
  ASSERT_TRUE(Start(true, "SendReadCommand", {read}));
  const TTransferOutcome o = WaitOne();
  EXPECT_TRUE(o.Terminated);
  EXPECT_EQ(o.Message, "No response to command sequence 1, line: 0");
  const std::string s = Sent(read);
  const std::vector<std::string> expected = {
      "...",          s, "No answer!", "No answer to command",  //
      "Attempt 2=> ", s, "No answer!", "No answer to command",  //
      "Attempt 3=> ", s, "No answer!", "No answer to command",  //
      "No response to command sequence 1, line: 0"};
  EXPECT_EQ(log.Texts({kPlain, kSend, kError}), expected);
  {
    std::lock_guard lock(mu);
    EXPECT_EQ(messages, std::vector<std::string>{TModBus::kConnectionLostMessage});
  }
  EXPECT_FALSE(port->Connected());
  EXPECT_EQ(View().btnConnectComPortCaption, "Connect");
  EXPECT_EQ(modbus->LastErrorCode.load(), 1);
  EXPECT_EQ(port->controller.stats().frames, 3u);
}

struct SendCase {
  const char* name;
  bool gate;
  uint32_t modem;
  bool writeFails;
  bool sent;
};

TEST_F(EngineFailureTest, FailedSendsAreRetriedThenTheConnectionIsLost) {
  const SendCase cases[] = {
      {"write fails", false, 0, true, false},
      {"modem line active, gate on", true, kModemCts, false, false},
      {"modem line active, gate off", false, kModemDsr | kModemRlsd, false, true},
      {"gate on, lines quiet", true, 0, false, true},
  };
  for (const SendCase& c : cases) {
    SCOPED_TRACE(c.name);
    Build({});
    log.Clear();
    {
      std::lock_guard lock(mu);
      outcomes.clear();
      messages.clear();
    }
    modbus->ModemStatusGate = c.gate;
    port->SetModemStatus(c.modem);
    port->SetWriteFails(c.writeFails);
    ASSERT_TRUE(Start(true, "SendReadCommand", {Read(3, 0x5004, 1)}));
    const TTransferOutcome o = WaitOne();
    EXPECT_EQ(o.Failed, !c.sent);
    if (c.sent) {
      EXPECT_EQ(log.Count(kPlain, "Error sending command"), 0u);
      EXPECT_TRUE(port->Connected());
    } else {
      EXPECT_EQ(log.Texts({kPlain, kSend}),
                (std::vector<std::string>{"...", "Error sending command", "Attempt 2=> ", "Error sending command",
                                          "Attempt 3=> ", "Error sending command"}));
      EXPECT_FALSE(port->Connected());
      std::lock_guard lock(mu);
      EXPECT_EQ(messages, std::vector<std::string>{TModBus::kConnectionLostMessage});
    }
  }
}

struct FaultCase {
  const char* name;
  std::function<void(sim::SimLink&)> inject;
  const char* recvPrefix;  // the response-check text logged
  size_t unanswered;       // "No answer!" entries before the good answer
};

TEST_F(EngineFailureTest, DamagedAnswersAreLoggedAndTheFrameIsSentAgain) {
  const FaultCase cases[] = {
      {"garbage in front", [](sim::SimLink& l) { l.garbageAnswers(1); }, "One or more of data packets are damaged:", 0},
      {"bad LRC", [](sim::SimLink& l) { l.badLrcAnswers(1); }, "Wrong response: error LRC", 1},
      {"wrong slave ID", [](sim::SimLink& l) { l.wrongIdAnswers(1); }, "Wrong response: ID error ", 1},
      {"wrong function", [](sim::SimLink& l) { l.wrongFunctionAnswers(1); }, "Wrong response: command error", 1},
      {"late answer", [](sim::SimLink& l) { l.setAnswerDelayMs(90); }, ":01040400010002", 1},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    Build({});
    log.Clear();
    {
      std::lock_guard lock(mu);
      outcomes.clear();
    }
    c.inject(port->link);
    ASSERT_TRUE(Start(true, "SendReadCommand", {Read(4, kHwAddress, 2)}));
    const TTransferOutcome o = WaitOne();
    EXPECT_FALSE(o.Failed);
    EXPECT_TRUE(log.Contains(kRecv, c.recvPrefix));
    EXPECT_EQ(log.Count(kError, "No answer!"), c.unanswered);
    std::lock_guard lock(mu);
    EXPECT_EQ(lastValue, 0x20001);
  }
}

TEST_F(EngineFailureTest, ExceptionAnswerIsExplainedAndNeverAccepted) {
  ASSERT_TRUE(Start(true, "SendReadCommand", {Read(3, 0x0000, 1)}));
  const TTransferOutcome o = WaitOne();
  EXPECT_TRUE(o.Terminated);
  EXPECT_TRUE(log.Contains(kRecv, "Wrong response: Modbus error :0183"));
  bool explained = false;
  for (const auto& t : log.Texts({kRecv})) explained |= t.find("Error code = 2 = Illegal Data Address") != std::string::npos;
  EXPECT_TRUE(explained);
  EXPECT_EQ(log.Count(kError, "No answer!"), 3u);
}

// Events that arrive without a fitting response state: the block transfer's own checks.
struct StrayCase {
  const char* message;
  std::function<void(TModBus&)> fake;
};

TEST_F(EngineFailureTest, StrayEventsAreCaughtByTheBlockTransfer) {
  const StrayCase cases[] = {
      {"No response to command sequence 2, line: 0", [](TModBus& m) { m.ResponseEvent.set(); }},
      {"No response to command sequence 3, line: 0",
       [](TModBus& m) {
         m.ValueEvent.set();
         m.ResponseEvent.set();
       }},
      {"Modbus received responce error, line: 0",
       [](TModBus& m) {
         {
           std::lock_guard lock(m.ResponseLock);
           m.ResponseFunction = 3;
         }
         m.ResponseValid = 1;
         m.ValueEvent.set();
         m.ResponseEvent.set();
       }},
  };
  for (const StrayCase& c : cases) {
    SCOPED_TRACE(c.message);
    log.SetHook(nullptr);
    Build({});
    log.Clear();
    {
      std::lock_guard lock(mu);
      outcomes.clear();
    }
    port->link.dropAnswers(1000);
    TModBus* m = modbus.get();
    log.SetHook([m, fake = c.fake](int kind, const std::string&) {
      if (kind == kSend) fake(*m);
    });
    ASSERT_TRUE(Start(true, "SendReadCommand", {Read(4, kHwAddress, 2)}));
    const TTransferOutcome o = WaitOne();
    log.SetHook(nullptr);
    EXPECT_TRUE(o.Terminated);
    EXPECT_EQ(o.Message, c.message);
    EXPECT_EQ(log.Count(kError, c.message), 1u);
  }
}

TEST_F(EngineFailureTest, BusyFrameWorkerStopsTheTransfer) {
  OnMain([&] { modbus->RWThreadFree.reset(); });
  ASSERT_TRUE(Start(true, "SendReadCommand", {Read(3, 0x5004, 1)}));
  const TTransferOutcome o = WaitOne();
  EXPECT_TRUE(o.Terminated);
  EXPECT_EQ(o.Message, "RW thread is not ready, line: 0");
  EXPECT_EQ(port->controller.stats().frames, 0u);
}

TEST_F(EngineFailureTest, ClosedPortReportsNoConnection) {
  OnMain([&] { port->Close(); });
  ASSERT_TRUE(Start(true, "SendReadCommand", {Read(3, 0x5004, 1)}));
  const TTransferOutcome o = WaitOne();
  EXPECT_TRUE(o.Terminated);
  EXPECT_EQ(o.Message, "Error sending commands sequence, line: 0");
  EXPECT_EQ(modbus->LastErrorCode.load(), 2);
  std::lock_guard lock(mu);
  EXPECT_EQ(messages, std::vector<std::string>{"No connection"});
}

TEST_F(EngineFailureTest, FrameWorkerRefusesWhatItCannotSend) {
  struct Case {
    const char* line;
    std::function<bool(TModBus&)> queue;
  };
  const TBytesArray request = BuildRequestBytes(Read(3, 0x5004, 1), 1);
  const Case cases[] = {
      {"No data for transfer", [](TModBus& m) { return m.QueueFrame(2, true, "", {}); }},
      {"Wrong data for transfer",
       [](TModBus& m) {
         m.EnqueueFrameText(":0103\r\n");
         return m.QueueFrame(2, true, "Short", {});
       }},
      {"Wrong Modbus Command",
       [&](TModBus& m) {
         m.EnqueueFrameText(":01ZZ50040001A7\r\n", 0x5004);
         return m.QueueFrame(0, true, "Garbled", request, 0x5004);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    log.Clear();
    ASSERT_TRUE(modbus->RWThreadFree.wait(5000));
    EXPECT_TRUE(c.queue(*modbus));
    ASSERT_TRUE(WaitLog(kPlain, c.line));
    ASSERT_TRUE(modbus->RWThreadFree.wait(5000));
    EXPECT_FALSE(log.Contains(kSend, ""));
  }
  EXPECT_FALSE(modbus->QueueFrame(1, true, "Mode 1", request));
  EXPECT_FALSE(modbus->QueueFrame(0, true, "Too short", {1, 3, 0x50}));
}

TEST_F(EngineTest, IdentificationChainRunsStepByStepAndBlocksUserCommands) {
  std::vector<std::string> steps;
  int ended = 0;
  OnMain([&] {
    modbus->MapsInfoRequests = [&] {
      steps.push_back("maps");
      return TRegistersArray{Read(4, 0x8009, 1), Read(4, 0x800A, 1), Read(4, 0x8007, 2)};
    };
    modbus->InitialInformationRequests = [&] {
      steps.push_back("initial");
      return TRegistersArray{Read(3, 0x5004, 1)};
    };
    modbus->IdentificationEnded = [&] { ++ended; };
  });
  bool started = false, refused = true;
  OnMain([&] {
    started = modbus->GetVersionInfo({Read(4, 0x8005, 2), Read(4, 0x8003, 2), Read(4, kHwAddress, 2)});
    refused = !modbus->SendReadCommand({Read(3, 0x5005, 1)});
  });
  EXPECT_TRUE(started);
  EXPECT_TRUE(refused);
  const auto all = WaitOutcomes(3);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].Name, "GetVersionInfo");
  EXPECT_EQ(all[1].Name, "GetMapsInfo");
  EXPECT_EQ(all[2].Name, "GetInitialInformation");
  for (const auto& o : all) EXPECT_FALSE(o.Failed);
  int endedSeen = 0;
  std::vector<std::string> stepsSeen;
  OnMain([&] {
    endedSeen = ended;
    stepsSeen = steps;
  });
  EXPECT_EQ(stepsSeen, (std::vector<std::string>{"maps", "initial"}));
  EXPECT_EQ(endedSeen, 1);
  EXPECT_EQ(modbus->InitSequenceActive.load(), 0);
  EXPECT_FALSE(log.Contains(kSend, "01035005"));
  EXPECT_FALSE(log.Contains(kError, ""));
}

}  // namespace
}  // namespace ferrolad::testing
