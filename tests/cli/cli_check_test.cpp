#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace {

struct Result {
  int Status;
  std::string Out;
  std::string Err;
};

Result RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = ferrolad::cli::Run(args, out, err);
  return {status, out.str(), err.str()};
}

class CliCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ferrolad-cli-check-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

}  // namespace

TEST_F(CliCheck, ReportsEveryWrongLineWithCodeAndMark) {
  const std::string f = Write("p.il",
                              "LD X0\r\n"
                              "\r\n"
                              "// comment\r\n"
                              "LD X9\r\n"
                              "MOV K5 X0\r\n"
                              "ld Y0\r\n"
                              "TMR T0\r\n"
                              "END x\r\n"
                              "TMR T0 K10 K5 ; note\r\n"
                              "  \t\r\n"
                              "OUT Y0 // fine\r\n");
  const Result r = RunCli({"check", f});
  EXPECT_EQ(r.Status, 1);
  const std::string expected = f + ":4: 1: // wrong parameter 1: -> LD X9\n" +
                               f + ":5: 2: // wrong parameter 2: -> MOV K5 X0\n" +
                               f + ":6: 6: // wrong command: -> ld Y0\n" +
                               f + ":7: 5: // wrong parameters number: -> TMR T0\n" +
                               f + ":8: 7: text after an instruction without operands: -> END x\n" +
                               f + ":9: 9: text after the last operand: -> TMR T0 K10 K5 ; note\n";
  EXPECT_EQ(r.Out, expected);
  EXPECT_EQ(r.Err, "");
}

TEST_F(CliCheck, ValidFilesPassAndTheDemoIsValid) {
  const std::string f = Write("ok.il", "LD X0\nOUT Y0\n;c\n\nEND\n");
  Result r = RunCli({"check", f, std::string(FERROLAD_SOURCE_DIR) + "/examples/demo.il"});
  EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
  EXPECT_EQ(r.Out, "");
}

TEST_F(CliCheck, UnreadableFilesAndUsage) {
  const std::string good = Write("ok.il", "END\n");
  const std::string bad = Write("bad.il", "ld X0\n");
  Result r = RunCli({"check", dir_ + "/missing.il", bad, good});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "ferrolad-cli check: " + dir_ + "/missing.il: No such file or directory\n");
  EXPECT_EQ(r.Out, bad + ":1: 6: // wrong command: -> ld X0\n");  // the other files are still checked

  r = RunCli({"check"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("Usage"), std::string::npos);
  r = RunCli({"check", "--bogus", good});
  EXPECT_EQ(r.Status, 2);
  // Global options are accepted and ignored.
  r = RunCli({"-v", "check", good});
  EXPECT_EQ(r.Status, 0) << r.Err;
}

TEST_F(CliCheck, NumbersShowTheEditorsNumberColumn) {
  const std::string f = Write("n.il", "LD X0\n\n// c\nOUT Y0\nld X1\n" + std::string(600, 'x') + "\n");
  std::vector<std::string> big;
  std::string text;
  for (int i = 0; i < 12; ++i) text += "LD X0\n";
  const std::string f2 = Write("big.il", text);

  Result r = RunCli({"check", "--numbers", f});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "0->  LD X0\n     // c\n1->  OUT Y0\n     ld X1\n     " + std::string(600, 'x') + "\n");
  EXPECT_NE(r.Err.find(":5: 6: // wrong command: -> ld X1"), std::string::npos);

  r = RunCli({"check", "--numbers", f2});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out.substr(0, 11), " 0->  LD X0");
  EXPECT_NE(r.Out.find("\n11->  LD X0\n"), std::string::npos);
}

TEST_F(CliCheck, HostileFilesNeverCrash) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
  const std::string f = Write("g.il", garbage + std::string("\0LD X0\n", 7) + std::string(1 << 20, 'Z') + "\n");
  const Result r = RunCli({"check", f});
  EXPECT_EQ(r.Status, 1);
  EXPECT_FALSE(r.Out.empty());
}

TEST_F(CliCheck, CleanupClearAndComment) {
  const std::string f = Write("c.il", "LD X9\r\n\r\n// note\r\nLD X0\r\nEND x\r\nld Y0\r\nOUT Y0\r\n");
  Result r = RunCli({"cleanup", "--clear", f});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "// note\nLD X0\nEND x\nOUT Y0\n");
  r = RunCli({"cleanup", "--comment", f});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "// wrong parameter 1: -> LD X9\n// note\nLD X0\nEND x\n// wrong command: -> ld Y0\nOUT Y0\n");
  EXPECT_EQ(RunCli({"cleanup", f}).Status, 2);
  EXPECT_EQ(RunCli({"cleanup", "--clear", "--comment", f}).Status, 2);
  EXPECT_EQ(RunCli({"cleanup", "--clear"}).Status, 2);
  r = RunCli({"cleanup", "--clear", dir_ + "/none.il"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("No such file or directory"), std::string::npos);
}
