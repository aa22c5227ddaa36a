// Shared helpers of the compiler tests: diagrams drawn with the ladder model's own editing
// operations, and a check that compiled lines are instruction lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/ld_to_il.h"
#include "core/il_text.h"
#include "core/instruction_catalogue.h"
#include "ladder/ladder_grid.h"
#include "ladder/ladder_test_util.h"

namespace ferrolad {
inline void PrintTo(const TCellPos& p, std::ostream* os) { *os << "(row " << p.Row << ", col " << p.Col << ")"; }
}  // namespace ferrolad

namespace ferrolad::test {

// Draws on a fresh 5 x 15 grid. Every placement must succeed.
class Ladder {
 public:
  ScriptedUi ui;
  TLadderGrid g{&ui};

  // Rows below the grid are added first, as the editor does when the user scrolls down to them.
  void Rows(int row) {
    while (g.RowCount <= row + 1) g.AppendRow();
  }
  // Contact of kind "LD", "LDI", "LDP" or "LDF" (or any single-cell element, e.g. "OUT").
  Ladder& C(int row, int col, const std::string& kind, const std::string& op) {
    Rows(row);
    g.CurRow = row;
    g.CurCol = col;
    EXPECT_TRUE(g.PlaceElement(FindInstructionByName(kind), op)) << kind << " at " << row << "," << col;
    return *this;
  }
  Ladder& H(int row, int fromCol, int toCol) {
    Rows(row);
    for (int c = fromCol; c <= toCol; ++c) EXPECT_TRUE(g.AddHorizontalLine(row, c)) << row << "," << c;
    return *this;
  }
  // A vertical link on the left edge of `col`, from `row` down `rows` rows.
  Ladder& V(int row, int col, int rows = 1) {
    Rows(row + rows);
    for (int i = 0; i < rows; ++i) EXPECT_TRUE(g.AddVerticalLine(row + i, col)) << row + i << "," << col;
    return *this;
  }
  // A coil: horizontal line from `col` up to the output column.
  Ladder& Out(int row, int col, const std::string& op) {
    Rows(row);
    g.CurRow = row;
    g.CurCol = col;
    EXPECT_TRUE(g.PlaceElement(FindInstructionByName("OUT"), op));
    return *this;
  }
  Ladder& Box(int row, int col, const std::string& name, const std::string& op1 = "", const std::string& op2 = "") {
    Rows(row);
    g.CurRow = row;
    g.CurCol = col;
    EXPECT_TRUE(g.PlaceElement(FindInstructionByName(name), op1, op2)) << name;
    return *this;
  }
  Ladder& Inv(int row, int col) {
    EXPECT_TRUE(g.AddInverseLogic(row, col));
    return *this;
  }
  Ladder& Label(int row, const std::string& name, const std::string& op) {
    g.CurRow = row;
    g.CurCol = LabelColumn;
    EXPECT_TRUE(g.PlaceElement(FindInstructionByName(name), op));
    return *this;
  }
};

// An operand such as "M12" (built by appending: GCC 12 warns falsely on "M" + std::string).
inline std::string Op(const char* prefix, int n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

// "LD X0" -> "LD\tX0": expectations are written with blanks.
inline std::vector<std::string> Tabs(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (std::string s : lines) {
    for (char& ch : s) {
      if (ch == ' ') ch = '\t';
    }
    out.push_back(s);
  }
  return out;
}

// Every line a compilation produces must be accepted by the instruction-list parser.
inline void ExpectInstructionLines(const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    const TLineClass k = ClassifyLine(line);
    EXPECT_EQ(k.Kind, TLineKind::Instruction) << "\"" << line << "\" code " << k.Code;
  }
}

inline TCompileResult CompileOk(const TLadderGrid& g) {
  TCompileResult r = CompileLadder(g);
  EXPECT_TRUE(r.Ok()) << r.Message;
  ExpectInstructionLines(r.Lines);
  return r;
}

}  // namespace ferrolad::test
