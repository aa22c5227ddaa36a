// Parallel groups drawn inside a branch of another group, or reached by bare line: each must
// compile to lines of the same meaning as the drawing (checked by both evaluators) and to the
// expected lines.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "compiler/compiler_test_util.h"
#include "compiler/ladder_eval.h"

namespace ferrolad {
namespace {

using test::Ladder;
using test::Tabs;

// The compiled lines switch every coil as the drawing does, for every assignment of X0..X5.
void ExpectSameMeaning(const Ladder& d, const std::vector<std::string>& lines) {
  for (uint32_t a = 0; a < 64; ++a) {
    auto input = [a](const std::string& op) { return op[0] == 'X' && ((a >> (op[1] - '0')) & 1u) != 0; };
    std::map<std::string, bool> il;
    std::string error;
    ASSERT_TRUE(test::EvaluateIL(lines, input, il, error)) << error;
    ASSERT_EQ(il, test::EvaluateLadder(d.g, input)) << "inputs " << a;
  }
}

struct NestedCase {
  const char* name;
  std::function<void(Ladder&)> draw;
  std::vector<std::string> lines;
};

TEST(NestedGroups, CompileToLinesOfTheSameMeaning) {
  const NestedCase cases[] = {
      {"series contact then a group inside the lower branch: X4 (X0 | X1 (X2 | X3))",
       [](Ladder& d) {
         d.C(0, 3, "LD", "X4").C(0, 4, "LD", "X0").H(0, 5, 6).C(1, 4, "LD", "X1").C(1, 5, "LD", "X2");
         d.C(2, 5, "LD", "X3").V(1, 5).V(1, 6).H(1, 6, 6).V(0, 4, 1).V(0, 7, 1).Out(0, 7, "Y0");
       },
       {"LD X4", "LD X0", "LD X1", "LD X2", "OR X3", "ANB", "ORB", "ANB", "OUT Y0", "END"}},
      {"lower branch of bare line then a group: X4 (X0 | -(X2 | X3))",
       [](Ladder& d) {
         d.C(0, 3, "LD", "X4").C(0, 4, "LD", "X0").H(0, 5, 6).H(1, 4, 4).C(1, 5, "LD", "X2");
         d.C(2, 5, "LD", "X3").V(1, 5).V(1, 6).H(1, 6, 6).V(0, 4, 1).V(0, 7, 1).Out(0, 7, "Y0");
       },
       {"LD X4", "LD X0", "LD X2", "OR X3", "ORB", "ANB", "OUT Y0", "END"}},
      {"the same at the rail: X0 | -(X2 | X3)",
       [](Ladder& d) {
         d.C(0, 3, "LD", "X0").H(0, 4, 5).H(1, 3, 3).C(1, 4, "LD", "X2").C(2, 4, "LD", "X3");
         d.V(1, 4).V(1, 5).H(1, 5, 5).V(0, 6, 1).Out(0, 6, "Y0");
       },
       {"LD X0", "LD X2", "OR X3", "ORB", "OUT Y0", "END"}},
      {"group in the upper branch, links shared: X0 ((X1 (X2 | X3)) | X4)",
       [](Ladder& d) {
         d.C(0, 3, "LD", "X0").C(0, 4, "LD", "X1").C(0, 5, "LD", "X2").C(1, 5, "LD", "X3").V(0, 5);
         d.V(0, 6, 2).C(2, 4, "LD", "X4").H(2, 5, 5).V(0, 4, 2).Out(0, 6, "Y0");
       },
       {"LD X0", "LD X1", "LD X2", "OR X3", "ANB", "OR X4", "ANB", "OUT Y0", "END"}},
      {"bare line then a group in the upper branch: X4 ((-(X2 | X3)) | X0)",
       [](Ladder& d) {
         d.C(0, 3, "LD", "X4").H(0, 4, 4).C(0, 5, "LD", "X2").H(0, 6, 6).C(1, 5, "LD", "X3").V(0, 5);
         d.V(0, 6).C(2, 4, "LD", "X0").H(2, 5, 6).V(0, 4, 2).V(0, 7, 2).Out(0, 7, "Y0");
       },
       {"LD X4", "LD X2", "OR X3", "OR X0", "ANB", "OUT Y0", "END"}},
      {"group of a branch point beside an output branch, links shared",
       [](Ladder& d) {
         d.C(0, 3, "LD", "X5").C(0, 4, "LDI", "X2").Out(0, 5, "Y0");
         d.C(1, 4, "LD", "X1").C(1, 5, "LD", "X2").C(2, 5, "LD", "X3").V(1, 5).V(1, 6, 2);
         d.C(3, 4, "LD", "X0").H(3, 5, 5).Out(1, 6, "Y1");
         d.C(4, 4, "LD", "X4").Out(4, 5, "Y2").V(0, 4, 4);
       },
       {"LD X5", "MPS", "ANI X2", "OUT Y0", "MRD", "LD X1", "LD X2", "OR X3", "ANB", "OR X0", "ANB", "OUT Y1", "MPP",
        "AND X4", "OUT Y2", "END"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ladder d;
    c.draw(d);
    const TCompileResult r = test::CompileOk(d.g);
    EXPECT_EQ(r.Lines, Tabs(c.lines));
    ExpectSameMeaning(d, r.Lines);
  }
}

// The last guard of a rung: lines whose joins or branch stack do not add up are refused.
TEST(NestedGroups, StackUseOfARung) {
  const std::pair<std::vector<std::string>, bool> cases[] = {
      {{"LD X0", "LD X1", "OR X2", "ANB", "OUT Y0"}, true},
      {{"LD X0", "MPS", "AND X1", "OUT Y0", "MRD", "OUT Y1", "MPP", "LD X2", "OR X3", "ANB", "OUT Y2"}, true},
      {{"P0", "LD= D0 K5", "DLD> D2 K1", "ORB", "OUT Y0"}, true},
      {{"LD X1", "OR X2", "ANB", "OUT Y0"}, false},           // ANB with nothing put aside
      {{"LD X1", "ORB", "OUT Y0"}, false},                    // ORB likewise
      {{"LD X0", "LD X1", "OR X2", "OUT Y0"}, false},         // the output would drop X0
      {{"LD X0", "MPS", "OUT Y0"}, false},                    // MPS never popped
      {{"LD X0", "OUT Y0", "MRD", "OUT Y1"}, false},          // MRD without MPS
      {{"LD X0", "MPS", "OUT Y0", "MPP", "MPP", "OUT Y1"}, false},
  };
  for (const auto& [lines, ok] : cases) {
    EXPECT_EQ(StackUseHolds(Tabs(lines)), ok) << lines.front() << " ... " << lines.back();
  }
}

}  // namespace
}  // namespace ferrolad
