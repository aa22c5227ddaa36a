// GCC 12 reports a false -Wrestrict on string concatenation at -O3.
#pragma GCC diagnostic ignored "-Wrestrict"
#include <gtest/gtest.h>

#include <random>

#include "ladder/ladder_file.h"
#include "ladder_test_util.h"

namespace ferrolad {
namespace {

using test::Fixture;

TEST(LadderCopy, RegionsThatCutABoxAreRefused) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 4, "LD=", "D1", "K2"));
  struct Case {
    TRegion region;
    const char* message;  // nullptr: accepted
  };
  const Case cases[] = {
      {{0, 5, 0, 7}, "Impossible to copy because of an instruction at left edge of the region"},
      {{0, 3, 0, 5}, "Impossible to copy because of an instruction at right edge of the region"},
      {{0, 4, 0, 4}, "Impossible to copy because of an instruction at right edge of the region"},
      {{0, 3, 0, 6}, nullptr},  // ends exactly on "TransOperand2;TransEnd;"
      {{0, 6, 0, 3}, "Impossible to copy region"},
      {{3, 3, 1, 3}, "Impossible to copy region"},
  };
  for (const auto& c : cases) {
    f.ui.messages.clear();
    f.grid.CopyBuffer = {};
    f.grid.SetRegion(c.region);
    f.grid.CopyRegion();
    if (c.message) {
      EXPECT_EQ(f.ui.messages, std::vector<std::string>{c.message});
      EXPECT_TRUE(f.grid.CopyBuffer.Rows.empty());
    } else {
      EXPECT_TRUE(f.ui.messages.empty());
      ASSERT_EQ(f.grid.CopyBuffer.Rows.size(), 1u);
      ASSERT_EQ(f.grid.CopyBuffer.Rows[0].size(), 4u);
      EXPECT_EQ(f.grid.CopyBuffer.Rows[0][0].Layers, "");  // the rail is not copied
      EXPECT_EQ(f.grid.CopyBuffer.Rows[0][1].Text, "LD=");
      EXPECT_FALSE(f.grid.CopyBuffer.HasOutputs);
      EXPECT_EQ(f.grid.CopyBuffer.SourceCol, 3);
    }
  }
}

TEST(LadderPaste, CopiedCellsLandAtTheCursorWithTheRailKept) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 3, "LD", "X0"));
  ASSERT_TRUE(f.Place(0, 4, "LDI", "X1"));
  f.grid.SetRegion(0, 3, 0, 4);
  f.grid.CopyRegion();
  f.grid.CurRow = 2;
  f.grid.CurCol = 6;
  f.grid.PasteRegion();
  EXPECT_EQ(f.At(2, 6).Layers, "LD;");
  EXPECT_EQ(f.At(2, 6).Value, "X0");
  EXPECT_EQ(f.At(2, 7).Layers, "LDI;");
  f.grid.CurRow = 3;
  f.grid.CurCol = 3;
  f.grid.PasteRegion();  // the same buffer again
  EXPECT_EQ(f.At(3, 3).Layers, "LD;CommonBus;");
  EXPECT_EQ(f.grid.Region, (TRegion{3, 3, 3, 3}));
  EXPECT_TRUE(f.ui.questions.empty());
  f.grid.CurRow = 4;  // last row: a row is appended after the paste
  f.grid.PasteRegion();
  EXPECT_EQ(f.grid.RowCount, 6);
}

TEST(LadderPaste, OccupiedTargetsAskFirst) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 5, "LD", "X0"));
  f.grid.SetRegion(0, 5, 0, 5);
  f.grid.CopyRegion();
  ASSERT_TRUE(f.Place(1, 5, "LDI", "X7"));
  f.grid.CurRow = 1;
  f.grid.CurCol = 5;
  f.ui.answers = {false};
  f.grid.PasteRegion();
  EXPECT_EQ(f.ui.questions, std::vector<std::string>{"Cells are not empty. Delete previous content?"});
  EXPECT_EQ(f.At(1, 5).Value, "X7");
  f.ui.answers = {true};
  f.grid.PasteRegion();
  EXPECT_EQ(f.At(1, 5).Value, "X0");
  EXPECT_EQ(f.At(1, 5).Layers, "LD;");
}

TEST(LadderPaste, OutputsOnlyPasteIntoTheirOwnColumns) {
  Fixture f;
  f.At(0, 10).Layers = "OUT;";  // a coil copied from column 10
  f.At(0, 10).Value = "Y0";
  f.grid.SetRegion(0, 10, 0, 10);
  f.grid.CopyRegion();
  EXPECT_TRUE(f.grid.CopyBuffer.HasOutputs);
  f.grid.CurRow = 2;
  f.grid.CurCol = 11;
  f.grid.PasteRegion();
  EXPECT_EQ(f.ui.messages,
            std::vector<std::string>{"Impossible to insert cells. Apply instruction can not be placed here."});
  EXPECT_EQ(f.At(2, 11).Layers, "");
  f.grid.CurCol = 10;
  f.grid.PasteRegion();
  EXPECT_EQ(f.At(2, 10).Layers, "OUT;");
}

TEST(LadderPaste, GrowsTheGridOrStopsAtTheColumnLimit) {
  Fixture f;
  ASSERT_TRUE(f.Place(0, 4, "LD", "X0"));
  ASSERT_TRUE(f.Place(0, 5, "LD", "X1"));
  f.At(1, 4).Layers = "HLine;";
  f.At(1, 5).Layers = "HLine;";
  f.grid.SetRegion(0, 4, 1, 5);
  f.grid.CopyRegion();
  f.grid.CurRow = 4;
  f.grid.CurCol = 12;
  f.grid.PasteRegion();  // fits: columns 12 and 13
  EXPECT_EQ(f.grid.ColCount, 15);
  EXPECT_EQ(f.At(4, 13).Value, "X1");
  EXPECT_GE(f.grid.RowCount, 6);
  // A contact never lands in the output column: the grid grows one column more.
  f.grid.CurRow = 2;
  f.grid.CurCol = 14;
  f.grid.PasteRegion();
  EXPECT_EQ(f.grid.ColCount, 17);
  EXPECT_EQ(f.At(2, 15).Value, "X1");
  EXPECT_EQ(f.At(2, 16).Layers, "");
  EXPECT_TRUE(f.ui.messages.empty());
  while (f.grid.ColCount < MaxColumns) ASSERT_TRUE(f.grid.AddColumn(TLadderGrid::TColumnMode::AtEnd));
  f.grid.CurCol = 28;
  f.ui.messages.clear();
  f.grid.PasteRegion();
  EXPECT_EQ(f.ui.messages, (std::vector<std::string>{"Too many columns in the table.",
                                                      "Impossible to insert cells - too many columns"}));
}

// ---- Random edit sequences keep the model sound ---------------------------------------------

void ExpectSound(const TLadderGrid& g, const std::string& step) {
  ASSERT_EQ(static_cast<int>(g.Cells.size()), g.RowCount) << step;
  ASSERT_EQ(static_cast<int>(g.View.RowHeights.size()), g.RowCount) << step;
  ASSERT_EQ(static_cast<int>(g.View.ColWidths.size()), g.ColCount) << step;
  ASSERT_GE(g.ColCount, 5) << step;
  for (int r = 0; r < g.RowCount; ++r) {
    ASSERT_EQ(static_cast<int>(g.Cells[static_cast<size_t>(r)].size()), g.ColCount) << step;
    ASSERT_TRUE(LayersContain(g.Cell(r, FirstColumn).Layers, ekCommonBus)) << step << " row " << r;
    for (int c = 0; c < g.ColCount; ++c) {
      const std::string& l = g.Cell(r, c).Layers;
      ASSERT_TRUE(l.empty() || l.back() == ';') << step << " " << l;
      for (const auto& t : SplitTokens(l)) {
        int code = 0;
        ASSERT_TRUE(ElementOfToken(t + ";", code)) << step << " token " << t;
        if (c != FirstColumn) {
          ASSERT_NE(code, ekCommonBus) << step << " rail token in column " << c;
        }
      }
    }
    ASSERT_EQ(g.CellFlags(r, g.ColCount - 1) & cfContact, 0) << step << " contact in output column, row " << r;
  }
}

TEST(LadderProperty, RandomEditSequencesKeepTheInvariants) {
  static const char* kElements[] = {"LD", "LDI", "LDP", "LDF", "OUT", "MOV", "DMOV", "LD=", "DLD>", "END",
                                    "ZCP", "SET", "P", "I", "INV", "SPIN", "CMP"};
  std::mt19937 rng(20261211);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int run = 0; run < 40; ++run) {
    Fixture f;
    f.ui.defaultAnswer = true;
    // Narrow grids reach the rail and the output column from both sides.
    if (run % 2 == 1) {
      const int width = pick(5, 9);
      while (f.grid.ColCount > width) ASSERT_TRUE(f.grid.DeleteColumn(4));
    }
    for (int step = 0; step < 150; ++step) {
      TLadderGrid& g = f.grid;
      g.CurRow = pick(0, g.RowCount - 1);
      g.CurCol = pick(2, g.ColCount - 1);
      const int op = pick(0, 17);
      switch (op) {
        case 0:
        case 1:
        case 2:
        case 3: {
          const std::string name = kElements[pick(0, std::size(kElements) - 1)];
          f.Place(g.CurRow, g.CurCol, name, "K" + std::to_string(pick(0, 9)), "D36" + std::to_string(pick(0, 9)),
                  "D1", "M2");
          break;
        }
        case 4:
          g.AddHorizontalLine(g.CurRow, g.CurCol);
          break;
        case 5:
          g.VerticalsAtRight = pick(0, 1) == 1;
          g.AddVerticalLine(g.CurRow, g.CurCol);
          break;
        case 6:
          g.AddInverseLogic(g.CurRow, g.CurCol);
          break;
        case 7: {
          const int r = g.CurRow, c = g.CurCol;
          g.SetRegion(r, c, std::min(r + pick(0, 2), g.RowCount - 1), std::min(c + pick(0, 3), g.ColCount - 1));
          g.DeleteRegion();
          break;
        }
        case 8:
          g.DeleteElement();
          break;
        case 9:
          if (pick(0, 1)) {
            g.DeleteLinks();
          } else {
            g.DeleteVerticalLines();
          }
          break;
        case 10:
          g.InsertRow();
          break;
        case 11:
          g.DeleteRow();
          break;
        case 12:
          g.AddColumn(pick(0, 1) ? TLadderGrid::TColumnMode::AtEnd : TLadderGrid::TColumnMode::InMiddle);
          break;
        case 13:
          if (g.ColCount > 8 || pick(0, 3) == 0) g.DeleteColumn(pick(3, g.ColCount - 1));
          break;
        case 14: {
          const int r = g.CurRow, c = std::max(g.CurCol, 3);
          g.SetRegion(r, c, std::min(r + pick(0, 2), g.RowCount - 1), std::min(c + pick(0, 4), g.ColCount - 1));
          g.CopyRegion();
          break;
        }
        case 15:
        case 16:
          f.ui.defaultAnswer = pick(0, 1) == 1;
          g.PasteRegion();
          break;
        case 17:
          if (pick(0, 9) == 0) g.ClearLadder();
          break;
      }
      const std::string where = "run " + std::to_string(run) + " step " + std::to_string(step) + " op " +
                                std::to_string(op);
      ExpectSound(g, where);
      if (::testing::Test::HasFatalFailure()) return;
    }
    // What was edited can be saved and read back unchanged.
    const std::string text = LadderFileText(f.grid);
    Fixture g;
    ASSERT_EQ(LoadLadderText(g.grid, text, "random"), TLadderLoadResult::Loaded);
    EXPECT_EQ(LadderFileText(g.grid), text);
    EXPECT_TRUE(g.ui.questions.empty());
  }
}

}  // namespace
}  // namespace ferrolad
