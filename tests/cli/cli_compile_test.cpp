// ferrolad-cli compile: ladder files in, instruction lines or a located error out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "core/il_text.h"
#include "core/instruction_catalogue.h"
#include "ladder/ladder_file.h"

namespace ferrolad {
namespace {

namespace fs = std::filesystem;

class CliCompile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("ferrolad_cli_compile_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // X0 and X1 in parallel at the rail, then X2 in series, then coil Y0. With `broken`, a
  // second rung on row 3 stops after its contact.
  std::string Diagram(bool broken) {
    TLadderGrid g;
    auto place = [&](int row, int col, const char* name, const char* op) {
      g.CurRow = row;
      g.CurCol = col;
      EXPECT_TRUE(g.PlaceElement(FindInstructionByName(name), op));
    };
    place(0, 3, "LD", "X0");
    place(1, 3, "LD", "X1");
    EXPECT_TRUE(g.AddVerticalLine(0, 4));
    place(0, 4, "LD", "X2");
    place(0, 5, "OUT", "Y0");
    if (broken) place(3, 3, "LDI", "X3");
    const std::string file = (dir / (broken ? "broken.ld" : "good.ld")).string();
    EXPECT_TRUE(SaveLadderFile(g, file));
    return file;
  }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return cli::Run(args, out, err);
  }
  fs::path dir;
  std::ostringstream out, err;
};

TEST_F(CliCompile, PrintsTheInstructionList) {
  ASSERT_EQ(Run({"compile", Diagram(false)}), 0) << err.str();
  EXPECT_EQ(out.str(), "LD\tX0\nOR\tX1\nAND\tX2\nOUT\tY0\nEND\n");
}

TEST_F(CliCompile, WritesTheFileAndTheLog) {
  const std::string il = (dir / "out.il").string();
  const std::string log = (dir / "debug.log").string();
  ASSERT_EQ(Run({"compile", Diagram(false), "-o", il, "--log", log}), 0) << err.str();
  EXPECT_EQ(out.str(), "Complilation successfull - 1 fragments\n");
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(LoadProgram(il, lines, false, error)) << error;
  EXPECT_EQ(lines, (std::vector<std::string>{"LD\tX0", "OR\tX1", "AND\tX2", "OUT\tY0", "END"}));
  std::ifstream in(log, std::ios::binary);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "Compilation start\r");
}

TEST_F(CliCompile, CompileErrorNamesFragmentRowAndColumn) {
  const std::string file = Diagram(true);
  EXPECT_EQ(Run({"compile", file}), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), file + ": Complilation failed - interrupted lines - Fragment #2 row #3 (fragment 2, row 3, column 1)\n");
}

TEST_F(CliCompile, UnreadableFileAndBadUsage) {
  EXPECT_EQ(Run({"compile", (dir / "missing.ld").string()}), 2);
  EXPECT_NE(err.str().find("cannot read"), std::string::npos);
  { std::ofstream(dir / "garbage.ld") << "RawCount=5\r\nColCount=15\r\nR0C3=\"CommonBus;LD;\" value=\"X0\"\r\nCR=1"; }
  EXPECT_EQ(Run({"compile", (dir / "garbage.ld").string()}), 2);
  EXPECT_EQ(Run({"compile"}), 2);
  EXPECT_EQ(Run({"compile", "a.ld", "b.ld"}), 2);
  EXPECT_EQ(Run({"compile", "a.ld", "-o"}), 2);
}

TEST_F(CliCompile, EmptyDiagramIsReported) {
  TLadderGrid g;
  const std::string file = (dir / "empty.ld").string();
  ASSERT_TRUE(SaveLadderFile(g, file));
  EXPECT_EQ(Run({"compile", file}), 1);
  EXPECT_EQ(err.str(), file + ": Table is empty\n");
}

TEST_F(CliCompile, ExampleDiagramCompiles) {
  const std::string example = std::string(FERROLAD_SOURCE_DIR) + "/examples/demo_compile.ld";
  ASSERT_EQ(Run({"compile", example}), 0) << err.str();
  std::istringstream in(out.str());
  int n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    EXPECT_EQ(ClassifyLine(line).Kind, TLineKind::Instruction) << line;
  }
  EXPECT_GT(n, 10);
}

}  // namespace
}  // namespace ferrolad
