#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"

namespace {
struct Result {
  int status;
  std::string out, err;
};
Result RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = ferrolad::cli::Run(args, out, err);
  return {status, out.str(), err.str()};
}
}  // namespace

TEST(CliFrame, PrintsFramesAndLrc) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"frame", "01", "03", "50", "04", "00", "01"}, ":010350040001A7\\r\\n\n"},
      {{"frame", "1", "0x10", "50", "0", "0", "2", "4", "d4", "c0", "0", "1"}, ":01105000000204D4C0000104\\r\\n\n"},
      {{"--id", "7", "frame", "01", "05", "F0", "05", "FF", "00"}, ":0105F005FF0006\\r\\n\n"},
      {{"lrc", "01", "03", "50", "04", "00", "01"}, "A7\n"},
      {{"lrc", "01"}, "FF\n"},
  };
  for (const auto& c : cases) {
    auto r = RunCli(c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
}

TEST(CliFrame, BadInputIsAUsageError) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"frame", "01", "03", "5G", "04", "00", "01"}, "\"5G\" is not a byte in hexadecimal"},
      {{"lrc", "100"}, "\"100\" is not a byte in hexadecimal"},
      {{"frame"}, "give the bytes in hexadecimal"},
      {{"lrc"}, "give the bytes in hexadecimal"},
      {{"frame", "01", "03", "50", "04", "00"}, "at least 6 bytes"},
  };
  for (const auto& c : cases) {
    auto r = RunCli(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}
