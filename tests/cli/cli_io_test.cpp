// ferrolad-cli read / write through the real engine: the built-in SIM port and a simulator served on
// a pseudo-terminal, answers decoded, failures explained, bad usage refused.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "sim/sim_pty.h"

namespace {

struct Result {
  int rc;
  std::string out, err;
};

Result Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int rc = ferrolad::cli::Run(args, out, err);
  return {rc, out.str(), err.str()};
}

TEST(CliIo, ReadsTheHardwareValueOfTheBuiltInSimulator) {
  struct Case {
    const char* model;
    const char* value;
  };
  for (const Case& c : {Case{"", "value = 131073 (0x00020001)"}, Case{"tarn", "value = 3 (0x00000003)"},
                        Case{"KVDX-Obel", "value = 4 (0x00000004)"}}) {
    SCOPED_TRACE(c.model);
    std::vector<std::string> args = {"--port", "SIM"};
    if (*c.model) args.insert(args.end(), {"--sim-model", c.model});
    args.insert(args.end(), {"read", "4", "0x8001", "2"});
    const Result r = Cli(args);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find(c.value), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(" Send: "), std::string::npos) << "the log only with -v";
  }
}

TEST(CliIo, VerboseReadPrintsTheTransferLogAndRegisters) {
  const Result r = Cli({"--port", "SIM", "-v", "read", "3", "0x5004", "2"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find(" Send: 010350040002A6"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" Recv: :010304"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("0x5004 = 0x0064 (100)"), std::string::npos) << r.out;  // SET_ACCEL default
  EXPECT_NE(r.out.find("0x5005 = "), std::string::npos) << r.out;
}

TEST(CliIo, WritesAndReadsBackOverAPseudoTerminal) {
  ferrolad::sim::SimController controller{ferrolad::sim::SimOptions{}};
  ferrolad::sim::SimPtyServer server(controller);
  std::string error;
  ASSERT_TRUE(server.open("", error)) << error;
  server.start();
  const std::string path = server.slavePath();

  Result w = Cli({"--port", path, "write", "6", "0x5004", "321"});
  ASSERT_EQ(w.rc, 0) << w.err;
  EXPECT_NE(w.out.find("written"), std::string::npos);
  EXPECT_EQ(controller.holdingValue(0x5004), 321);

  w = Cli({"--port", path, "write", "16", "0x5000", "0xD4C0", "0x0001"});  // 120000, low word first
  ASSERT_EQ(w.rc, 0) << w.err;
  EXPECT_EQ(controller.holdingValue(0x5000), 120000);

  const Result r = Cli({"read", "3", "0x5000", "2", "--port", path});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("value = 120000"), std::string::npos) << r.out;

  const Result bits = Cli({"--port", path, "read", "2", "0xF001", "1"});
  ASSERT_EQ(bits.rc, 0) << bits.err;
  EXPECT_NE(bits.out.find("bits 0xF001: 0"), std::string::npos) << bits.out;  // STOP
  server.stop();
}

TEST(CliIo, UnansweredReadReportsTheLostConnection) {
  ferrolad::sim::SimController controller{ferrolad::sim::SimOptions{}};
  ferrolad::sim::SimPtyServer server(controller);
  std::string error;
  ASSERT_TRUE(server.open("", error)) << error;
  server.start();
  server.link().dropAnswers(100);
  const Result r = Cli({"--port", server.slavePath(), "read", "4", "0x8001", "2"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("Wrong connection or data transfer error: Communication failed. Port disconnected"),
            std::string::npos)
      << r.err;
  server.stop();
}

TEST(CliIo, RefusesBadUsage) {
  struct Case {
    std::vector<std::string> args;
    int rc;
    const char* err;
  };
  const Case cases[] = {
      {{"--port", "SIM", "read", "5", "0x8001", "2"}, 2, "usage:"},
      {{"--port", "SIM", "read", "4", "0x8001"}, 2, "usage:"},
      {{"--port", "SIM", "read", "4", "0x10000", "1"}, 2, "usage:"},
      {{"--port", "SIM", "write", "3", "0x5004", "1"}, 2, "usage:"},
      {{"--port", "SIM", "write", "6", "0x5004", "1", "2"}, 2, "usage:"},
      {{"--port", "SIM", "write", "6", "0x5004", "70000"}, 2, "not a 16-bit value"},
      {{"--port", "SIM", "--id", "0", "read", "4", "0x8001", "2"}, 2, "--id must be"},
      {{"read", "4", "0x8001", "2"}, 1, "no port given"},
      {{"--port", "SIM", "--sim-model", "nonesuch", "read", "4", "0x8001", "2"}, 1, "unknown simulator model"},
      {{"--port", "/nonexistent/ttyUSB9", "read", "4", "0x8001", "2"}, 1, "/nonexistent/ttyUSB9"},
  };
  for (const Case& c : cases) {
    const Result r = Cli(c.args);
    EXPECT_EQ(r.rc, c.rc) << c.args.back() << ": " << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

TEST(CliIo, SimulatorAnswersAtTheGivenAddress) {
  const Result r = Cli({"--port", "SIM", "--id", "17", "-v", "read", "4", "0x8003", "2"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find(" Send: 1104800300"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("value = 524290"), std::string::npos) << r.out;  // FW 2.8: low word 2, high word 8
}

}  // namespace
