#include <gtest/gtest.h>

#include "ladder/ladder_grid.h"
#include "ladder_test_util.h"

namespace ferrolad {
namespace {

using test::Fixture;

TEST(LadderTokens, KindTableIsExact) {
  const char* tokens[] = {"Empty",         "CommonBus",     "LD",           "LDI",          "OUT",
                          "LDF",           "LDP",           "TransStart",   "TransOperand1", "TransOperand2",
                          "TransEnd",      "InstrStart",    "InstrOperand1", "InstrOperand2", "InstrOperand3",
                          "InstrOperand4", "InstrEnd",      "VLine1",       "VLine2",       "HLine",
                          "INV",           "Label"};
  for (int k = 0; k < ElementKindCount; ++k) {
    EXPECT_EQ(ElementToken(k), tokens[k]);
    int code = -1;
    EXPECT_TRUE(ElementOfToken(std::string(tokens[k]) + ";", code)) << tokens[k];
    EXPECT_EQ(code, k);
  }
  EXPECT_EQ(ElementToken(22), "");
  EXPECT_EQ(ElementToken(-1), "");
  EXPECT_EQ(ElementImage(std::string_view("LDI")), "IMG_Close_contact");
  EXPECT_EQ(ElementImage(std::string_view("Foo")), "IMG_temp");
  EXPECT_EQ(ElementImage(ekVLine2), "IMG_Vert_line_part2");
  EXPECT_EQ(ElementImage(99), "IMG_temp");
}

TEST(LadderTokens, TokenMustBeExactWithSemicolon) {
  int code = 0;
  for (const char* bad : {"LD", "ld;", "LD;;", " LD;", "Foo;", "", ";", "LDI ;"}) {
    EXPECT_FALSE(ElementOfToken(bad, code)) << bad;
  }
}

TEST(LadderTokens, RemoveTextIgnoresCaseAndRemovesEveryOccurrence) {
  EXPECT_EQ(RemoveText("VLine2;HLine;vline2;", "VLine2;"), "HLine;");
  EXPECT_EQ(RemoveText("CommonBus;LD;", "HLine;"), "CommonBus;LD;");
  EXPECT_EQ(SplitTokens("CommonBus;LD;tail"), (std::vector<std::string>{"CommonBus", "LD"}));
}

struct QueryCase {
  const char* layers;
  int col;
  uint8_t flags;
  int kind;
  bool contact, output, inv, boxStart, noElement, hpath;
};

TEST(LadderQueries, FlagsAndPredicatesFollowTheSubstringRule) {
  const QueryCase cases[] = {
      {"LDI;", 6, cfContact | cfElement, ekLDI, true, false, false, false, false, true},
      {"LDP;", 6, cfContact | cfElement, ekLDP, true, false, false, false, false, true},
      {"LDF;", 6, cfContact | cfElement, ekLDF, true, false, false, false, false, true},
      {"VLine1;VLine2;LD;", 6, cfContact | cfElement | cfLinkDown | cfLinkUp, ekLD, true, false, false, false,
       false, true},
      {"CommonBus;", 3, cfLinkDown | cfLinkUp, ekEmpty, false, false, false, false, true, false},
      {"HLine;", 6, cfHLine, ekEmpty, false, false, false, false, true, true},
      {"INV;", 6, cfContact | cfElement, ekINV, false, false, true, false, false, true},
      {"OUT;", 14, cfOutput | cfElement, ekOUT, false, true, false, false, false, false},
      {"TransStart;", 6, cfContact | cfElement, ekTransStart, true, false, false, true, false, true},
      {"TransOperand2;TransEnd;", 8, cfContact | cfElement, ekTransOperand2, true, false, false, false, false, true},
      {"InstrStart;InstrEnd;", 14, cfOutput | cfElement, ekInstrStart, false, true, false, true, false, false},
      {"InstrOperand4;InstrEnd;", 14, cfOutput | cfElement, ekInstrOperand4, false, true, false, false, false,
       false},
      {"TransEnd;", 6, cfContact | cfElement, ekEmpty, true, false, false, false, false, true},
      {"InstrEnd;", 14, cfOutput | cfElement, ekEmpty, false, true, false, false, false, false},
      {"VLine1;", 6, cfLinkDown, ekEmpty, false, false, false, false, true, false},
      {"Label;", 6, 0, ekLabel, false, false, false, false, true, false},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.At(1, c.col).Layers = c.layers;
    SCOPED_TRACE(c.layers);
    EXPECT_EQ(f.grid.CellFlags(1, c.col), c.flags);
    EXPECT_EQ(f.grid.ElementKindAt(1, c.col), c.kind);
    EXPECT_EQ(f.grid.IsContactCell(1, c.col), c.contact);
    EXPECT_EQ(f.grid.IsOutputCell(1, c.col), c.output);
    EXPECT_EQ(f.grid.IsInvCell(1, c.col), c.inv);
    EXPECT_EQ(f.grid.IsBoxStartCell(1, c.col), c.boxStart);
    EXPECT_EQ(f.grid.HasNoElement(1, c.col), c.noElement);
    EXPECT_EQ(f.grid.HasHorizontalPath(1, c.col), c.hpath);
  }
}

TEST(LadderQueries, OutsideTheLogicAreaNothingIsSet) {
  Fixture f;
  f.At(0, 2).Layers = "Label;";
  f.At(0, 2).Value = "P 1";
  f.At(0, 1).Layers = "LD;";
  for (auto [r, c] : {std::pair{0, 0}, {0, 1}, {0, 2}, {-1, 5}, {5, 5}, {0, 15}}) {
    EXPECT_EQ(f.grid.CellFlags(r, c), 0) << r << "," << c;
    EXPECT_TRUE(f.grid.HasNoElement(r, c));
    EXPECT_FALSE(f.grid.IsContactCell(r, c));
    EXPECT_FALSE(f.grid.IsBoxPart(r, c));
  }
  // The label is still an element kind for the editor.
  EXPECT_EQ(f.grid.ElementKindAt(0, 2), ekLabel);
  EXPECT_EQ(f.grid.ElementKindAt(7, 2), ekEmpty);
}

TEST(LadderQueries, RailAlwaysLinksUpAndDown) {
  Fixture f;
  f.At(2, 3).Layers = "LD;";  // even without the rail token
  for (int r = 0; r < f.grid.RowCount; ++r) {
    EXPECT_TRUE(f.grid.HasLineDown(r, 3));
    EXPECT_TRUE(f.grid.HasLineUp(r, 3));
  }
  EXPECT_FALSE(f.grid.HasLineDown(0, 4));
  f.At(0, 4).Layers = "VLine1;";
  f.At(1, 4).Layers = "VLine2;HLine;";
  EXPECT_TRUE(f.grid.HasLineDown(0, 4));
  EXPECT_FALSE(f.grid.HasLineUp(0, 4));
  EXPECT_TRUE(f.grid.HasLineUp(1, 4));
}

TEST(LadderQueries, BoxStartOffsetAndBaseLinks) {
  Fixture f;
  const char* box[] = {"InstrStart;", "InstrOperand1;", "InstrOperand2;", "InstrOperand3;",
                       "InstrOperand4;InstrEnd;"};
  for (int i = 0; i < 5; ++i) f.At(0, 10 + i).Layers = box[i];
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f.grid.BoxStartOffset(0, 10 + i), i);
  f.At(1, 5).Layers = "TransStart;";
  f.At(1, 6).Layers = "TransOperand1;";
  f.At(1, 7).Layers = "TransOperand2;TransEnd;";
  EXPECT_EQ(f.grid.BoxStartOffset(1, 7), 2);
  EXPECT_EQ(f.grid.BoxStartOffset(1, 8), 0);
  f.At(2, 9).Layers = "InstrOperand1;";  // orphan operand: no start within reach
  EXPECT_EQ(f.grid.BoxStartOffset(2, 9), 0);

  f.At(3, 6).Layers = "VLine2;VLine1;LD;";
  EXPECT_EQ(f.grid.BaseLinks(3, 6), "VLine1;VLine2;");
  f.At(3, 7).Layers = "VLine2;LD;";
  EXPECT_EQ(f.grid.BaseLinks(3, 7), "VLine2;");
  EXPECT_EQ(f.grid.BaseLinks(3, 3), "CommonBus;");
  EXPECT_EQ(f.grid.BaseLinks(3, 2), "");
}

TEST(LadderChecks, CanPlaceLinkRefusesInsideBoxes) {
  struct Case {
    const char* layers;
    int kind;
    bool ok;
  };
  const Case cases[] = {
      {"", ekHLine, true},
      {"LD;", ekHLine, true},
      {"TransStart;", ekVLine1, true},
      {"TransStart;", ekHLine, false},
      {"TransStart;", ekINV, false},
      {"TransOperand1;", ekVLine2, false},
      {"TransOperand2;TransEnd;", ekVLine1, false},
      {"InstrStart;", ekVLine1, false},
      {"InstrOperand3;", ekHLine, false},
      {"InstrEnd;", ekINV, false},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.At(1, 6).Layers = c.layers;
    EXPECT_EQ(f.grid.CanPlaceLink(1, 6, c.kind, true), c.ok) << c.layers << " kind " << c.kind;
    EXPECT_EQ(f.ui.messages.size(), c.ok ? 0u : 1u);
    if (!c.ok) {
      EXPECT_EQ(f.ui.messages[0], "It is impossible to place this element here");
    }
  }
  Fixture f;
  EXPECT_FALSE(f.grid.CanPlaceLink(5, 6, ekHLine, true));
  EXPECT_FALSE(f.grid.CanPlaceLink(0, 15, ekHLine, true));
  EXPECT_TRUE(f.ui.messages.empty());
}

TEST(LadderChecks, ColumnRuleSeparatesLabelsFromLogic) {
  Fixture f;
  const auto p = FindInstructionByName("P");
  const auto ld = FindInstructionByName("LD");
  f.grid.CurCol = 2;
  EXPECT_TRUE(f.grid.CheckColumnRule(p));
  EXPECT_FALSE(f.grid.CheckColumnRule(ld));
  f.grid.CurCol = 3;
  EXPECT_FALSE(f.grid.CheckColumnRule(p));
  EXPECT_TRUE(f.grid.CheckColumnRule(ld));
}

TEST(LadderChecks, VerticalLinksBlockOnlyTheBoxAndTheCellLeftOfIt) {
  const auto mov = FindInstructionByName("MOV");
  {
    Fixture f;
    f.At(0, 10).Layers = "VLine1;";
    f.grid.CurCol = 5;
    EXPECT_TRUE(f.grid.CheckInstructionSpace(mov, true));
  }
  {
    Fixture f;
    f.At(0, 11).Layers = "VLine1;";
    f.grid.CurCol = 5;
    EXPECT_FALSE(f.grid.CheckInstructionSpace(mov, false));
    EXPECT_EQ(f.ui.messages, std::vector<std::string>{"Not enough space to add the Instruction"});
  }
  {
    // Contacts ignore vertical links and lines in their cell.
    Fixture f;
    f.At(0, 5).Layers = "VLine1;VLine2;HLine;";
    f.grid.CurCol = 5;
    EXPECT_TRUE(f.grid.CheckInstructionSpace(FindInstructionByName("LD"), true));
    f.At(0, 5).Layers = "LDI;";
    EXPECT_FALSE(f.grid.CheckInstructionSpace(FindInstructionByName("LD"), true));
  }
}

TEST(LadderChecks, ContactInOutputColumnAddsAColumnOrFailsAtTheLimit) {
  const auto ld = FindInstructionByName("LD");
  {
    Fixture f;
    f.grid.CurCol = 14;
    EXPECT_FALSE(f.grid.CheckInstructionSpace(ld, true));
    EXPECT_EQ(f.grid.ColCount, 15);
    EXPECT_TRUE(f.grid.CheckInstructionSpace(ld, false));
    EXPECT_EQ(f.grid.ColCount, 16);
  }
  {
    Fixture f;
    while (f.grid.ColCount < MaxColumns) ASSERT_TRUE(f.grid.AddColumn(TLadderGrid::TColumnMode::AtEnd));
    f.grid.CurCol = 29;
    EXPECT_FALSE(f.grid.CheckInstructionSpace(ld, false));
    EXPECT_EQ(f.ui.messages,
              (std::vector<std::string>{"Too many columns in the table.", "Not enough space to add the Instruction"}));
  }
}

TEST(LadderChecks, NonSilentCheckOnLastRowAppendsARow) {
  Fixture f;
  f.grid.CurRow = 4;
  EXPECT_TRUE(f.grid.CheckInstructionSpace(FindInstructionByName("LD"), false));
  EXPECT_EQ(f.grid.RowCount, 6);
  EXPECT_EQ(f.At(5, 3).Layers, "CommonBus;");
  EXPECT_FALSE(f.grid.CheckInstructionSpace(FindInstructionByName("Unknown"), false));
}

TEST(LadderChecks, LabelNeedsAnEmptyLabelCell) {
  Fixture f;
  const auto p = FindInstructionByName("P");
  EXPECT_TRUE(f.grid.CheckInstructionSpace(p, false));
  f.At(0, 2).Layers = "Label;";
  EXPECT_FALSE(f.grid.CheckInstructionSpace(p, false));
  EXPECT_EQ(f.ui.messages.back(), "Not enough space to add the Instruction");
}

TEST(LadderPreview, ElementsArePreviewedAndRefusedAtTheRightEdge) {
  {
    Fixture f;
    for (int i = 0; i < 15; ++i) ASSERT_TRUE(f.grid.AddColumn(TLadderGrid::TColumnMode::AtEnd));
    ASSERT_EQ(f.grid.ColCount, 30);
    f.grid.CurCol = 27;
    f.grid.PreviewElement(FindInstructionByName("LD="));
    EXPECT_FALSE(f.grid.PlacementAllowed);  // 27 + 3 > 29
    EXPECT_EQ(f.At(0, 27).VirtualLayers, "TransStart;");
    EXPECT_EQ(f.At(0, 29).VirtualLayers, "TransOperand2;TransEnd;");
    f.grid.ClearPreview(0);
    EXPECT_TRUE(f.grid.PlacementAllowed);
    EXPECT_EQ(f.At(0, 27).VirtualLayers, "");
    f.grid.CurCol = 20;
    f.grid.PreviewElement(FindInstructionByName("MOV"));
    EXPECT_TRUE(f.grid.PlacementAllowed);  // box ends in 29: 27 + 3 <= 30
    EXPECT_EQ(f.At(0, 26).VirtualLayers, "HLine;");
    EXPECT_EQ(f.At(0, 27).VirtualLayers, "InstrStart;");
    EXPECT_EQ(f.At(0, 29).VirtualLayers, "InstrOperand2;InstrEnd;");
  }
  {
    Fixture f;
    f.grid.CurCol = 10;
    f.grid.PreviewElement(FindInstructionByName("OUT"));
    EXPECT_EQ(f.At(0, 13).VirtualLayers, "HLine;");
    EXPECT_EQ(f.At(0, 14).VirtualLayers, "OUT;");
    f.grid.ClearPreview(0);
    f.grid.PreviewElement(FindInstructionByName("END"));
    EXPECT_EQ(f.At(0, 14).VirtualLayers, "InstrStart;InstrEnd;");
    f.grid.ClearPreview(0);
    f.At(0, 10).Layers = "LD;";
    f.grid.PreviewElement(FindInstructionByName("LDI"));
    EXPECT_FALSE(f.grid.PlacementAllowed);
    EXPECT_EQ(f.At(0, 10).VirtualLayers, "LDI;");
    EXPECT_EQ(f.grid.ColCount, 15);  // previews never change the diagram
    f.grid.PreviewElement(FindInstructionByName("I"));
    EXPECT_EQ(f.At(0, 2).VirtualLayers, "Label;");
  }
}

TEST(LadderStructure, AppendRowHasFixedHeightAndRail) {
  Fixture f;
  f.grid.InitLadderGrid(1920, 1200);
  f.grid.SetScale(6);
  ASSERT_NE(f.grid.View.RowHeights[0], FixedRowHeight);
  f.grid.AppendRow();
  EXPECT_EQ(f.grid.RowCount, 6);
  EXPECT_EQ(f.grid.View.RowHeights.back(), FixedRowHeight);
  EXPECT_EQ(f.At(5, 3).Layers, "CommonBus;");
  EXPECT_EQ(f.grid.Cells[5].size(), 15u);
}

TEST(LadderStructure, ZoomStepArithmetic) {
  Fixture f;
  f.grid.InitLadderGrid(1920, 1200);
  EXPECT_EQ(f.grid.View.CellWidth, 90);
  EXPECT_EQ(f.grid.View.CellHeight, 45);
  EXPECT_EQ(f.grid.View.MaxCellWidth, (1200 - 5 - 30) / 4);
  EXPECT_EQ(f.grid.ScaleStep, 13 - (1200 - 35) / 90);
  f.grid.SetScale(0);  // all 13 columns fit
  const int w0 = (1200 - 17 - 30) / 13;
  EXPECT_EQ(f.grid.View.ColWidths[3], w0);
  EXPECT_EQ(f.grid.View.ColWidths[2], w0);
  EXPECT_EQ(f.grid.View.ColWidths[0], 15);
  EXPECT_EQ(f.grid.View.RowHeights[0], w0 / 2);
  EXPECT_TRUE(f.grid.View.ZoomInEnabled);
  f.grid.SetScale(10);  // 3 columns: wider than the largest width
  EXPECT_EQ(f.grid.View.ColWidths[3], f.grid.View.MaxCellWidth);
  EXPECT_FALSE(f.grid.View.ZoomInEnabled);
  f.grid.SetScale(13);  // no column left: still the largest width, no division by zero
  EXPECT_EQ(f.grid.View.ColWidths[3], f.grid.View.MaxCellWidth);
  f.grid.SetScale(-40);
  EXPECT_EQ(f.grid.View.ColWidths[3], f.grid.View.MinCellWidth);
  EXPECT_FALSE(f.grid.View.ZoomOutEnabled);
  // Start-up width is scaled by the screen and clamped.
  Fixture small;
  small.grid.InitLadderGrid(640, 800);
  EXPECT_EQ(small.grid.View.CellWidth, 40);
}

TEST(LadderStructure, SelectCellFollowsTheCurrentCellRule) {
  Fixture f;
  f.grid.SelectCell(2, 1);
  EXPECT_EQ(f.grid.CurCol, 3);
  EXPECT_EQ(f.grid.CurRow, 2);
  f.grid.SelectCell(1, 2);
  EXPECT_EQ(f.grid.CurCol, 3);
  f.At(1, 2).Value = "P 1";
  f.grid.SelectCell(1, 2);
  EXPECT_EQ(f.grid.CurCol, 2);
  f.grid.RegionFollowsCursor = true;
  f.grid.SelectCell(3, 7);
  EXPECT_EQ(f.grid.Region, (TRegion{3, 7, 3, 7}));
  EXPECT_FALSE(f.grid.RegionFollowsCursor);
}

}  // namespace
}  // namespace ferrolad
