// GCC 12 reports a false -Wrestrict on string concatenation at -O3.
#pragma GCC diagnostic ignored "-Wrestrict"
#include <gtest/gtest.h>

#include "ladder/motor_blocks.h"
#include "ladder_test_util.h"

namespace ferrolad {
namespace {

using test::Fixture;

struct Blocks : Fixture {
  TMotorControlBlocks blocks{grid, entry};
  Blocks() { entry.FillContactList(); }
  // The box of a row as "MNEMONIC OP1 OP2", read from the last three columns.
  std::string Box(int row) {
    std::string s;
    for (int c = 0; c < grid.ColCount; ++c) {
      if (grid.IsBoxStartCell(row, c)) {
        s = At(row, c).Value;
        for (int k = c + 1; k < grid.ColCount && grid.IsBoxPart(row, k); ++k) s += " " + At(row, k).Value;
      }
    }
    return s;
  }
};

TEST(EntryCondition, DefaultsAndLists) {
  Blocks f;
  EXPECT_EQ(f.entry.View.ContactItems, (std::vector<std::string>{"LD", "LDI", "LDP", "LDF", "None"}));
  EXPECT_TRUE(f.entry.Active);
  EXPECT_EQ(f.entry.View.GroupCaption, "Entry condition - LDP");
  EXPECT_EQ(f.entry.View.TypeItems, (std::vector<std::string>{"X", "Y", "M", "T", "C"}));
  EXPECT_EQ(f.entry.View.SelectedType, "M");
  EXPECT_EQ(f.entry.View.SelectedNumber, 108);
  EXPECT_EQ(f.entry.View.NumberItems.size(), 128u);
  EXPECT_EQ(f.entry.View.Picture, "IMG_rising_edge");
  EXPECT_EQ(f.entry.OperandText(), "M108");

  f.entry.SetEntryOperandType(OpTypeT);
  EXPECT_EQ(f.entry.View.NumberItems.size(), 64u);
  EXPECT_EQ(f.entry.OperandNumber, 0);  // 108 is not a timer
  f.entry.SetEntryOperandType(OpTypeX);
  f.entry.SelectNumber(8);
  EXPECT_EQ(f.entry.OperandText(), "X10");  // inputs are octal

  f.entry.SelectContact("None");
  EXPECT_FALSE(f.entry.Active);
  EXPECT_EQ(f.entry.View.GroupCaption, "Entry condition - none");
  EXPECT_FALSE(f.entry.View.TypeEnabled);
  EXPECT_EQ(f.entry.View.Picture, "");
  f.entry.SelectContact("LDI");
  EXPECT_TRUE(f.entry.Active);
  EXPECT_EQ(f.entry.ContactInstr.Name, "LDI");
  EXPECT_EQ(f.entry.View.SelectedType, "X");  // the current type stays when allowed
}

TEST(MotorBlocks, JoinedBlocksShareOneContact) {
  Blocks f;
  f.grid.CurRow = 1;
  ASSERT_TRUE(f.blocks.AddParameterBlock("ACCEL", "1000"));
  ASSERT_TRUE(f.blocks.AddParameterBlock("DECEL", "1000"));
  EXPECT_EQ(f.At(1, 3).Layers, "CommonBus;LDP;");
  EXPECT_EQ(f.At(1, 3).Value, "M108");
  EXPECT_EQ(f.Box(1), "MOV K1000 D361");
  EXPECT_EQ(f.At(1, 12).Cmd, "Set ACCEL = K1000");
  EXPECT_EQ(f.At(1, 4).Layers, "VLine1;HLine;");
  EXPECT_EQ(f.At(2, 3).Layers, "CommonBus;");
  EXPECT_EQ(f.At(2, 4).Layers, "VLine2;HLine;");
  for (int c = 5; c <= 11; ++c) EXPECT_EQ(f.At(2, c).Layers, "HLine;");
  EXPECT_EQ(f.Box(2), "MOV K1000 D362");
  EXPECT_EQ(f.grid.CurRow, 3);
  EXPECT_EQ(f.grid.RowCount, 7);
}

TEST(MotorBlocks, WithoutJoinEveryBlockHasItsOwnContact) {
  Blocks f;
  f.blocks.JoinConditions = false;
  ASSERT_TRUE(f.blocks.AddParameterBlock("ACCEL", "1000"));
  ASSERT_TRUE(f.blocks.AddParameterBlock("DECEL", "1000"));
  EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;LDP;");
  EXPECT_EQ(f.At(1, 3).Layers, "CommonBus;LDP;");
  EXPECT_EQ(f.At(1, 4).Layers, "HLine;");
  // A different contact, or a cursor moved away, also starts a new rung.
  f.blocks.JoinConditions = true;
  f.entry.SelectNumber(5);
  ASSERT_TRUE(f.blocks.AddParameterBlock("MAX SPEED", "3000"));
  EXPECT_EQ(f.At(2, 3).Value, "M5");
  EXPECT_EQ(f.Box(2), "DMOV K3000 D357");
  EXPECT_EQ(f.At(2, 12).Cmd, "Set MAX SPEED = K3000");
  f.grid.CurRow = 0;
  ASSERT_TRUE(f.blocks.AddParameterBlock("MIN SPEED", "10"));
  EXPECT_EQ(f.At(0, 3).Value, "M5");
  EXPECT_EQ(f.At(0, 4).Layers, "HLine;");
}

TEST(MotorBlocks, WithoutEntryContactOnlyTheBox) {
  Blocks f;
  f.entry.SelectContact("None");
  ASSERT_TRUE(f.blocks.AddParameterBlock("ACCEL", "1000"));
  for (int c = 3; c <= 11; ++c) EXPECT_EQ(f.grid.CellFlags(0, c) & (cfHLine | cfElement), 0) << c;
  EXPECT_EQ(f.Box(0), "MOV K1000 D361");
}

TEST(MotorBlocks, MovePairsAndCommandDescriptions) {
  Blocks f;
  ASSERT_TRUE(f.blocks.AddGroupParameter("MOVE", "1", "5000"));
  EXPECT_EQ(f.Box(0), "DMOV K5000 D372");
  EXPECT_EQ(f.At(0, 12).Cmd, "Set TARGET POS = K5000");
  EXPECT_EQ(f.Box(1), "MOV K1 D376");
  EXPECT_EQ(f.At(1, 13).Cmd, "MOVE OFFSET by TARGET_POS");
  EXPECT_EQ(f.At(1, 13).CmdNote, "Set RUN/MOVE COMMAND = K1");
  EXPECT_EQ(f.At(1, 4).Layers, "VLine2;HLine;");  // joined under the first contact
  ASSERT_TRUE(f.blocks.AddGroupParameter("GO HOME", "4"));
  EXPECT_EQ(f.At(2, 12).Cmd, "GO HOME");
  ASSERT_TRUE(f.blocks.AddGroupParameter("GO TO POS", "2", "-2147483648"));
  EXPECT_EQ(f.Box(3), "DMOV K-2147483647 D372");
  EXPECT_FALSE(f.blocks.AddGroupParameter("ACCEL", "abc"));
}

TEST(MotorBlocks, SpinTorqueAndUnknownParameters) {
  Blocks f;
  ASSERT_TRUE(f.blocks.AddParameterBlock("SPIN", "1"));
  EXPECT_EQ(f.At(0, 14).Layers, "InstrStart;InstrEnd;");
  EXPECT_EQ(f.At(0, 14).Value, "SPIN");
  ASSERT_TRUE(f.blocks.AddParameterBlock("TORQUE", ""));
  EXPECT_EQ(f.At(1, 14).Value, "TORQUE");
  const int rows = f.grid.RowCount;
  EXPECT_FALSE(f.blocks.AddParameterBlock("NO SUCH PARAMETER", "1"));
  EXPECT_FALSE(f.blocks.AddParameterBlock("GET_ERRORS", "1"));  // a system row without data register
  EXPECT_EQ(f.grid.RowCount, rows);
  EXPECT_TRUE(f.ui.messages.empty());
}

TEST(MotorBlocks, RowsCrossedByLinksAreRefused) {
  Blocks f;
  f.At(0, 6).Layers = "VLine1;";
  f.At(1, 6).Layers = "VLine2;";
  f.grid.CurRow = 1;
  f.blocks.JoinConditions = false;
  EXPECT_FALSE(f.blocks.AddParameterBlock("ACCEL", "10"));
  EXPECT_EQ(f.ui.messages, std::vector<std::string>{"Impossible to place the instruction here"});
  EXPECT_EQ(f.grid.RowCount, 5);
}

TEST(MotorBlocks, InterruptionHandlerGoesAfterFend) {
  Blocks f;
  ASSERT_TRUE(f.Place(0, 3, "LD", "X0"));
  ASSERT_TRUE(f.Place(0, 4, "OUT", "Y0"));
  ASSERT_TRUE(f.Place(1, 3, "END"));
  const TInterruptionRow timed{"Add timed  interruption", 1, 100, 3, "I"};
  f.grid.CurRow = 0;
  ASSERT_TRUE(f.blocks.AddInterruption(timed, "7"));
  EXPECT_EQ(f.Box(1), "FEND");
  EXPECT_EQ(f.At(2, 2).Value, "I 7");
  EXPECT_EQ(f.At(2, 2).Layers, "Label;");
  EXPECT_EQ(f.Box(3), "IRET");
  EXPECT_EQ(f.Box(4), "END");
  // A second handler goes after the existing FEND; numbers are clamped to the row's range.
  ASSERT_TRUE(f.blocks.AddInterruption(timed, "500"));
  EXPECT_EQ(f.Box(1), "FEND");
  EXPECT_EQ(f.At(2, 2).Value, "I 100");
  EXPECT_EQ(f.Box(3), "IRET");
  EXPECT_EQ(f.At(4, 2).Value, "I 7");
  EXPECT_FALSE(f.entry.JoinValid);
}

TEST(MotorBlocks, InterruptionWithoutEndAndPlainInstructions) {
  Blocks f;
  ASSERT_TRUE(f.blocks.AddInterruption({"Add comm. interruption", 0, 0, 0, "I"}, ""));
  EXPECT_EQ(f.Box(4), "FEND");
  EXPECT_EQ(f.At(5, 2).Value, "I 0");
  EXPECT_EQ(f.Box(6), "IRET");
  f.grid.CurRow = 0;
  ASSERT_TRUE(f.blocks.AddInterruption({"Enable interruptions", 0, 0, 4, "EI"}, ""));
  EXPECT_EQ(f.Box(0), "EI");
  EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;HLine;");
  EXPECT_EQ(f.grid.CurRow, 1);
  EXPECT_FALSE(f.blocks.AddInterruption({"x", 0, 0, 4, "NOSUCH"}, ""));
}

TEST(SetAllParameters, ButtonsAddTheirBlocksInOrder) {
  auto boxes = [](Blocks& f) {
    std::vector<std::string> out;
    for (int r = 0; r < f.grid.RowCount; ++r) {
      if (auto b = f.Box(r); !b.empty()) out.push_back(b);
    }
    return out;
  };
  {
    Blocks f;
    TAllParameters p;
    p.Acceleration = "99999";  // clamped to the row's range, like the default 3000 for DECEL
    f.blocks.AddSpeedSettings(p);
    EXPECT_EQ(boxes(f), (std::vector<std::string>{"MOV K1000 D361", "MOV K1000 D362", "DMOV K3000 D357",
                                                  "DMOV K3000 D359", "MOV K1 D382", "MOV K1 D379",
                                                  "DMOV K3000 D377", "MOV K1 D374"}));
  }
  {
    Blocks f;
    TAllParameters p;
    p.SetAccelerationCurrent = p.SetDecelerationCurrent = p.SetOperationCurrent = p.SetHoldingCurrent = false;
    f.blocks.AddCurrentSettings(p);
    EXPECT_EQ(boxes(f), std::vector<std::string>{"TORQUE"});  // always added
  }
  {
    Blocks f;
    TAllParameters p;
    p.FullStepEnable = false;
    p.DirectionForward = false;
    p.MicrosteppingIndex = 6;
    p.GoUntilInputIndex = 5;
    p.OperationCurrent = "10";
    f.blocks.AddAllSettings(p);
    const auto b = boxes(f);
    ASSERT_EQ(b.size(), 14u);
    EXPECT_EQ(b[5], "MOV K0 D379");
    EXPECT_EQ(b[6], "MOV K0 D374");
    EXPECT_EQ(b[9], "MOV K150 D369");
    EXPECT_EQ(b[11], "TORQUE");
    EXPECT_EQ(b[12], "MOV K7 D366");
    EXPECT_EQ(b[13], "MOV K5 D375");
  }
  EXPECT_EQ(MicrostepValue(6), 7);
  EXPECT_EQ(MicrostepValue(7), 8);
  EXPECT_EQ(MicrostepValue(5), 5);
  EXPECT_EQ(DigitsOnly("-12a3-"), "-123");
}

}  // namespace
}  // namespace ferrolad
