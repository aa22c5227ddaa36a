// The example diagrams in examples/ are made with the model; this keeps them in step with it.
// FERROLAD_WRITE_EXAMPLES=1 rewrites them.
// GCC 12 reports a false -Wrestrict on string concatenation at -O3.
#pragma GCC diagnostic ignored "-Wrestrict"
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ladder/ladder_file.h"
#include "ladder_test_util.h"

namespace ferrolad {
namespace {

using test::Fixture;

// Start/stop latch with a parallel branch, then motor parameter blocks and a move.
void BuildMotorStart(Fixture& f, TMotorControlBlocks& blocks) {
  ASSERT_TRUE(f.Place(0, 3, "LD", "X0"));
  ASSERT_TRUE(f.Place(0, 4, "LDI", "X1"));
  ASSERT_TRUE(f.Place(0, 5, "OUT", "Y0"));
  ASSERT_TRUE(f.Place(1, 3, "LD", "Y0"));
  f.grid.CurRow = 0;
  ASSERT_TRUE(f.grid.AddVerticalLine(0, 4));
  ASSERT_TRUE(f.Place(2, 3, "LD=", "D0", "K5"));
  ASSERT_TRUE(f.Place(2, 6, "INV"));
  ASSERT_TRUE(f.Place(2, 7, "SET", "M1"));
  f.grid.CurRow = 3;
  f.grid.CurCol = 3;
  ASSERT_TRUE(blocks.AddParameterBlock("ACCEL", "1000"));
  ASSERT_TRUE(blocks.AddParameterBlock("DECEL", "1000"));
  ASSERT_TRUE(blocks.AddGroupParameter("MOVE", "1", "5000"));
  ASSERT_TRUE(f.Place(f.grid.CurRow, 3, "END"));
}

// A main rung, a timed interruption handler and the program end.
void BuildInterrupt(Fixture& f, TMotorControlBlocks& blocks) {
  ASSERT_TRUE(f.Place(0, 3, "LDP", "X2"));
  ASSERT_TRUE(f.Place(0, 4, "MOV", "K3", "D10"));
  ASSERT_TRUE(f.Place(1, 3, "EI"));
  ASSERT_TRUE(f.Place(2, 3, "END"));
  f.grid.CurRow = 0;
  ASSERT_TRUE(blocks.AddInterruption({"Add timed  interruption", 1, 100, 3, "I"}, "5"));
  f.grid.CurRow = 4;
  f.entry.SelectContact("None");
  ASSERT_TRUE(blocks.AddParameterBlock("SPIN", "1"));
}

std::string ReadAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(LadderExamples, FilesMatchTheModel) {
  struct Example {
    const char* file;
    void (*build)(Fixture&, TMotorControlBlocks&);
  };
  for (const Example& e : {Example{"motor_start.ld", BuildMotorStart}, Example{"interrupt.ld", BuildInterrupt}}) {
    Fixture f;
    f.entry.FillContactList();
    TMotorControlBlocks blocks(f.grid, f.entry);
    e.build(f, blocks);
    ASSERT_TRUE(f.ui.messages.empty()) << e.file << ": " << f.ui.messages.front();
    const std::string path = std::string(FERROLAD_SOURCE_DIR) + "/examples/" + e.file;
    if (std::getenv("FERROLAD_WRITE_EXAMPLES")) {
      ASSERT_TRUE(SaveLadderFile(f.grid, path));
    }
    EXPECT_EQ(ReadAll(path), LadderFileText(f.grid)) << e.file;
    Fixture g;
    EXPECT_EQ(LoadLadderFile(g.grid, path), TLadderLoadResult::Loaded);
  }
}

}  // namespace
}  // namespace ferrolad
