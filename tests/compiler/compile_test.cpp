// Diagrams drawn with the ladder editor's operations, compiled to instruction lines.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "compiler/compiler_test_util.h"
#include "ladder/ladder_file.h"

namespace ferrolad {
namespace {

using test::CompileOk;
using test::Ladder;
using test::Tabs;

TEST(TextForms, AndFormAndOrForm) {
  struct Case {
    const char* in;
    const char* andForm;
    const char* orForm;
  };
  const Case cases[] = {
      {"LD\tX0", "AND\tX0", "OR\tX0"},     {"LDI\tX1", "ANI\tX1", "ORI\tX1"},
      {"LDP\tX1", "ANDP\tX1", "ORP\tX1"},  {"LDF\tX1", "ANDF\tX1", "ORF\tX1"},
      {"LD=\tD0\tK5", "AND=\tD0\tK5", "OR=\tD0\tK5"}, {"DLD>\tD0\tD2", "DAND>\tD0\tD2", "DOR>\tD0\tD2"},
      {"LD<>\tD0\tK1", "AND<>\tD0\tK1", "OR<>\tD0\tK1"}, {"INV", "INV", "INV"},
      {"OUT\tY0", "OUT\tY0", "OUT\tY0"},   {"MRDs0r1", "MRDs0r1", "MRDs0r1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AndForm(c.in), c.andForm) << c.in;
    EXPECT_EQ(OrForm(c.in), c.orForm) << c.in;
  }
}

TEST(TextForms, MarkerParsing) {
  struct Case {
    const char* line;
    bool ok;
    int group;
    int branch;
  };
  const Case cases[] = {
      {"MRDs0r1", true, 0, 1},     {"MRDs12r3active", true, 12, 3}, {"MRDs2r0ACTIVE", true, 2, 0},
      {"MRDs0r", false, 0, 0},     {"MRDsr1x", false, 0, 0},        {"MRD0r1s", false, 0, 0},
      {"MPS", false, 0, 0},        {"MRDs0r1x", false, 0, 0},       {"MRDsxr1", false, 0, 0},
  };
  for (const auto& c : cases) {
    int g = -1;
    int b = -1;
    EXPECT_EQ(ParseMRDMarker(c.line, g, b), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(g, c.group) << c.line;
      EXPECT_EQ(b, c.branch) << c.line;
    }
  }
}

// ---- Series and parallel contacts ------------------------------------------------------------

TEST(Compile, SingleContactAndCoil) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Out(0, 4, "Y0");
  auto r = CompileOk(d.g);
  EXPECT_EQ(r.Lines, Tabs({"LD X0", "OUT Y0", "END"}));
  EXPECT_EQ(r.Message, "Complilation successfull - 1 fragments");
}

TEST(Compile, SecondContactTakesItsSeriesForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"LD", "AND X1"}, {"LDI", "ANI X1"}, {"LDP", "ANDP X1"}, {"LDF", "ANDF X1"}};
  for (const auto& [kind, line] : cases) {
    Ladder d;
    d.C(0, 3, "LD", "X0").C(0, 4, kind, "X1").Out(0, 5, "Y0");
    EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", line, "OUT Y0", "END"})) << kind;
  }
}

TEST(Compile, FirstContactKeepsItsLoadForm) {
  for (const char* kind : {"LDI", "LDP", "LDF"}) {
    Ladder d;
    d.C(0, 3, kind, "M5").Out(0, 4, "Y3");
    EXPECT_EQ(CompileOk(d.g).Lines, Tabs({std::string(kind) + " M5", "OUT Y3", "END"}));
  }
}

TEST(Compile, ComparisonContactTakesThreeCells) {
  Ladder first;
  first.Box(0, 3, "LD=", "D0", "K5").Out(0, 6, "Y0");
  EXPECT_EQ(CompileOk(first.g).Lines, Tabs({"LD= D0 K5", "OUT Y0", "END"}));

  Ladder second;
  second.C(0, 3, "LD", "X0").Box(0, 4, "LD=", "D0", "K5").Out(0, 7, "Y0");
  EXPECT_EQ(CompileOk(second.g).Lines, Tabs({"LD X0", "AND= D0 K5", "OUT Y0", "END"}));
}

TEST(Compile, InstructionBoxAsOutput) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Box(0, 4, "MOV", "K3000", "D361");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "MOV K3000 D361", "END"}));
}

TEST(Compile, InversionAfterContact) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Inv(0, 4).Out(0, 5, "Y0");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "INV", "OUT Y0", "END"}));
}

TEST(Compile, ParallelContactsAtTheRail) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(1, 3, "LD", "X1").V(0, 4).Out(0, 4, "Y0");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "OR X1", "OUT Y0", "END"}));
}

TEST(Compile, NormallyClosedParallelContact) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(1, 3, "LDI", "X1").V(0, 4).Out(0, 4, "Y0");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "ORI X1", "OUT Y0", "END"}));
}

TEST(Compile, LowerBranchOfTwoContactsJoinsByORB) {
  Ladder d;
  d.C(0, 3, "LD", "X0").H(0, 4, 4).C(1, 3, "LD", "X1").C(1, 4, "LD", "X2").V(0, 5).Out(0, 5, "Y0");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "LD X1", "AND X2", "ORB", "OUT Y0", "END"}));
}

TEST(Compile, ParallelPairThenSeriesContact) {
  for (const auto& [kind, line] : {std::pair{"LD", "AND X1"}, std::pair{"LDI", "ANI X1"}}) {
    Ladder d;
    d.C(0, 3, "LD", "X0").C(1, 3, "LD", "X2").V(0, 4).C(0, 4, kind, "X1").Out(0, 5, "Y0");
    EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "OR X2", line, "OUT Y0", "END"}));
  }
}

TEST(Compile, TwoParallelPairsInSeriesJoinByANB) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(1, 3, "LD", "X2").V(0, 4);
  d.C(0, 4, "LD", "X1").C(1, 4, "LD", "X3").V(0, 5).Out(0, 5, "Y0");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "OR X2", "LD X1", "OR X3", "ANB", "OUT Y0", "END"}));
}

TEST(Compile, ParallelPairAfterASeriesContact) {
  // X0 then (X1 or X2): the pair starts at a branch point away from the rail.
  Ladder d;
  d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").C(1, 4, "LD", "X2").V(0, 4).V(0, 5).Out(0, 5, "Y0");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "LD X1", "OR X2", "ANB", "OUT Y0", "END"}));
}

// ---- Output branches -------------------------------------------------------------------------

TEST(Compile, TwoOutputBranches) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").Out(0, 5, "Y0");
  d.C(1, 4, "LD", "X2").Out(1, 5, "Y1").V(0, 4);
  EXPECT_EQ(CompileOk(d.g).Lines,
            Tabs({"LD X0", "MPS", "AND X1", "OUT Y0", "MPP", "AND X2", "OUT Y1", "END"}));
}

TEST(Compile, ThreeOutputBranches) {
  Ladder d;
  d.C(0, 3, "LD", "X0");
  for (int r = 0; r < 3; ++r) d.C(r, 4, "LD", test::Op("X", r + 1)).Out(r, 5, test::Op("Y", r));
  d.V(0, 4, 2);
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "MPS", "AND X1", "OUT Y0", "MRD", "AND X2", "OUT Y1", "MPP",
                                        "AND X3", "OUT Y2", "END"}));
}

TEST(Compile, CoilsDirectlyOnBranchesNeedNoStack) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Out(0, 4, "Y0").Out(1, 4, "Y1").V(0, 4);
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "OUT Y0", "OUT Y1", "END"}));
}

TEST(Compile, OutputsOnlyBranchBetweenConditionalOnes) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").Out(0, 5, "Y0");
  d.Out(1, 4, "Y1").C(2, 4, "LD", "X3").Out(2, 5, "Y2").V(0, 4, 2);
  EXPECT_EQ(CompileOk(d.g).Lines,
            Tabs({"LD X0", "MPS", "AND X1", "OUT Y0", "MPP", "OUT Y1", "AND X3", "OUT Y2", "END"}));
}

TEST(Compile, NestedBranchPoints) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").C(0, 5, "LD", "X2").Out(0, 6, "Y0");
  d.C(1, 5, "LD", "X3").Out(1, 6, "Y1").V(0, 5);
  d.C(2, 4, "LD", "X4").Out(2, 5, "Y2").V(0, 4, 2);
  EXPECT_EQ(CompileOk(d.g).Lines,
            Tabs({"LD X0", "MPS", "AND X1", "MPS", "AND X2", "OUT Y0", "MPP", "AND X3", "OUT Y1", "MPP",
                  "AND X4", "OUT Y2", "END"}));
}

TEST(Compile, BranchOpeningDirectlyIntoANestedBranchPoint) {
  Ladder d;
  d.C(0, 3, "LD", "X0").H(0, 4, 4).C(0, 5, "LD", "X1").Out(0, 6, "Y0");
  d.C(1, 5, "LD", "X2").Out(1, 6, "Y1").V(0, 5);
  d.C(2, 4, "LD", "X3").Out(2, 5, "Y2").V(0, 4, 2);
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "MPS", "AND X1", "OUT Y0", "MRD", "AND X2", "OUT Y1", "MPP",
                                        "AND X3", "OUT Y2", "END"}));
}

// ---- Rungs, labels, END ----------------------------------------------------------------------

TEST(Compile, TwoRungsAndAForeignRow) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Out(0, 4, "Y0");
  d.C(1, 6, "LD", "X7").Out(1, 7, "Y7");  // not joined to the rail: passed over
  d.C(2, 3, "LDI", "X1").Out(2, 4, "Y1");
  auto r = CompileOk(d.g);
  EXPECT_EQ(r.Lines, Tabs({"LD X0", "OUT Y0", "LDI X1", "OUT Y1", "END"}));
  EXPECT_EQ(r.Message, "Complilation successfull - 2 fragments");
  EXPECT_EQ(r.FragmentCount, 2);
}

TEST(Compile, LabelsBeforeTheirRung) {
  Ladder d;
  d.Label(0, "P", "0").C(0, 3, "LD", "X0").Out(0, 4, "Y0");
  d.Label(2, "P", "1");  // on an empty row between two rungs
  d.C(3, 3, "LD", "X1").Out(3, 4, "Y1");
  d.Label(5, "P", "2");  // below the last rung
  auto r = CompileOk(d.g);
  // A label line is the label cell's text as shown ("P 0"), which the parser reads like "P\t0".
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"P 0", "LD\tX0", "OUT\tY0", "P 1", "LD\tX1", "OUT\tY1", "END"}));
}

TEST(Compile, RungEndingInEndGetsNoSecondEnd) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Out(0, 4, "Y0").Box(1, 3, "END");
  EXPECT_EQ(CompileOk(d.g).Lines, Tabs({"LD X0", "OUT Y0", "END"}));
  Ladder only;
  only.Box(0, 3, "END");
  EXPECT_EQ(CompileOk(only.g).Lines, Tabs({"END"}));
}

TEST(Compile, EmptyTable) {
  Ladder d;
  auto r = CompileLadder(d.g);
  EXPECT_TRUE(r.Empty);
  EXPECT_EQ(r.ErrorCode, 0);
  EXPECT_EQ(r.Message, "Table is empty");
  EXPECT_TRUE(r.Lines.empty());
  d.C(0, 5, "LD", "X0").Out(0, 6, "Y0");  // nothing starts at the rail
  EXPECT_EQ(CompileLadder(d.g).Message, "Table is empty");
}

TEST(Compile, NeverChangesTheGrid) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").Out(0, 5, "Y0").C(1, 4, "LD", "X2").Out(1, 5, "Y1").V(0, 4);
  d.C(3, 3, "LD", "X3");  // a failing rung too
  const auto before = d.g.Cells;
  const int rows = d.g.RowCount;
  const int cols = d.g.ColCount;
  auto r = CompileLadder(d.g);
  EXPECT_EQ(r.ErrorCode, 1);
  EXPECT_EQ(d.g.Cells, before);
  EXPECT_EQ(d.g.RowCount, rows);
  EXPECT_EQ(d.g.ColCount, cols);
}

TEST(Compile, ClearsTheMotorBlocksJoinMemory) {
  test::Fixture fx;
  fx.Place(0, 3, "LD", "X0");
  fx.Place(0, 4, "OUT", "Y0");
  fx.entry.JoinValid = true;
  CompileLadder(fx.grid);
  EXPECT_FALSE(fx.entry.JoinValid);
}

// ---- Errors ----------------------------------------------------------------------------------

struct ErrorCase {
  const char* name;
  int code;
  std::string message;
  TCellPos cell;
};

void ExpectError(const TLadderGrid& g, const ErrorCase& c) {
  auto r = CompileLadder(g);
  EXPECT_EQ(r.ErrorCode, c.code) << c.name << ": " << r.Message;
  EXPECT_EQ(r.Message, c.message) << c.name;
  EXPECT_EQ(r.ErrorCell, c.cell) << c.name << " at " << r.ErrorCell.Row << "," << r.ErrorCell.Col;
  EXPECT_TRUE(r.Lines.empty()) << c.name;
}

TEST(CompileErrors, InterruptedLine) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Out(0, 4, "Y0");
  d.C(2, 3, "LD", "X1").C(2, 4, "LD", "X2");  // nothing after X2
  ExpectError(d.g, {"1", 1, "Complilation failed - interrupted lines - Fragment #2 row #2", {2, 4}});
}

TEST(CompileErrors, InversionAtTheStartOfARung) {
  Ladder d;
  d.H(0, 3, 3).Inv(0, 4).Out(0, 5, "Y0");
  ExpectError(d.g, {"5", 5, "Complilation failed - incorrect position of INV command - Fragment #1 row #0", {0, 4}});
}

TEST(CompileErrors, ParallelBranchStartingWithInversion) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").C(0, 5, "LD", "X2");
  d.Inv(1, 4).C(1, 5, "LD", "X3").V(0, 4).V(0, 6).Out(0, 6, "Y0");
  ExpectError(d.g, {"10", 10, "Complilation failed - incorrect parallel block - Fragment #1 row #1", {1, 5}});
}

TEST(CompileErrors, CoilWithoutCondition) {
  Ladder d;
  d.Out(0, 3, "Y0");
  ExpectError(d.g, {"14", 14, "Complilation failed - Incorrect Fragment - Fragment #1 row #0", {0, 14}});
}

TEST(CompileErrors, NineSurvivingBranchPoints) {
  // A staircase: branch point j on row 0 at column 4 + j, its lower branch on row 9 - j.
  Ladder d;
  d.C(0, 3, "LD", "X0");
  for (int j = 0; j < 9; ++j) d.C(0, 4 + j, "LD", test::Op("M", j));
  d.Out(0, 13, "Y0");
  for (int j = 0; j < 9; ++j) {
    d.C(9 - j, 4 + j, "LD", test::Op("M", 20 + j)).Out(9 - j, 5 + j, test::Op("M", 40 + j));
    d.V(0, 4 + j, 9 - j);
  }
  auto r = CompileLadder(d.g);
  EXPECT_EQ(r.ErrorCode, 12) << r.Message;
  EXPECT_EQ(r.Message.rfind("Complilation failed - MPS error - Fragment #1 row #", 0), 0u) << r.Message;

  // Eight of them are within the branch stack.
  Ladder e;
  e.C(0, 3, "LD", "X0");
  for (int j = 0; j < 8; ++j) e.C(0, 4 + j, "LD", test::Op("M", j));
  e.Out(0, 12, "Y0");
  for (int j = 0; j < 8; ++j) {
    e.C(8 - j, 4 + j, "LD", test::Op("M", 20 + j)).Out(8 - j, 5 + j, test::Op("M", 40 + j));
    e.V(0, 4 + j, 8 - j);
  }
  auto ok = CompileOk(e.g);
  EXPECT_EQ(std::count(ok.Lines.begin(), ok.Lines.end(), "MPS"), 8);
  EXPECT_EQ(std::count(ok.Lines.begin(), ok.Lines.end(), "MPP"), 8);
}

TEST(CompileErrors, BlockLimit) {
  // Six hundred contacts in parallel at the rail make more than a thousand blocks.
  Ladder d;
  for (int r = 0; r < 600; ++r) d.C(r, 3, "LD", test::Op("M", r));
  d.V(0, 4, 599).Out(0, 4, "Y0");
  auto r = CompileLadder(d.g);
  EXPECT_EQ(r.ErrorCode, 13);
  EXPECT_EQ(r.Message.rfind("Complilation failed - infinite cycle - Fragment #1 row #", 0), 0u) << r.Message;

  Ladder small;  // well within the limit
  for (int r = 0; r < 100; ++r) small.C(r, 3, "LD", test::Op("M", r));
  small.V(0, 4, 99).Out(0, 4, "Y0");
  auto ok = CompileOk(small.g);
  EXPECT_EQ(ok.Lines.size(), 102u);
}

// Diagrams the editor refuses to draw but a ladder file can hold.
TLadderGrid Loaded(test::ScriptedUi& ui, const std::vector<std::string>& cells, int rows = 2, int cols = 15) {
  TLadderGrid g(&ui);
  std::string text = "RawCount=" + std::to_string(rows) + "\r\nColCount=" + std::to_string(cols) + "\r\n";
  for (const auto& c : cells) text += c + "\r\n";
  text += "CR=" + std::to_string(LadderChecksum(text));
  EXPECT_EQ(LoadLadderText(g, text, "test.ld"), TLadderLoadResult::Loaded) << text;
  return g;
}

TEST(CompileErrors, ContactInTheLastColumn) {
  test::ScriptedUi ui;
  std::vector<std::string> cells = {R"(R0C3="CommonBus;LD;" value="X0" cmd="" lbl="";)"};
  for (int c = 4; c <= 13; ++c) cells.push_back("R0C" + std::to_string(c) + R"(="HLine;" value="" cmd="" lbl="";)");
  cells.push_back(R"(R0C14="LD;" value="X1" cmd="" lbl="";)");
  ExpectError(Loaded(ui, cells), {"7", 7, "Complilation failed - fragment error, fragment # - Fragment #1 row #0", {0, 14}});
}

TEST(CompileErrors, BoxOperandsPastTheLastColumn) {
  test::ScriptedUi ui;
  std::vector<std::string> cells = {R"(R0C3="CommonBus;LD;" value="X0" cmd="" lbl="";)"};
  for (int c = 4; c <= 12; ++c) cells.push_back("R0C" + std::to_string(c) + R"(="HLine;" value="" cmd="" lbl="";)");
  cells.push_back(R"(R0C13="TransStart;" value="LD=" cmd="" lbl="";)");
  cells.push_back(R"(R0C14="TransOperand1;TransEnd;" value="D0" cmd="" lbl="";)");
  ExpectError(Loaded(ui, cells), {"4", 4, "Complilation failed - interrupted instruction - Fragment #1 row #0", {0, 13}});
}

TEST(CompileErrors, EmptyCellInsideABlock) {
  // The grid walk only steps onto cells with a path; a block started on an empty cell is unfinished.
  Ladder d;
  TLDtoIL c(d.g, 1000);
  TFragment& f = c.NewFragment(0);
  c.Cur = TCellPos{1, 6};
  TBlock& b = c.AppendBlock(f, c.Cur);
  EXPECT_FALSE(c.Assemble(b));
  EXPECT_EQ(c.ErrorCode, 3);
  EXPECT_EQ(c.ErrorCell, (TCellPos{1, 6}));
  EXPECT_EQ(CompileErrorText(3), "Complilation failed - not finished block");
  EXPECT_EQ(CompileErrorText(15), "Compilation failed");
}

// ---- The compilation log ---------------------------------------------------------------------

TEST(CompileLog, TraceOfASimpleRung) {
  Ladder d;
  d.C(0, 3, "LD", "X0").Out(0, 4, "Y0");
  std::vector<std::string> log;
  TCompileOptions o;
  o.AddCompilationInfoToLog = true;
  o.Sink = [&](const std::string& m) {
    log.push_back(m);
    return true;
  };
  ASSERT_TRUE(CompileLadder(d.g, o).Ok());
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[0], "Compilation start");
  EXPECT_EQ(log[1], "Start new block: BI:0 #-1 StartCol-0 StartRow-0");
  EXPECT_EQ(log[2], "Start new block: BI:1 #0 StartCol-3 StartRow-0");
  EXPECT_EQ(log[3], "Elem[0]: LD\tX0");
  EXPECT_EQ(log[4],
            "BlockInfo: block[1]:\r\n StartCell r0 c3\r\n EndCell r0 c13\r\n Join -1\r\n BlockType = btLD\r\n"
            " Elem[0] = LD\tX0\r\n finished = true\r\n");
  // Every block has its start line; the passes come in their order.
  std::vector<std::string> steps;
  int starts = 0;
  for (const auto& m : log) {
    if (m.rfind("Start new block: BI:", 0) == 0) ++starts;
    if (m.find("block") == std::string::npos && m.find("Elem") == std::string::npos) steps.push_back(m);
  }
  EXPECT_GE(starts, 8);
  const std::vector<std::string> tail = {"step 9 - Assemble MPS", "Delete single MRD", "Reduce Empty MRD",
                                         "Delete NeedLess MRD", "Rename MRD", "step 10 - AddMarkInstruction",
                                         "Add Mark Instructions"};
  ASSERT_GE(steps.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(steps.end() - static_cast<long>(tail.size()), steps.end()), tail);
}

TEST(CompileLog, BranchPointDump) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").Out(0, 5, "Y0").C(1, 4, "LD", "X2").Out(1, 5, "Y1").V(0, 4);
  std::vector<std::string> log;
  TCompileOptions o;
  o.AddCompilationInfoToLog = true;
  o.Sink = [&](const std::string& m) {
    log.push_back(m);
    return true;
  };
  ASSERT_TRUE(CompileLadder(d.g, o).Ok());
  const std::string dump =
      "MPSInfo: MPS[0]: \r\n active = false\r\n assembled = false\r\n completed = false\r\n"
      "    MRD[0][0]: row=0  col=4; not active ; not completed ; open \r\n"
      "    MRD[0][1]: row=1  col=4; not active ; not completed ; open \r\n";
  EXPECT_NE(std::find(log.begin(), log.end(), dump), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "step 7 - TwoBranchesExist - next step - CombineBranches"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "step 8 - GetNextMRDCell"), log.end());
}

TEST(CompileLog, FileIsStartedAfreshAndFailuresAreSilent) {
  const auto dir = std::filesystem::temp_directory_path() / ("ferrolad_compile_log_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = DebugLogFile(dir.string());
  EXPECT_EQ(std::filesystem::path(file).filename(), "debug.log");
  { std::ofstream(file) << "old run\r\n"; }
  Ladder d;
  d.C(0, 3, "LD", "X0").Out(0, 4, "Y0");
  TCompileOptions o;
  o.AddCompilationInfoToLog = true;
  o.LogFile = file;
  ASSERT_TRUE(CompileLadder(d.g, o).Ok());
  std::stringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  EXPECT_EQ(text.str().rfind("Compilation start\r\nStart new block: BI:0 #-1", 0), 0u);
  EXPECT_EQ(text.str().find("old run"), std::string::npos);
  EXPECT_NE(text.str().find("Add Mark Instructions\r\n"), std::string::npos);

  o.LogFile = (dir / "missing" / "debug.log").string();
  auto r = CompileLadder(d.g, o);
  EXPECT_TRUE(r.Ok());
  EXPECT_FALSE(std::filesystem::exists(o.LogFile));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ferrolad

namespace ferrolad {
namespace {

TEST(CompileErrors, ElementBelowABareLineJoinedInSeries) {
  // (X0 or X1), a bare line on row 0 up to a branch point, and a stray contact under that line.
  Ladder d;
  d.C(0, 3, "LD", "X0").C(1, 3, "LD", "X1").V(0, 4).H(0, 4, 5).C(1, 5, "LD", "X5");
  d.C(0, 6, "LD", "X2").Out(0, 7, "Y0").C(2, 6, "LD", "X3").Out(2, 7, "Y1").V(0, 6, 2);
  ExpectError(d.g, {"11", 11, "Complilation failed - incorrect cell content - Fragment #1 row #0", {0, 6}});
}

}  // namespace
}  // namespace ferrolad
