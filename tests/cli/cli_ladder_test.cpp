// GCC 12 reports a false -Wrestrict on string concatenation at -O3.
#pragma GCC diagnostic ignored "-Wrestrict"
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "core/instruction_catalogue.h"
#include "ladder/ladder_file.h"

namespace ferrolad {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class CliLadder : public ::testing::Test {
 protected:
  void SetUp() override {
    path = fs::temp_directory_path() / ("ferrolad_cli_ladder_" + std::to_string(::getpid()) + ".ld");
    TLadderGrid g;
    g.CurCol = 3;
    ASSERT_TRUE(g.PlaceElement(FindInstructionByName("LD"), "X0"));
    ASSERT_TRUE(g.PlaceElement(FindInstructionByName("MOV"), "K1000", "D361"));
    ASSERT_TRUE(g.AddVerticalLine(0, 4));
    ASSERT_TRUE(SaveLadderFile(g, path.string()));
  }
  void TearDown() override { fs::remove(path); }
  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return cli::Run(args, out, err);
  }
  fs::path path;
  std::ostringstream out, err;
};

TEST_F(CliLadder, ShowPrintsOneFixedWidthLinePerRow) {
  ASSERT_EQ(Run({"ladder", "show", path.string()}), 0) << err.str();
  const auto lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 2u + 5u);  // size line, column header, five rows
  EXPECT_EQ(lines[0], "rows 5, columns 15");
  EXPECT_EQ(lines[1].substr(0, 24), "      label         1   ");
  const std::string& r0 = lines[2];
  EXPECT_EQ(r0.substr(0, 5), "R0   ");
  // Column c of the grid starts at 5 + 14 * (c - 2).
  EXPECT_EQ(r0.substr(5 + 14 * 1, 14), "#LD X0        ");
  EXPECT_EQ(r0.substr(5 + 14 * 2, 14), ".-------------");
  EXPECT_EQ(r0.substr(5 + 14 * 10, 14), " [MOV         ");
  EXPECT_EQ(r0.substr(5 + 14 * 12), " D361]");
  EXPECT_EQ(lines[3].substr(5 + 14 * 2, 1), "'");
  EXPECT_EQ(lines[6], "R4                 #");
}

TEST_F(CliLadder, BadFilesAndBadUsage) {
  EXPECT_EQ(Run({"ladder", "show", "/no/such/file.ld"}), 2);
  EXPECT_EQ(err.str(), "File error: /no/such/file.ld\n");
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(30);
    f.put('Z');  // one byte changed, check value not
  }
  EXPECT_EQ(Run({"ladder", "show", path.string()}), 2);
  EXPECT_EQ(err.str(), "File error: " + path.string() + "\n");
  std::ofstream(path, std::ios::trunc) << "short\r\nColCount=15\r\nCR=0";
  EXPECT_EQ(Run({"ladder", "show", path.string()}), 2);
  EXPECT_EQ(err.str(), "File error: " + path.string() + "\n");
  EXPECT_EQ(Run({"ladder"}), 2);
  EXPECT_NE(err.str().find("Usage: ferrolad-cli ladder show FILE"), std::string::npos);
  EXPECT_EQ(Run({"ladder", "print", path.string()}), 2);
}

}  // namespace
}  // namespace ferrolad
