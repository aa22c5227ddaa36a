// GCC 12 reports a false -Wrestrict on string concatenation at -O3.
#pragma GCC diagnostic ignored "-Wrestrict"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ladder/ladder_file.h"
#include "ladder_test_util.h"

namespace ferrolad {
namespace {

namespace fs = std::filesystem;
using test::Fixture;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Builds the file text by hand, with a correct check value.
std::string WithSum(const std::string& body) {
  return body + "CR=" + std::to_string(static_cast<int32_t>(LadderChecksum(body)));
}

class LadderFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("ferrolad_ladder_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    ::chmod(dir.c_str(), 0700);
    fs::remove_all(dir);
  }
  fs::path dir;
};

// A diagram using every element kind the editor stores.
void BuildRichDiagram(Fixture& f) {
  ASSERT_TRUE(f.Place(0, 3, "LD", "X0"));
  ASSERT_TRUE(f.Place(0, 4, "LDI", "X1"));
  ASSERT_TRUE(f.Place(0, 5, "LDP", "M108"));
  ASSERT_TRUE(f.Place(0, 6, "LDF", "T3"));
  ASSERT_TRUE(f.grid.AddInverseLogic(0, 7));
  ASSERT_TRUE(f.Place(0, 8, "OUT", "Y0"));
  ASSERT_TRUE(f.Place(1, 3, "LD=", "D361", "K5"));
  ASSERT_TRUE(f.Place(1, 6, "MOV", "K4", "D376"));
  ASSERT_TRUE(f.grid.AddVerticalLine(0, 6));
  ASSERT_TRUE(f.Place(2, 2, "P", "1"));
  ASSERT_TRUE(f.Place(2, 3, "ZCP", "K1", "K2", "D0", "M1"));
  ASSERT_TRUE(f.Place(3, 3, "END"));
  f.At(4, 5).Layers = "Empty;";  // a valid token though the editor never writes it
  f.At(4, 6).Value = "text with ; and blanks ";
  f.grid.ClearPreview(f.grid.CurRow);
}

TEST(LadderFile, EmptyDiagramBytes) {
  Fixture f;
  std::string body = "RawCount=5\r\nColCount=15\r\n";
  for (int r = 0; r < 5; ++r) {
    body += "R" + std::to_string(r) + "C3=\"CommonBus;\" value=\"\" cmd=\"\" lbl=\"\";\r\n";
  }
  EXPECT_EQ(LadderFileText(f.grid), WithSum(body));
  Fixture g;
  ASSERT_EQ(LoadLadderText(g.grid, LadderFileText(f.grid), "x"), TLadderLoadResult::Loaded);
  EXPECT_EQ(g.grid.Cells, f.grid.Cells);
}

TEST(LadderFile, RoundTripGivesIdenticalBytes) {
  Fixture f;
  BuildRichDiagram(f);
  const std::string first = LadderFileText(f.grid);
  for (const char* token : {"LDI;", "LDF;", "LDP;", "INV;", "OUT;", "TransStart;", "TransOperand1;",
                            "TransOperand2;TransEnd;", "InstrStart;", "InstrOperand3;", "InstrOperand4;InstrEnd;",
                            "VLine1;", "VLine2;", "HLine;", "Label;", "Empty;", "InstrStart;InstrEnd;"}) {
    EXPECT_NE(first.find(token), std::string::npos) << token;
  }
  EXPECT_NE(first.find("cmd=\"GO HOME\" lbl=\"\""), std::string::npos);
  EXPECT_NE(first.find("lbl=\"ACCEL\""), std::string::npos);
  Fixture g;
  ASSERT_EQ(LoadLadderText(g.grid, first, "x"), TLadderLoadResult::Loaded);
  EXPECT_EQ(LadderFileText(g.grid), first);
  EXPECT_TRUE(g.ui.questions.empty());
  for (int r = 0; r < f.grid.RowCount; ++r) {
    for (int c = 0; c < f.grid.ColCount; ++c) {
      EXPECT_EQ(g.At(r, c).Layers, f.At(r, c).Layers);
      EXPECT_EQ(g.At(r, c).Value, f.At(r, c).Value);
      EXPECT_EQ(g.At(r, c).Cmd, f.At(r, c).Cmd);
      EXPECT_EQ(g.At(r, c).Lbl, f.At(r, c).Lbl);
      EXPECT_EQ(g.At(r, c).CmdNote, "");  // not saved
    }
  }
}

TEST(LadderFile, AnyChangedByteIsRefused) {
  Fixture f;
  BuildRichDiagram(f);
  const std::string good = LadderFileText(f.grid);
  const std::string before = LadderFileText(f.grid);
  // Every position of the cell lines, one at a time, changed by one.
  const size_t end = good.rfind("CR=");
  for (size_t i = 0; i < end; i += 7) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] + 1);
    Fixture g;
    g.Place(0, 3, "LD", "X7");
    const auto result = LoadLadderText(g.grid, bad, "diagram.ld");
    if (result == TLadderLoadResult::Ignored) continue;  // a header shortened below 10 characters
    ASSERT_EQ(result, TLadderLoadResult::Refused) << "byte " << i;
    ASSERT_EQ(g.ui.messages, std::vector<std::string>{"File error: diagram.ld"});
    ASSERT_EQ(g.At(0, 3).Value, "X7");  // unchanged
  }
  EXPECT_EQ(before, good);
}

TEST(LadderFile, HeaderAndCheckRefusals) {
  const std::string cell = "R0C3=\"CommonBus;\" value=\"\" cmd=\"\" lbl=\"\";\r\n";
  struct Case {
    std::string text;
    TLadderLoadResult result;
  };
  // LF line ends with the true byte sum of that file.
  std::string lfBody = "RawCount=5\r\nColCount=15\r\n" + cell;
  for (size_t p; (p = lfBody.find("\r\n")) != std::string::npos;) lfBody.erase(p, 1);
  const std::string lfOnly = WithSum(lfBody);
  const Case cases[] = {
      {WithSum("RawCount=5\r\nColCount=15\r\n" + cell), TLadderLoadResult::Loaded},
      {lfOnly, TLadderLoadResult::Refused},  // every line end counts 23
      {WithSum("RawCount=5\r\nColCount=15\r\n" + cell) + "\r\n", TLadderLoadResult::Loaded},
      {WithSum("RawCount=0\r\nColCount=15\r\n"), TLadderLoadResult::Refused},
      {WithSum("RawCount=x\r\nColCount=15\r\n"), TLadderLoadResult::Refused},
      {WithSum("RowCount=5\r\nColCount=15\r\n"), TLadderLoadResult::Refused},
      {WithSum("RawCount=999999999\r\nColCount=15\r\n"), TLadderLoadResult::Refused},
      {WithSum("RawCount=5\r\nColCount=999999999\r\n"), TLadderLoadResult::Refused},
      {WithSum("RawCount=5000\r\nColCount=100\r\n"), TLadderLoadResult::Refused},  // too many cells
      {WithSum("RawCount=5\r\nColCount=3\r\n"), TLadderLoadResult::Refused},       // no output column
      {"RawCount=5\r\nColCount=15\r\n" + cell + "CR=abc", TLadderLoadResult::Refused},
      {"RawCount=5\r\nColCount=15\r\n" + cell + "XX=0", TLadderLoadResult::Refused},
      {"RawCount=5\r\nColCount=15", TLadderLoadResult::Refused},
      {"", TLadderLoadResult::Refused},
      {"Raw=5\r\nColCount=15\r\nCR=0", TLadderLoadResult::Ignored},  // short first line
      {"RawCount=5\r\nCol=5\r\nCR=0", TLadderLoadResult::Ignored},
  };
  for (const auto& c : cases) {
    Fixture f;
    EXPECT_EQ(LoadLadderText(f.grid, c.text, "n"), c.result) << c.text;
    EXPECT_EQ(f.ui.messages.size(), c.result == TLadderLoadResult::Refused ? 1u : 0u) << c.text;
  }
}

TEST(LadderFile, BadCellLinesAskPerLine) {
  const std::string body = "RawCount=5\r\nColCount=15\r\n"
                           "R0C3=\"CommonBus;Foo;\" value=\"\" cmd=\"\" lbl=\"\";\r\n"
                           "R7C3=\"CommonBus;LD;\" value=\"X0\" cmd=\"\" lbl=\"\";\r\n"
                           "R1C4=\"LD;\" value=\"X1\" cmd=\"\" lbl=\"\";\r\n";
  {
    Fixture f;
    f.ui.defaultAnswer = true;  // OK: skip and go on
    ASSERT_EQ(LoadLadderText(f.grid, WithSum(body), "n"), TLadderLoadResult::Loaded);
    ASSERT_EQ(f.ui.questions.size(), 2u);
    EXPECT_EQ(f.ui.questions[0], "Line 2 error: R0C3=\"CommonBus;Foo;\" value=\"\" cmd=\"\" lbl=\"\";! Continue?");
    EXPECT_EQ(f.ui.questions[1].substr(0, 14), "Line 3 error: ");
    EXPECT_EQ(f.At(1, 4).Value, "X1");
    EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;");  // rail restored
  }
  {
    Fixture f;  // Cancel stops reading cell lines, keeping what came before
    ASSERT_EQ(LoadLadderText(f.grid, WithSum(body), "n"), TLadderLoadResult::Loaded);
    EXPECT_EQ(f.ui.questions.size(), 1u);
    EXPECT_EQ(f.At(1, 4).Layers, "");
  }
}

TEST(LadderFile, WideFilesAndMissingRailCells) {
  Fixture f;
  const std::string body = "RawCount=2\r\nColCount=40\r\nR1C39=\"OUT;\" value=\"Y0\" cmd=\"\" lbl=\"\";\r\n";
  ASSERT_EQ(LoadLadderText(f.grid, WithSum(body), "n"), TLadderLoadResult::Loaded);
  EXPECT_EQ(f.grid.ColCount, 40);
  EXPECT_EQ(f.grid.RowCount, 2);
  EXPECT_EQ(f.At(1, 39).Value, "Y0");
  EXPECT_EQ(f.At(0, 3).Layers, "CommonBus;");
  EXPECT_EQ(f.At(1, 3).Layers, "CommonBus;");
  EXPECT_EQ(f.grid.View.ColWidths.size(), 40u);
  EXPECT_EQ(f.grid.View.RowHeights.size(), 2u);
}

TEST(LadderFile, ParseCellLineRules) {
  struct Case {
    const char* line;
    bool ok;
  };
  const Case cases[] = {
      {"R0C3=\"CommonBus;LD;\" value=\"X0\" cmd=\"\" lbl=\"\";", true},
      {"R12C14=\"InstrOperand2;InstrEnd;\" value=\"D361\" cmd=\"Set ACCEL = K1\" lbl=\"ACCEL\"", true},
      {"R0C3=\"LD;junk\" value=\"X0\" cmd=\"\" lbl=\"\";", true},  // text after the last ";" dropped
      {"R0C3=\"LD\" value=\"X0\" cmd=\"\" lbl=\"\";", true},
      {"R0C3=\"ld;\" value=\"X0\" cmd=\"\" lbl=\"\";", false},
      {"R0C3=\"LD;\" value=\"X0\" cmd=\"\" lbl=\"", false},  // lbl not closed
      {"R0C3=\"LD;\"  value=\"X0\" cmd=\"\" lbl=\"\";", false},
      {"RC3=\"LD;\" value=\"X0\" cmd=\"\" lbl=\"\";", false},
      {"R0X3=\"LD;\" value=\"X0\" cmd=\"\" lbl=\"\";", false},
      {"R0C=\"LD;\" value=\"X0\" cmd=\"\" lbl=\"\";", false},
      {"R0C3=LD;\" value=\"X0\" cmd=\"\" lbl=\"\";", false},
      {"X0C3=\"LD;\" value=\"X0\" cmd=\"\" lbl=\"\";", false},
      {"R0C3=\"\" value=\"", false},
      {"R0C3=\"LD;\" lbl=\"\" value=\"X0\" cmd=\"\";", false},
      {"", false},
  };
  for (const auto& c : cases) {
    TCellLine cl;
    EXPECT_EQ(ParseCellLine(c.line, cl), c.ok) << c.line;
  }
  TCellLine cl;
  ASSERT_TRUE(ParseCellLine("R12C14=\"InstrOperand2;InstrEnd;\" value=\"D361\" cmd=\"Set ACCEL = K1\" lbl=\"ACCEL\"", cl));
  EXPECT_EQ(cl.Row, 12);
  EXPECT_EQ(cl.Col, 14);
  EXPECT_EQ(cl.Layers, "InstrOperand2;InstrEnd;");
  EXPECT_EQ(cl.Value, "D361");
  EXPECT_EQ(cl.Cmd, "Set ACCEL = K1");
  EXPECT_EQ(cl.Lbl, "ACCEL");
}

TEST_F(LadderFileOnDisk, SaveWritesThroughATemporaryFileAndLoadsBack) {
  Fixture f;
  BuildRichDiagram(f);
  const fs::path p = dir / "diagram";
  std::ofstream(p) << "old contents";
  ::chmod(p.c_str(), 0640);
  ASSERT_TRUE(SaveLadderFile(f.grid, p.string()));
  struct stat st{};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file keeps its permissions
  EXPECT_EQ(ReadAll(p), LadderFileText(f.grid));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no leftovers
  Fixture g;
  ASSERT_EQ(LoadLadderFile(g.grid, p.string()), TLadderLoadResult::Loaded);
  EXPECT_EQ(LadderFileText(g.grid), LadderFileText(f.grid));
  EXPECT_FALSE(SaveLadderFile(f.grid, ""));
  EXPECT_EQ(LoadLadderFile(g.grid, ""), TLadderLoadResult::Cancelled);
}

TEST_F(LadderFileOnDisk, FailuresAreReportedAndLeaveNothingBehind) {
  Fixture f;
  const fs::path missing = dir / "no" / "such" / "file";
  EXPECT_FALSE(SaveLadderFile(f.grid, missing.string()));
  EXPECT_EQ(LoadLadderFile(f.grid, missing.string()), TLadderLoadResult::Refused);
  EXPECT_EQ(LoadLadderFile(f.grid, dir.string()), TLadderLoadResult::Refused);  // a folder
  EXPECT_EQ(f.ui.messages, (std::vector<std::string>{"File error: " + missing.string(),
                                                      "File error: " + missing.string(),
                                                      "File error: " + dir.string()}));
  // A text the format cannot carry is never written.
  const fs::path p = dir / "quoted";
  std::ofstream(p) << "keep";
  f.At(0, 5).Value = "a\"b";
  EXPECT_FALSE(SaveLadderFile(f.grid, p.string()));
  EXPECT_EQ(ReadAll(p), "keep");
  if (::geteuid() != 0) {  // root ignores folder permissions
    f.At(0, 5).Value = "ok";
    ::chmod(dir.c_str(), 0500);
    EXPECT_FALSE(SaveLadderFile(f.grid, p.string()));
    EXPECT_EQ(ReadAll(p), "keep");
  }
}

}  // namespace
}  // namespace ferrolad
