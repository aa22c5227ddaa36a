#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/il_text.h"

using namespace ferrolad;

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// A fresh folder per test, removed afterwards.
class IlFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ferrolad-il-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_;
};

}  // namespace

TEST(ParseLine, ResultCodes) {
  struct Case {
    std::string Text;
    int Code;
  };
  const Case cases[] = {
      {"LD X0", 0},
      {"   LD X0", 0},
      {"LD\tX0", 0},
      {"\t LD \t X0 \t", 0},
      {"LD X0 // comment", 0},  // direct callers: a trailing "//" counts as nothing
      {"LD X0 /", 9},
      {"ld X0", 6},
      {"LDX0", 6},
      {"", 6},
      {" \t ", 6},
      {"Unknown", 6},
      {"TMR T0", 5},
      {"TMR", 5},
      {"TMR T0 ", 5},
      {"TMR T0 K10", 0},
      {"TMR T0 K10 K5", 9},
      {"END", 0},
      {"END x", 7},
      {"END //", 0},
      {"END /", 7},
      {"SPIN K5", 7},
      {"MOV K5 X0", 2},
      {"MOV X0 D0", 0},
      {"MOV K5 D0A", 2},
      {"LD X9", 1},
      {"ZCP K1 K2 K3 D0", 4},
      {"ZCP K1 K2 Q3 M0", 3},
      {"ZCP K1 K2 K3", 5},
      {"P\t0", 0},
      {"P 32", 1},
      {"P", 5},
      {"I 101", 1},
      {"I 100", 0},
      {"CJ P31", 0},
      {"CJ P32", 1},
      {"LD= K1 D0", 0},
      {"DAND<> D0 K-2147483647", 0},
      {"DAND<> D0 K-2147483648", 2},
      {"MOV K3000\tD361", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLine(c.Text), c.Code) << "[" << c.Text << "]";
}

TEST(ParseLine, EveryMnemonicWithGoodOperandsParses) {
  // One operand text per slot type, valid for every slot that accepts that type.
  auto sample = [](const TOperand& t) -> std::string {
    switch (t.OpType) {
      case OpTypeEmpty: return "7";
      case OpTypeK: return "K-12";
      default: {
        std::string s(1, LetterFromType(t.OpType));
        s.push_back('1');
        return s;
      }
    }
  };
  for (const auto& e : InstructionCatalogue()) {
    if (e.Code == 0) continue;
    std::string line = e.Name;
    for (int k = 0; k < OperandCount(e); ++k) {
      line.push_back('\t');
      line.append(sample(e.Operands[static_cast<size_t>(k)].Types[0]));
    }
    TInstructionRecord r;
    EXPECT_EQ(ParseLine(line, r), 0) << line;
    EXPECT_EQ((r[0] << 8) | r[1], e.Code) << line;
    EXPECT_EQ(ClassifyLine(line).Kind, TLineKind::Instruction) << line;
  }
}

TEST(ParseLine, HostileInputGivesDocumentedCodes) {
  struct Case {
    std::string Text;
    int Code;
  };
  const std::string huge(1 << 20, 'X');
  const Case cases[] = {
      {std::string("LD X0\0", 6), 1},
      {std::string("\0LD X0", 6), 6},
      {std::string("LD\0X0", 5), 6},
      {"\xff\xfe\x80garbage", 6},
      {"LD \xc3\xa9", 1},
      {"LD X0 \xe2\x80\x8b", 9},
      {"LD" + std::string(1 << 20, ' ') + "X0", 0},
      {"LD X" + std::string(1 << 20, '1'), 1},
      {"LD " + huge, 1},
      {"MOV K" + std::string(100000, '9') + " D0", 1},
      {"MOV H" + std::string(100000, 'F') + " D0", 1},
      {"MOV F" + std::string(100000, '9') + " D0", 1},
      {"MOV F0." + std::string(100000, '0') + "1 D0", 0},
      {"LD X0\r", 1},  // a CR is no blank: it belongs to the operand
      {std::string(1000, '\t'), 6},
      // One past every limit.
      {"LD X200", 1}, {"LD Y200", 1}, {"LD M128", 1}, {"LD T64", 1}, {"LD C66", 1},
      {"MOV K1 D392", 2}, {"MOV K2147483648 D0", 1}, {"MOV K-2147483648 D0", 1}, {"MOV H100000000 D0", 1},
      {"CJ P32", 1}, {"P 32", 1}, {"I 2002", 1}, {"MOV K1 A10", 2}, {"MOV K1 B10", 2}, {"MOV K1@A8 D0", 1},
      {"MOV K1 D1A8", 2}, {"MOV F340282366920938463463374607431768211456 D0", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLine(c.Text), c.Code) << c.Text.substr(0, 40);
  }
  EXPECT_EQ(ClassifyLine(std::string(1000, '\t')).Kind, TLineKind::Empty);
  EXPECT_EQ(ClassifyLine(huge).Code, 6);
}

TEST(ClassifyLine, Classes) {
  struct Case {
    std::string Line;
    TLineKind Kind;
    int Code;
  };
  const Case cases[] = {
      {"", TLineKind::Empty, 0},
      {" \t ", TLineKind::Empty, 0},
      {";text", TLineKind::Comment, 0},
      {"   // note", TLineKind::Comment, 0},
      {"//", TLineKind::Comment, 0},
      {"LD X0", TLineKind::Instruction, 0},
      {"LD X0 // start", TLineKind::Instruction, 0},
      {"LD X0;start", TLineKind::Instruction, 0},
      {"LD X0 ; start", TLineKind::Instruction, 0},
      {"LD X0//x", TLineKind::Instruction, 0},
      {"TMR T0;K10", TLineKind::Wrong, 5},
      {"ld X0", TLineKind::Wrong, 6},
      {"/ LD X0", TLineKind::Wrong, 6},
      {"END x", TLineKind::Wrong, 7},
      {"TMR T0 K10 K5", TLineKind::Wrong, 9},
  };
  for (const auto& c : cases) {
    const TLineClass r = ClassifyLine(c.Line);
    EXPECT_EQ(r.Kind, c.Kind) << c.Line;
    EXPECT_EQ(r.Code, c.Code) << c.Line;
  }
}

TEST(WrongLineMarks, TextsAndEffect) {
  EXPECT_EQ(WrongLineMark(1), "// wrong parameter 1: -> ");
  EXPECT_EQ(WrongLineMark(4), "// wrong parameter 4: -> ");
  EXPECT_EQ(WrongLineMark(5), "// wrong parameters number: -> ");
  EXPECT_EQ(WrongLineMark(6), "// wrong command: -> ");
  EXPECT_EQ(WrongLineMark(7), "");
  EXPECT_EQ(WrongLineMark(9), "");
  EXPECT_EQ(WrongLineMark(0), "");
  EXPECT_EQ(ParseResultText(7), "text after an instruction without operands: -> ");
  EXPECT_EQ(ParseResultText(9), "text after the last operand: -> ");
  // A marked line is a comment line.
  EXPECT_EQ(ClassifyLine(WrongLineMark(6) + "ld X0").Kind, TLineKind::Comment);
}

TEST(CleanUp, ClearAndComment) {
  const std::vector<std::string> program = {"LD X9", "", "  ", "// note", "LD X0", "END x", "ld Y0",
                                            "TMR T0", "TMR T0 K1 K2", "\t", "OUT Y0"};
  std::vector<std::string> cleared = program;
  CleanUp(cleared, TCleanUpMode::Clear);
  EXPECT_EQ(cleared, (std::vector<std::string>{"// note", "LD X0", "END x", "TMR T0 K1 K2", "OUT Y0"}));

  std::vector<std::string> commented = program;
  CleanUp(commented, TCleanUpMode::Comment);
  const std::vector<std::string> expected = {"// wrong parameter 1: -> LD X9",
                                             "// note",
                                             "LD X0",
                                             "END x",
                                             "// wrong command: -> ld Y0",
                                             "// wrong parameters number: -> TMR T0",
                                             "TMR T0 K1 K2",
                                             "OUT Y0"};
  EXPECT_EQ(commented, expected);
  // A second clean-up changes nothing.
  std::vector<std::string> again = commented;
  CleanUp(again, TCleanUpMode::Comment);
  EXPECT_EQ(again, commented);
  CleanUp(again, TCleanUpMode::Clear);
  EXPECT_EQ(again, commented);
  // Leading blanks of a wrong line are kept behind the mark.
  std::vector<std::string> indented = {"  LD X8"};
  CleanUp(indented, TCleanUpMode::Comment);
  EXPECT_EQ(indented[0], "// wrong parameter 1: ->   LD X8");
}

TEST(LineNumbers, CountsOnlyValidInstructions) {
  TLineNumbering n;
  const std::vector<std::string> lines = {"LD X0", "// c", "OUT Y0", "bad", "", "END"};
  ASSERT_TRUE(UpdateLineNumbers(lines, n, 0));
  EXPECT_EQ(n.Nums, (std::vector<std::string>{"0->  ", " ", "1->  ", " ", " ", "2->  "}));
  EXPECT_EQ(n.LastCount, 6u);
}

TEST(LineNumbers, PartialRenumberingContinuesFromTheLineAbove) {
  TLineNumbering n;
  std::vector<std::string> lines = {"LD X0", "OUT Y0", "// c", "LD X1", "OUT Y1", "END"};
  ASSERT_TRUE(UpdateLineNumbers(lines, n, 0));
  const auto full = n.Nums;
  // Insert a line and renumber from the insertion point: same as renumbering everything.
  lines.insert(lines.begin() + 3, "ANI X2");
  n.Nums.insert(n.Nums.begin() + 3, " ");
  ASSERT_TRUE(UpdateLineNumbers(lines, n, 3));
  TLineNumbering fresh;
  UpdateLineNumbers(lines, fresh, 0);
  EXPECT_EQ(n.Nums, fresh.Nums);
  // Deleting lines: the surplus number lines disappear.
  lines.resize(2);
  ASSERT_TRUE(UpdateLineNumbers(lines, n, 1));
  EXPECT_EQ(n.Nums, (std::vector<std::string>{"0->  ", "1->  "}));
  // Start beyond the program: nothing to number, nothing breaks.
  ASSERT_TRUE(UpdateLineNumbers(lines, n, 10));
  EXPECT_EQ(n.Nums.size(), 2u);
  // A number line that holds no number restarts the count at 0.
  n.Nums = {"x->  ", " "};
  ASSERT_TRUE(UpdateLineNumbers(lines, n, 1));
  EXPECT_EQ(n.Nums[1], "0->  ");
}

TEST(LineNumbers, AutomaticLimit) {
  std::vector<std::string> lines(501, "LD X0");
  TLineNumbering n;
  n.Limit = 500;
  n.Nums = {"stale"};
  EXPECT_FALSE(UpdateLineNumbers(lines, n, 0));
  EXPECT_TRUE(n.Nums.empty());
  // "Enumerate" ignores the limit.
  EXPECT_TRUE(UpdateLineNumbers(lines, n, 0, true));
  ASSERT_EQ(n.Nums.size(), 501u);
  EXPECT_EQ(n.Nums[500], "500->  ");
  lines.pop_back();
  EXPECT_TRUE(UpdateLineNumbers(lines, n, 0));

  std::string text = "abc";
  EXPECT_EQ(ReadNumberingLimit(text), 500);
  EXPECT_EQ(text, "500");
  text = "1000";
  EXPECT_EQ(ReadNumberingLimit(text), 1000);
  EXPECT_EQ(text, "1000");
  text = "99999999999999999999";
  EXPECT_EQ(ReadNumberingLimit(text), 500);
}

TEST(LineNumbers, StartLineAfterAnEdit) {
  TLineNumbering n;
  EXPECT_EQ(NumberingStartLine(10, n, 20), 0u);  // empty number column
  n.Nums = {" "};
  n.LastCount = 20;
  EXPECT_EQ(NumberingStartLine(10, n, 20), 9u);   // typing in place
  EXPECT_EQ(NumberingStartLine(10, n, 25), 4u);   // five lines pasted above the caret
  EXPECT_EQ(NumberingStartLine(10, n, 15), 9u);   // lines deleted
  EXPECT_EQ(NumberingStartLine(0, n, 40), 0u);
}

TEST(InstructionLineIndex, SkipsEmptyAndCommentLines) {
  const std::vector<std::string> lines = {"// head", "LD X0", "", "OUT Y0", " // indented", "END"};
  EXPECT_EQ(InstructionLineIndex(lines, 0), 1);
  EXPECT_EQ(InstructionLineIndex(lines, 1), 3);
  EXPECT_EQ(InstructionLineIndex(lines, 2), 4);  // only lines starting with "//" are skipped
  EXPECT_EQ(InstructionLineIndex(lines, 3), 5);
  EXPECT_EQ(InstructionLineIndex(lines, 4), -1);
}

TEST(SplitLines, LineEndings) {
  EXPECT_EQ(SplitLines("a\nb\r\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
  EXPECT_EQ(SplitLines("\n"), std::vector<std::string>{""});
  EXPECT_EQ(SplitLines(std::string("x\0y", 3)), std::vector<std::string>{std::string("x\0y", 3)});
}

TEST_F(IlFiles, LoadDropsEmptyLinesReplacesOrAppends) {
  WriteBytes(Path("p.il"), "LD X0\r\n\r\n  \r\nOUT Y0\n\nEND");
  std::vector<std::string> lines = {"old"};
  std::string error;
  ASSERT_TRUE(LoadProgram(Path("p.il"), lines, true, error));
  EXPECT_EQ(lines, (std::vector<std::string>{"old", "LD X0", "  ", "OUT Y0", "END"}));
  ASSERT_TRUE(LoadProgram(Path("p.il"), lines, false, error));
  EXPECT_EQ(lines, (std::vector<std::string>{"LD X0", "  ", "OUT Y0", "END"}));
  for (const auto& l : lines) EXPECT_EQ(l.find('\r'), std::string::npos);
}

TEST_F(IlFiles, LoadFailureKeepsTheProgram) {
  std::vector<std::string> lines = {"LD X0"};
  std::string error;
  EXPECT_FALSE(LoadProgram(Path("missing.il"), lines, false, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(LoadProgram(dir_, lines, false, error));
  EXPECT_EQ(error, "Is a directory");
  EXPECT_EQ(lines, std::vector<std::string>{"LD X0"});
}

TEST_F(IlFiles, SaveWritesCrLfThroughATemporaryFile) {
  const std::vector<std::string> lines = {"LD X0", "\tOUT Y0 ; note", "END"};
  std::string error;
  ASSERT_TRUE(SaveProgram(Path("out.il"), lines, error)) << error;
  EXPECT_EQ(ReadBytes(Path("out.il")), "LD X0\r\n\tOUT Y0 ; note\r\nEND\r\n");
  // Overwriting keeps the file's permissions and leaves no temporary file behind.
  ASSERT_EQ(chmod(Path("out.il").c_str(), 0640), 0);
  ASSERT_TRUE(SaveProgram(Path("out.il"), {"END"}, error)) << error;
  EXPECT_EQ(ReadBytes(Path("out.il")), "END\r\n");
  struct stat st {};
  ASSERT_EQ(stat(Path("out.il").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  size_t files = 0;
  for ([[maybe_unused]] const auto& f : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1u);
  // Round trip through load.
  std::vector<std::string> back;
  ASSERT_TRUE(LoadProgram(Path("out.il"), back, false, error));
  EXPECT_EQ(back, std::vector<std::string>{"END"});
}

TEST_F(IlFiles, SaveFailureLeavesTheOldFile) {
  std::string error;
  EXPECT_FALSE(SaveProgram(Path("no/such/dir/x.il"), {"END"}, error));
  EXPECT_EQ(error, "No such file or directory");
  // Target is a directory: rename fails, the temporary file is removed.
  std::filesystem::create_directory(Path("d"));
  WriteBytes(Path("d/keep"), "x");
  EXPECT_FALSE(SaveProgram(Path("d"), {"END"}, error));
  EXPECT_FALSE(error.empty());
  size_t files = 0;
  for ([[maybe_unused]] const auto& f : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1u);
}

TEST_F(IlFiles, SaveThroughALinkReplacesTheTarget) {
  WriteBytes(Path("real.il"), "old\r\n");
  std::filesystem::create_symlink("real.il", Path("link.il"));
  std::string error;
  ASSERT_TRUE(SaveProgram(Path("link.il"), {"END"}, error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.il")));
  EXPECT_EQ(ReadBytes(Path("real.il")), "END\r\n");
}
