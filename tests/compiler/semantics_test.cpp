// The strongest check of the compiler: for random diagrams, the compiled instruction list and the
// diagram itself (power flow from the rail) must switch every coil the same way for every input
// assignment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <numeric>
#include <random>
#include <sstream>

#include "compiler/compiler_test_util.h"
#include "compiler/ladder_eval.h"

namespace ferrolad {
namespace {

using test::Ladder;

// ---- Random diagrams -------------------------------------------------------------------------

struct Expr {
  enum Type { Contact, Series, Parallel } type = Contact;
  std::string kind;  // LD, LDI, LDP, LDF
  int input = 0;
  std::vector<Expr> kids;
};

bool StartsWithParallel(const Expr& e) {
  if (e.type == Expr::Parallel) return true;
  return e.type == Expr::Series && StartsWithParallel(e.kids.front());
}
bool EndsWithParallel(const Expr& e) {
  if (e.type == Expr::Parallel) return true;
  return e.type == Expr::Series && EndsWithParallel(e.kids.back());
}
// Half of the diagrams draw two groups whose links would lie on one line (group after group, or a
// group right at a branch point) apart with a horizontal line, the other half on one shared line
// (FERROLAD_SEMANTIC_SHARED: all shared). FERROLAD_SEMANTIC_FULL also nests groups inside a
// group's branch in the main run (the nested run always does); FERROLAD_SEMANTIC_DUMP prints every
// refused or wrong diagram.
bool g_sharedLinks = false;
bool SharedLinks() { return g_sharedLinks; }
int PadBefore(const Expr& kid) { return !SharedLinks() && StartsWithParallel(kid) ? 1 : 0; }
int PadAfter(const Expr& kid) { return !SharedLinks() && EndsWithParallel(kid) ? 1 : 0; }

int Width(const Expr& e) {
  if (e.type == Expr::Contact) return 1;
  int w = 0;
  for (const auto& k : e.kids) {
    w = e.type == Expr::Series ? w + Width(k) : std::max(w, PadBefore(k) + Width(k) + PadAfter(k));
  }
  return w;
}
int Height(const Expr& e) {
  if (e.type == Expr::Contact) return 1;
  int h = 0;
  for (const auto& k : e.kids) h = e.type == Expr::Series ? std::max(h, Height(k)) : h + Height(k);
  return h;
}

struct Node {
  bool hasCond = false;
  Expr cond;
  bool split = false;
  std::vector<Node> branches;
  int coil = 0;
};

class Generator {
 public:
  Generator(uint32_t seed, bool full) : fullShapes(full), rng_(seed) {}
  bool fullShapes;
  int inputs = 5;
  int coils = 0;

  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  Expr GenExpr(int depth, Expr::Type parent) {
    Expr e;
    const bool leaf = depth == 0 || Chance(0.45);
    if (leaf) {
      static const char* kKinds[] = {"LD", "LD", "LD", "LDI", "LDI", "LDP", "LDF"};
      e.kind = kKinds[Pick(0, 6)];
      e.input = Pick(0, inputs - 1);
      return e;
    }
    e.type = parent == Expr::Series ? Expr::Parallel : parent == Expr::Parallel ? Expr::Series
                                                      : (Chance(0.5) ? Expr::Series : Expr::Parallel);
    const int n = Pick(2, 3);
    // Unless asked for every shape, a series inside a parallel group holds contacts only, so no
    // group is nested inside a group's branch.
    const int kidDepth = e.type == Expr::Series && parent == Expr::Parallel && !fullShapes ? 0 : depth - 1;
    for (int i = 0; i < n; ++i) e.kids.push_back(GenExpr(kidDepth, e.type));
    return e;
  }

  Node GenNode(int depth, bool root) {
    Node n;
    n.hasCond = root || Chance(0.65);
    if (n.hasCond) n.cond = GenExpr(Pick(0, 3), Expr::Contact);
    if (depth > 0 && Chance(root ? 0.5 : 0.3)) {
      n.split = true;
      const int k = Pick(2, 3);
      for (int i = 0; i < k; ++i) n.branches.push_back(GenNode(depth - 1, false));
    } else {
      n.coil = coils++;
    }
    return n;
  }

 private:
  std::mt19937 rng_;
};

// Columns a node needs left of the output column.
int Need(const Node& n) {
  int w = n.hasCond ? Width(n.cond) : 0;
  // A group's right-hand link can not stand in the output column.
  if (!n.split) return w + (n.hasCond && EndsWithParallel(n.cond) ? 1 : 0);
  int tail = 0;
  for (const auto& b : n.branches) {
    const int pad = (!b.hasCond && b.split) || (b.hasCond && StartsWithParallel(b.cond) && !SharedLinks()) ? 1 : 0;
    tail = std::max(tail, std::max(1, pad + Need(b)));
  }
  return w + tail;
}

int PlaceExpr(Ladder& d, const Expr& e, int row, int col) {
  switch (e.type) {
    case Expr::Contact:
      d.C(row, col, e.kind, test::Op("X", e.input));
      return 1;
    case Expr::Series: {
      int c = col;
      int h = 0;
      for (const auto& k : e.kids) {
        h = std::max(h, PlaceExpr(d, k, row, c));
        c += Width(k);
      }
      return h;
    }
    case Expr::Parallel: {
      const int w = Width(e);
      int r = row;
      int lastTop = row;
      for (const auto& k : e.kids) {
        const int pad = PadBefore(k);
        if (pad) d.H(r, col, col);
        PlaceExpr(d, k, r, col + pad);
        if (pad + Width(k) < w) d.H(r, col + pad + Width(k), col + w - 1);
        lastTop = r;
        r += Height(k);
      }
      if (col > FirstColumn) d.V(row, col, lastTop - row);
      d.V(row, col + w, lastTop - row);
      return r - row;
    }
  }
  return 1;
}

int PlaceNode(Ladder& d, const Node& n, int row, int col) {
  int c = col;
  int hc = 1;
  if (n.hasCond && StartsWithParallel(n.cond) && col > FirstColumn && !SharedLinks()) {
    d.H(row, c, c);  // keep the group's left link apart from the branch point's line
    ++c;
  }
  if (n.hasCond) {
    hc = PlaceExpr(d, n.cond, row, c);
    c += Width(n.cond);
  }
  if (!n.split) {
    d.Out(row, c, test::Op("M", 100 + n.coil));
    return hc;
  }
  if (!n.hasCond) {  // a split needs a path on both sides of its point
    d.H(row, c, c);
    ++c;
  }
  int next = row;
  int lastTop = row;
  for (size_t i = 0; i < n.branches.size(); ++i) {
    lastTop = next;
    const int h = PlaceNode(d, n.branches[i], next, c);
    next = i == 0 ? std::max(row + h, row + hc) : next + h;
  }
  d.V(row, c, lastTop - row);
  return std::max(next - row, hc);
}

int NodeHeight(const Node& n) {
  const int hc = n.hasCond ? Height(n.cond) : 1;
  if (!n.split) return hc;
  int next = 0;
  for (size_t i = 0; i < n.branches.size(); ++i) {
    const int h = NodeHeight(n.branches[i]);
    next = i == 0 ? std::max(h, hc) : next + h;
  }
  return std::max(next, hc);
}

std::string Describe(const TLadderGrid& g) {
  std::ostringstream s;
  for (int r = 0; r < g.RowCount; ++r) {
    for (int c = FirstColumn; c < g.ColCount; ++c) {
      const auto& cell = g.Cell(r, c);
      std::string t = cell.Layers;
      if (!cell.Value.empty()) t += "[" + cell.Value + "]";
      s << (t.empty() ? "." : t) << " | ";
    }
    s << "\n";
  }
  return s.str();
}

struct Stats {
  int diagrams = 0;
  long assignments = 0;
  std::map<int, int> refused;  // by error code
  int wrong = 0;
  std::string firstProblem;
};

void RunRandom(uint32_t seed, int count, bool fullShapes, Stats& st) {
  Generator gen(seed, fullShapes);
  for (int i = 0; i < count; ++i) {
    gen.coils = 0;
    g_sharedLinks = std::getenv("FERROLAD_SEMANTIC_SHARED") != nullptr || gen.Chance(0.5);
    const int cols = gen.Pick(15, 30);
    std::vector<Node> rungs;
    const int nRungs = gen.Pick(1, 3);
    for (int k = 0; k < nRungs; ++k) {
      Node n;
      do {
        n = gen.GenNode(2, true);
      } while (Need(n) > cols - 4);
      rungs.push_back(std::move(n));
    }
    Ladder d;
    while (d.g.ColCount < cols) d.g.AddColumn(TLadderGrid::TColumnMode::AtEnd);
    int row = 0;
    for (const auto& n : rungs) {
      while (d.g.RowCount < row + NodeHeight(n) + 2) d.g.AppendRow();
      row += PlaceNode(d, n, row, FirstColumn);
      if (gen.Chance(0.5)) ++row;  // an empty row between rungs, or none
    }
    ++st.diagrams;
    const TCompileResult r = CompileLadder(d.g);
    if (!r.Ok()) {
      ++st.refused[r.ErrorCode];
      if (st.firstProblem.empty()) st.firstProblem = r.Message + "\n" + Describe(d.g);
      if (std::getenv("FERROLAD_SEMANTIC_DUMP")) std::cout << "REFUSED " << r.Message << "\n" << Describe(d.g) << "\n";
      continue;
    }
    test::ExpectInstructionLines(r.Lines);
    for (uint32_t a = 0; a < (1u << gen.inputs); ++a) {
      ++st.assignments;
      auto input = [a](const std::string& op) { return op[0] == 'X' && ((a >> (op[1] - '0')) & 1u) != 0; };
      std::map<std::string, bool> il;
      std::string error;
      if (!test::EvaluateIL(r.Lines, input, il, error)) {
        ++st.wrong;
        if (st.firstProblem.empty()) st.firstProblem = error + "\n" + Describe(d.g);
        if (std::getenv("FERROLAD_SEMANTIC_DUMP")) {
          std::string lines;
          for (const auto& l : r.Lines) lines += l + "\n";
          std::cout << "WRONG cells=" << d.g.RowCount * d.g.ColCount << " " << error << "\n" << lines << Describe(d.g) << "\n";
        }
        break;
      }
      const auto ladder = test::EvaluateLadder(d.g, input);
      if (il != ladder) {
        ++st.wrong;
        if (st.firstProblem.empty()) {
          std::string lines;
          for (const auto& l : r.Lines) lines += l + "\n";
          st.firstProblem = "assignment " + std::to_string(a) + "\n" + lines + Describe(d.g);
        }
        if (std::getenv("FERROLAD_SEMANTIC_DUMP")) {
          std::string lines;
          for (const auto& l : r.Lines) lines += l + "\n";
          std::cout << "WRONG cells=" << d.g.RowCount * d.g.ColCount << "\n" << lines << Describe(d.g) << "\n";
        }
        break;
      }
    }
  }
}

// Longer runs: FERROLAD_SEMANTIC_RUNS (count) and FERROLAD_SEMANTIC_SEED.
TEST(Semantics, RandomDiagramsMatchTheirInstructionList) {
  Stats st;
  int count = 300;
  if (const char* env = std::getenv("FERROLAD_SEMANTIC_RUNS")) count = std::atoi(env);
  uint32_t seed = 20261211;
  if (const char* env = std::getenv("FERROLAD_SEMANTIC_SEED")) seed = static_cast<uint32_t>(std::atol(env));
  RunRandom(seed, count, std::getenv("FERROLAD_SEMANTIC_FULL") != nullptr, st);
  int refused = 0;
  for (const auto& [code, n] : st.refused) refused += n;
  std::cout << "[ semantics ] " << st.diagrams << " diagrams, " << st.assignments << " assignments, " << refused
            << " refused";
  for (const auto& [code, n] : st.refused) std::cout << " (error " << code << ": " << n << ")";
  std::cout << ", " << st.wrong << " wrong\n";
  EXPECT_EQ(st.wrong, 0) << st.firstProblem;
  EXPECT_EQ(refused, 0) << st.firstProblem;
}

// Every shape, groups nested inside a group's branch included. A few drawings whose groups share
// link columns in ways the merges cannot take apart are refused (error 7); none may compile wrongly.
TEST(Semantics, RandomNestedGroupsMatchTheirInstructionList) {
  Stats st;
  const int count = 1500;
  RunRandom(777, count, true, st);
  int refused = 0;
  for (const auto& [code, n] : st.refused) refused += n;
  std::cout << "[ semantics ] nested: " << st.diagrams << " diagrams, " << st.assignments << " assignments, "
            << refused << " refused, " << st.wrong << " wrong\n";
  EXPECT_EQ(st.wrong, 0) << st.firstProblem;
  for (const auto& [code, n] : st.refused) EXPECT_EQ(code, 7) << n << " refused";
  EXPECT_LE(refused, count / 50) << st.firstProblem;
}

// The evaluators themselves, on hand-made cases.
TEST(Semantics, EvaluatorsAgreeOnKnownShapes) {
  Ladder d;
  d.C(0, 3, "LD", "X0").C(1, 3, "LDI", "X1").V(0, 4).C(0, 4, "LD", "X2").Out(0, 5, "M100");
  for (uint32_t a = 0; a < 8; ++a) {
    auto input = [a](const std::string& op) { return ((a >> (op[1] - '0')) & 1u) != 0; };
    const bool x0 = a & 1, x1 = a & 2, x2 = a & 4;
    const auto ladder = test::EvaluateLadder(d.g, input);
    EXPECT_EQ(ladder.at("M100"), (x0 || !x1) && x2) << a;
    std::map<std::string, bool> il;
    std::string error;
    ASSERT_TRUE(test::EvaluateIL({"LD\tX0", "ORI\tX1", "AND\tX2", "MPS", "OUT\tM100", "MPP", "INV", "OUT\tM101"},
                                 input, il, error))
        << error;
    EXPECT_EQ(il.at("M100"), (x0 || !x1) && x2);
    EXPECT_EQ(il.at("M101"), !((x0 || !x1) && x2));
  }
  std::map<std::string, bool> il;
  std::string error;
  EXPECT_FALSE(test::EvaluateIL({"ANB"}, [](const std::string&) { return false; }, il, error));
}

}  // namespace
}  // namespace ferrolad
