#include <gtest/gtest.h>

#include "ladder/ladder_grid.h"
#include "ladder_test_util.h"

namespace ferrolad {
namespace {

using test::Fixture;
using Mode = TLadderGrid::TColumnMode;

TEST(LadderPlace, SingleElementsKeepTheirLinksAndMoveTheCursor) {
  struct Case {
    const char* name;
    int col;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"LD", 3, "CommonBus;", "CommonBus;LD;"},
      {"LDI", 5, "VLine2;HLine;VLine1;", "VLine1;VLine2;LDI;"},
      {"LDP", 6, "HLine;", "LDP;"},
      {"LDF", 7, "", "LDF;"},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.At(0, c.col).Layers = c.before;
    f.At(0, c.col).Cmd = "kept";
    ASSERT_TRUE(f.Place(0, c.col, c.name, "X10")) << c.name;
    EXPECT_EQ(f.At(0, c.col).Layers, c.after);
    EXPECT_EQ(f.At(0, c.col).Value, "X10");
    EXPECT_EQ(f.At(0, c.col).Cmd, "kept");
    EXPECT_EQ(f.grid.CurCol, c.col + 1);
  }
}

TEST(LadderPlace, CoilGetsLinesUpToTheOutputColumn) {
  Fixture f;
  ASSERT_TRUE(f.Place(1, 6, "OUT", "Y0"));
  for (int c = 6; c <= 13; ++c) EXPECT_EQ(f.At(1, c).Layers, "HLine;") << c;
  EXPECT_EQ(f.At(1, 14).Layers, "OUT;");
  EXPECT_EQ(f.At(1, 14).Value, "Y0");
  EXPECT_EQ(f.At(1, 5).Layers, "");
  EXPECT_EQ(f.grid.CurCol, 14);
}

TEST(LadderPlace, ComparisonContactTakesThreeCellsWithRegisterNames) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 4, "LD=", "D361", "K5"));
  EXPECT_EQ(f.At(0, 4).Layers, "TransStart;");
  EXPECT_EQ(f.At(0, 4).Value, "LD=");
  EXPECT_EQ(f.At(0, 5).Layers, "TransOperand1;");
  EXPECT_EQ(f.At(0, 5).Lbl, "ACCEL");
  EXPECT_EQ(f.At(0, 6).Layers, "TransOperand2;TransEnd;");
  EXPECT_EQ(f.At(0, 6).Value, "K5");
  EXPECT_EQ(f.At(0, 6).Lbl, "");
  EXPECT_EQ(f.grid.CurCol, 6);
  // Missing second operand: the end token goes on the last cell written.
  ASSERT_TRUE(f.Place(1, 4, "LD>", "D0", ""));
  EXPECT_EQ(f.At(1, 5).Layers, "TransOperand1;TransEnd;");
  EXPECT_EQ(f.At(1, 5).Lbl, "");  // D0 is the empty row
}

TEST(LadderPlace, BoxIsRightAlignedWithDescriptions) {
  struct Case {
    const char* name;
    const char* op1;
    const char* op2;
    const char* cmd;
    const char* note;
    const char* lbl2;
  };
  const Case cases[] = {
      {"MOV", "K1000", "D361", "Set ACCEL = K1000", "", ""},
      {"MOV", "K4", "D376", "GO HOME", "Set RUN/MOVE COMMAND = K4", ""},
      {"MOV", "K11", "D376", "Set RUN/MOVE COMMAND = K11", "Set RUN/MOVE COMMAND = K11", ""},
      {"MOV", "K7", "D366", "MICROSTEPPING 1/128", "Set MICROSTEP = K7", ""},
      {"MOV", "K6", "D366", "Set MICROSTEP = K6", "Set MICROSTEP = K6", ""},
      {"MOV", "D382", "D379", "Set FULL STEP ENABLE = CALCULATE MIN SPEED", "", ""},
      {"DMOV", "K5000", "D372", "Set TARGET POS = K5000", "", ""},
      {"DMOV", "K5", "D361", "", "", "ACCEL"},  // 16-bit register written by DMOV: no description
      {"MOV", "K5", "D100", "", "", ""},        // not a described register
  };
  for (const auto& c : cases) {
    Fixture f;
    SCOPED_TRACE(std::string(c.name) + " " + c.op1 + " " + c.op2);
    ASSERT_TRUE(f.Place(0, 4, c.name, c.op1, c.op2));
    for (int col = 4; col <= 11; ++col) EXPECT_EQ(f.At(0, col).Layers, "HLine;");
    EXPECT_EQ(f.At(0, 12).Layers, "InstrStart;");
    EXPECT_EQ(f.At(0, 12).Value, c.name);
    EXPECT_EQ(f.At(0, 13).Layers, "InstrOperand1;");
    EXPECT_EQ(f.At(0, 14).Layers, "InstrOperand2;InstrEnd;");
    for (int col = 12; col <= 14; ++col) {
      EXPECT_EQ(f.At(0, col).Cmd, c.cmd);
      EXPECT_EQ(f.At(0, col).CmdNote, c.note);
    }
    EXPECT_EQ(f.At(0, 14).Lbl, c.lbl2);
    EXPECT_EQ(f.grid.CurCol, 14);
  }
}

TEST(LadderPlace, BoxesOfEveryWidth) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 3, "END"));
  EXPECT_EQ(f.At(0, 14).Layers, "InstrStart;InstrEnd;");
  EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;HLine;");
  ASSERT_TRUE(f.Place(1, 5, "ZCP", "K1", "K2", "D0", "M1"));
  EXPECT_EQ(f.At(1, 10).Layers, "InstrStart;");
  EXPECT_EQ(f.At(1, 13).Layers, "InstrOperand3;");
  EXPECT_EQ(f.At(1, 14).Layers, "InstrOperand4;InstrEnd;");
  EXPECT_EQ(f.At(1, 14).Value, "M1");
  ASSERT_TRUE(f.Place(2, 4, "SET", "Y1"));
  EXPECT_EQ(f.At(2, 13).Layers, "InstrStart;");
  EXPECT_EQ(f.At(2, 14).Layers, "InstrOperand1;InstrEnd;");
}

TEST(LadderPlace, RefusalsShowOneMessageAndChangeNothing) {
  {
    Fixture f;
    f.At(0, 10).Layers = "LD;";
    EXPECT_FALSE(f.Place(0, 5, "MOV", "K1", "D1"));
    EXPECT_EQ(f.ui.messages, std::vector<std::string>{"Not enough space to add the Instruction"});
    EXPECT_EQ(f.At(0, 5).Layers, "");
  }
  {
    Fixture f;
    EXPECT_FALSE(f.Place(0, 2, "LD", "X0"));  // only labels go into column 2
    EXPECT_EQ(f.ui.messages, std::vector<std::string>{"This instruction is not possible here"});
  }
  {
    // A quote would make the file unreadable; a line break would split its line.
    Fixture f;
    EXPECT_FALSE(f.Place(0, 4, "LD", "X\"0"));
    EXPECT_FALSE(f.Place(0, 4, "MOV", "K1", "D1\n"));
    EXPECT_EQ(f.ui.messages.size(), 2u);
    EXPECT_EQ(f.At(0, 4).Layers, "");
  }
  {
    Fixture f;
    EXPECT_FALSE(f.Place(0, 4, "ANB"));  // cannot be drawn
    EXPECT_FALSE(f.Place(0, 4, "Unknown"));
  }
}

TEST(LadderPlace, LabelsGoToColumnTwo) {
  Fixture f;
  ASSERT_TRUE(f.Place(1, 2, "P", "3"));
  EXPECT_EQ(f.At(1, 2).Layers, "Label;");
  EXPECT_EQ(f.At(1, 2).Value, "P 3");
  EXPECT_EQ(f.grid.CurCol, 3);
  EXPECT_FALSE(f.Place(1, 2, "I", "7"));
  EXPECT_EQ(f.ui.messages.back(), "Not enough space to add the Instruction");
}

TEST(LadderPlace, PlacingClearsTheJoinMemory) {
  Fixture f;
  f.entry.JoinValid = true;
  ASSERT_TRUE(f.Place(0, 4, "LD", "X0"));
  EXPECT_FALSE(f.entry.JoinValid);
}

TEST(LadderLines, HorizontalLineReplacesAContact) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 6, "LD", "X0"));
  f.At(0, 6).Layers = "VLine2;LD;";
  ASSERT_TRUE(f.grid.AddHorizontalLine(0, 6));
  EXPECT_EQ(f.At(0, 6).Layers, "VLine2;HLine;");
  EXPECT_EQ(f.At(0, 6).Value, "");
  EXPECT_EQ(f.grid.CurCol, 7);
  ASSERT_TRUE(f.grid.AddHorizontalLine(0, 3));
  EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;HLine;");
  f.At(1, 8).Layers = "InstrStart;";
  EXPECT_FALSE(f.grid.AddHorizontalLine(1, 8));
}

TEST(LadderLines, VerticalLinksAndTheirRefusals) {
  {
    Fixture f;
    EXPECT_FALSE(f.grid.AddVerticalLine(0, 14));
    EXPECT_FALSE(f.grid.AddVerticalLine(0, 3));
    f.grid.VerticalsAtRight = true;
    EXPECT_FALSE(f.grid.AddVerticalLine(0, 13));
    EXPECT_TRUE(f.ui.messages.empty());
  }
  {
    Fixture f;
    f.At(0, 5).Layers = "HLine;";
    ASSERT_TRUE(f.grid.AddVerticalLine(0, 5));
    EXPECT_EQ(f.At(0, 5).Layers, "VLine1;HLine;");
    EXPECT_EQ(f.At(1, 5).Layers, "VLine2;");
    EXPECT_EQ(f.grid.CurRow, 1);
    EXPECT_EQ(f.At(1, 5).VirtualLayers, "VLine1;");  // preview of the next step
    ASSERT_TRUE(f.grid.AddVerticalLine(1, 5));     // extends downwards
    EXPECT_EQ(f.At(1, 5).Layers, "VLine1;VLine2;");
    EXPECT_EQ(f.At(2, 5).Layers, "VLine2;");
  }
  {
    Fixture f;
    f.grid.CurRow = 4;
    ASSERT_TRUE(f.grid.AddVerticalLine(4, 6));
    EXPECT_EQ(f.grid.RowCount, 6);
    EXPECT_EQ(f.At(5, 6).Layers, "VLine2;");
  }
  {
    Fixture f;
    f.At(1, 7).Layers = "InstrOperand1;";
    EXPECT_FALSE(f.grid.AddVerticalLine(0, 7));
    EXPECT_EQ(f.ui.messages, std::vector<std::string>{"It is impossible to place this element here"});
    EXPECT_EQ(f.At(0, 7).Layers, "");
  }
}

TEST(LadderLines, InverseLogic) {
  Fixture f;
  EXPECT_FALSE(f.grid.AddInverseLogic(0, 3));
  f.At(0, 6).Layers = "VLine1;LD;";
  ASSERT_TRUE(f.grid.AddInverseLogic(0, 6));
  EXPECT_EQ(f.At(0, 6).Layers, "VLine1;INV;");
  EXPECT_EQ(f.grid.CurCol, 7);
  // In the output column a column is added first and the coil moves right.
  ASSERT_TRUE(f.Place(1, 4, "OUT", "Y0"));
  ASSERT_TRUE(f.grid.AddInverseLogic(1, 14));
  EXPECT_EQ(f.grid.ColCount, 16);
  EXPECT_EQ(f.At(1, 14).Layers, "INV;");
  EXPECT_EQ(f.At(1, 15).Layers, "OUT;");
  f.At(2, 8).Layers = "TransStart;";
  EXPECT_FALSE(f.grid.AddInverseLogic(2, 8));
}

TEST(LadderDelete, DeleteElementOnABoxClearsItButKeepsDescriptions) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 4, "MOV", "K1000", "D361"));
  f.At(0, 13).Layers = "VLine2;" + f.At(0, 13).Layers;
  f.grid.CurCol = 13;
  f.grid.DeleteElement();
  EXPECT_EQ(f.At(0, 12).Layers, "");
  EXPECT_EQ(f.At(0, 13).Layers, "VLine2;");
  EXPECT_EQ(f.At(0, 14).Layers, "");
  for (int c = 12; c <= 14; ++c) {
    EXPECT_EQ(f.At(0, c).Value, "");
    EXPECT_EQ(f.At(0, c).Cmd, "Set ACCEL = K1000");
  }
  EXPECT_EQ(f.At(0, 11).Layers, "HLine;");  // leading lines stay
  ASSERT_TRUE(f.Place(1, 3, "LDI", "X0"));
  f.grid.CurCol = 3;
  f.grid.DeleteElement();
  EXPECT_EQ(f.At(1, 3).Layers, "CommonBus;");
}

TEST(LadderDelete, DeleteRegionRemovesWholeBoxesAndPartnerLinks) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 5, "LD=", "D1", "K2"));
  ASSERT_TRUE(f.Place(0, 8, "MOV", "K1000", "D361"));
  f.At(0, 9).Layers = "VLine1;HLine;";
  f.At(1, 9).Layers = "VLine2;HLine;";
  f.grid.SetRegion(0, 6, 0, 9);
  f.grid.DeleteRegion();
  for (int c = 5; c <= 9; ++c) EXPECT_EQ(f.At(0, c).Layers, "") << c;
  EXPECT_EQ(f.At(1, 9).Layers, "HLine;");
  EXPECT_EQ(f.At(0, 12).Layers, "InstrStart;");  // outside the region
  f.grid.SetRegion(0, 13, 0, 13);
  f.grid.DeleteRegion();
  for (int c = 12; c <= 14; ++c) {
    EXPECT_EQ(f.At(0, c).Layers, "");
    EXPECT_EQ(f.At(0, c).Cmd, "");
  }
  EXPECT_EQ(f.grid.Region, (TRegion{0, 13, 0, 13}));
  f.grid.SetRegion(1, 3, 1, 3);
  f.grid.DeleteRegion();
  EXPECT_EQ(f.At(1, 3).Layers, "CommonBus;");
}

TEST(LadderDelete, LinkDeletions) {
  Fixture f;
  f.At(0, 5).Layers = "VLine1;";
  f.At(1, 5).Layers = "VLine1;VLine2;HLine;";
  f.At(2, 5).Layers = "VLine2;LD;";
  f.grid.CurRow = 1;
  f.grid.CurCol = 5;
  f.grid.DeleteHorizontalLine();
  EXPECT_EQ(f.At(1, 5).Layers, "VLine1;VLine2;");
  f.grid.DeleteVerticalLines();
  EXPECT_EQ(f.At(0, 5).Layers, "");
  EXPECT_EQ(f.At(1, 5).Layers, "");
  EXPECT_EQ(f.At(2, 5).Layers, "LD;");
  f.At(1, 5).Layers = "HLine;VLine1;";
  f.At(2, 5).Layers = "VLine2;LD;";
  f.grid.DeleteLinks();
  EXPECT_EQ(f.At(1, 5).Layers, "");
  EXPECT_EQ(f.At(2, 5).Layers, "LD;");
}

TEST(LadderRows, InsertAndDeleteRows) {
  Fixture f;
  ASSERT_TRUE(f.Place(1, 3, "LD", "X1"));
  f.grid.CurRow = 1;
  f.grid.InsertRow();
  EXPECT_EQ(f.grid.RowCount, 6);
  EXPECT_EQ(f.At(1, 3).Layers, "CommonBus;");
  EXPECT_EQ(f.At(1, 3).Value, "");
  EXPECT_EQ(f.At(2, 3).Layers, "CommonBus;LD;");
  EXPECT_EQ(f.At(2, 3).Value, "X1");
  f.entry.JoinValid = true;
  f.grid.CurRow = 1;
  ASSERT_TRUE(f.grid.DeleteRow());
  EXPECT_FALSE(f.entry.JoinValid);
  EXPECT_EQ(f.grid.RowCount, 5);
  EXPECT_EQ(f.At(1, 3).Value, "X1");
  while (f.grid.RowCount > 1) ASSERT_TRUE(f.grid.DeleteRow());
  EXPECT_FALSE(f.grid.DeleteRow());
  EXPECT_EQ(f.grid.RowCount, 1);
}

TEST(LadderColumns, AddingAtTheEndKeepsOutputsInTheOutputColumn) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 4, "MOV", "K1000", "D361"));
  ASSERT_TRUE(f.Place(1, 4, "OUT", "Y1"));
  f.At(2, 3).Layers = "CommonBus;HLine;";
  for (int c = 4; c <= 14; ++c) f.At(2, c).Layers = "HLine;";
  ASSERT_TRUE(f.grid.AddColumn(Mode::AtEnd));
  EXPECT_EQ(f.grid.ColCount, 16);
  EXPECT_EQ(f.At(0, 12).Layers, "HLine;");
  EXPECT_EQ(f.At(0, 12).Cmd, "");
  EXPECT_EQ(f.At(0, 13).Layers, "InstrStart;");
  EXPECT_EQ(f.At(0, 15).Layers, "InstrOperand2;InstrEnd;");
  EXPECT_EQ(f.At(0, 15).Cmd, "Set ACCEL = K1000");
  EXPECT_EQ(f.At(1, 14).Layers, "HLine;");
  EXPECT_EQ(f.At(1, 15).Layers, "OUT;");
  EXPECT_EQ(f.At(2, 15).Layers, "");  // a row of lines only gets an empty cell
  EXPECT_EQ(f.grid.View.ColWidths.size(), 16u);
}

TEST(LadderColumns, InsertingInTheMiddleOpensAGapAtTheCursor) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 3, "LD", "X0"));
  ASSERT_TRUE(f.Place(0, 5, "LD=", "D1", "K2"));
  ASSERT_TRUE(f.Place(0, 8, "OUT", "Y0"));
  f.grid.CurRow = 0;
  f.grid.CurCol = 6;  // inside the comparison: the gap opens before its start
  ASSERT_TRUE(f.grid.AddColumn(Mode::InMiddle));
  EXPECT_EQ(f.At(0, 5).Layers, "");
  EXPECT_EQ(f.At(0, 6).Layers, "TransStart;");
  EXPECT_EQ(f.At(0, 15).Layers, "OUT;");
  EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;LD;");
  f.grid.CurCol = 3;
  ASSERT_TRUE(f.grid.AddColumn(Mode::InMiddle));
  EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;");
  EXPECT_EQ(f.At(0, 4).Layers, "LD;");
  EXPECT_EQ(f.At(0, 4).Value, "X0");
}

TEST(LadderColumns, ColumnLimitsAndRailColumnDeletion) {
  Fixture f;
  while (f.grid.ColCount < MaxColumns) ASSERT_TRUE(f.grid.AddColumn(Mode::AtEnd));
  EXPECT_FALSE(f.grid.AddColumn(Mode::AtEnd));
  EXPECT_EQ(f.ui.messages, std::vector<std::string>{"Too many columns in the table."});

  Fixture g;
  g.At(0, 4).Layers = "VLine1;LD;";
  g.At(0, 4).Value = "X4";
  g.At(1, 4).Layers = "VLine2;HLine;";
  ASSERT_TRUE(g.grid.DeleteColumn(3));
  EXPECT_EQ(g.grid.ColCount, 14);
  EXPECT_EQ(g.At(0, 3).Layers, "LD;CommonBus;");
  EXPECT_EQ(g.At(0, 3).Value, "X4");
  EXPECT_EQ(g.At(1, 3).Layers, "HLine;CommonBus;");
  EXPECT_EQ(g.At(2, 3).Layers, "CommonBus;");
  EXPECT_FALSE(g.grid.DeleteColumn(2));  // the rail stays in column 3
  while (g.grid.ColCount >= 6) ASSERT_TRUE(g.grid.DeleteColumn(4));
  EXPECT_EQ(g.grid.ColCount, 5);
  EXPECT_FALSE(g.grid.DeleteColumn(4));
  EXPECT_TRUE(g.ui.messages.empty());
}

TEST(LadderColumns, DeletingACutBoxRemovesItWhole) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 4, "MOV", "K1", "D1"));
  ASSERT_TRUE(f.grid.DeleteColumn(13));
  for (int c = 0; c < f.grid.ColCount; ++c) {
    EXPECT_FALSE(f.grid.IsBoxPart(0, c)) << c;
  }
}

TEST(LadderColumns, OutputColumnDeletionNeverLeavesAContactThere) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 13, "LD", "X0"));
  EXPECT_FALSE(f.grid.DeleteColumn(14));
  EXPECT_EQ(f.grid.ColCount, 15);
  EXPECT_EQ(f.ui.messages.size(), 1u);
  f.grid.CurCol = 13;
  f.grid.DeleteElement();
  ASSERT_TRUE(f.Place(1, 4, "OUT", "Y0"));
  EXPECT_TRUE(f.grid.DeleteColumn(14));
  EXPECT_EQ(f.grid.ColCount, 14);
  EXPECT_EQ(f.At(1, 13).Layers, "HLine;");
}

TEST(LadderColumns, ClearRestoresTheStartShape) {
  Fixture f;
  ASSERT_TRUE(f.Place(3, 4, "MOV", "K1", "D361"));
  ASSERT_TRUE(f.grid.AddColumn(Mode::AtEnd));
  f.grid.AppendRow();
  f.entry.JoinValid = true;
  f.grid.ClearLadder();
  EXPECT_FALSE(f.entry.JoinValid);
  EXPECT_EQ(f.grid.RowCount, 5);
  EXPECT_EQ(f.grid.ColCount, 15);
  EXPECT_EQ(f.grid.CurRow, 0);
  EXPECT_EQ(f.grid.CurCol, 3);
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 15; ++c) {
      TLDMCell expected;
      if (c == 3) expected.Layers = "CommonBus;";
      EXPECT_EQ(f.At(r, c), expected) << r << "," << c;
    }
  }
}

}  // namespace
}  // namespace ferrolad
