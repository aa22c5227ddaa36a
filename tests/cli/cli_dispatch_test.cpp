#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"

namespace {
int Run(const std::vector<std::string>& a, std::ostream& o, std::ostream& e) { return ferrolad::cli::Run(a, o, e); }
}  // namespace

TEST(CliDispatch, UnknownCommandAndMissingCommandAreUsageErrors) {
  std::ostringstream out, err;
  EXPECT_EQ(::Run({"no-such-command"}, out, err), 2);
  EXPECT_NE(err.str().find("unknown command \"no-such-command\""), std::string::npos);
  std::ostringstream out2, err2;
  EXPECT_EQ(::Run({}, out2, err2), 2);
  EXPECT_NE(err2.str().find("Usage:"), std::string::npos);
}

TEST(CliDispatch, HelpListsEveryCommand) {
  std::ostringstream out, err;
  EXPECT_EQ(::Run({"--help"}, out, err), 0);
  for (const auto& c : ferrolad::cli::Commands()) {
    EXPECT_NE(out.str().find(c.usage), std::string::npos) << c.name;
  }
}

TEST(CliDispatch, GlobalOptionWithoutValueIsRefused) {
  std::ostringstream out, err;
  EXPECT_EQ(::Run({"--port"}, out, err), 2);
  EXPECT_NE(err.str().find("--port needs a value"), std::string::npos);
}
