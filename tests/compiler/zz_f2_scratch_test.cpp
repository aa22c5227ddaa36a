#include <gtest/gtest.h>
#include <cstdlib>
#include <iostream>
#include "compiler/compiler_test_util.h"
#include "compiler/ladder_eval.h"
namespace ferrolad {
namespace {
using test::Ladder;
void Show(const Ladder& d, bool log) {
  TCompileOptions o;
  std::string trace;
  if (log) { o.AddCompilationInfoToLog = true; o.Sink = [&](const std::string& m) { trace += m + "\n"; return true; }; }
  auto r = CompileLadder(d.g, o);
  if (log) std::cout << trace;
  std::cout << "ERR " << r.ErrorCode << " " << r.Message << "\n";
  for (auto& l : r.Lines) std::cout << "  " << l << "\n";
  int bad = 0;
  for (uint32_t a = 0; a < 32; ++a) {
    auto input = [a](const std::string& op) { return op[0] == 'X' && ((a >> (op[1] - '0')) & 1u) != 0; };
    std::map<std::string, bool> il; std::string e;
    if (!test::EvaluateIL(r.Lines, input, il, e)) { std::cout << "EVAL " << e << "\n"; bad++; break; }
    if (il != test::EvaluateLadder(d.g, input)) { bad++; }
  }
  std::cout << (bad ? "WRONG\n" : "OK\n");
}
TEST(F2, Scratch) {
  const char* w = std::getenv("F2CASE"); int k = w ? atoi(w) : 0; bool log = std::getenv("F2LOG");
  Ladder d;
  if (k == 0) { // (A.(B||C)) || D, padded
    d.C(0,3,"LD","X0").C(0,4,"LD","X1").H(0,5,5).C(1,4,"LD","X2").V(0,4).V(0,5).C(2,3,"LD","X3").H(2,4,5).V(0,6,2).Out(0,6,"Y0");
  } else if (k == 1) { // shared: (A.(B||C)) || D
    d.C(0,3,"LD","X0").C(0,4,"LD","X1").C(1,4,"LD","X2").V(0,4).V(0,5,2).C(2,3,"LD","X3").H(2,4,4).Out(0,5,"Y0");
  } else if (k == 2) { // bare line then group from rail: (-(B||C)) || D
    d.H(0,3,3).C(0,4,"LD","X1").C(1,4,"LD","X2").V(0,4).V(0,5,2).C(2,3,"LD","X3").H(2,4,4).Out(0,5,"Y0");
  } else if (k == 3) { // X0 . ((X1.(X2||X3)) || X4)
    d.C(0,3,"LD","X0").C(0,4,"LD","X1").C(0,5,"LD","X2").C(1,5,"LD","X3").V(0,5).V(0,6,2).C(2,4,"LD","X4").H(2,5,5).V(0,4,2).Out(0,6,"Y0");
  } else if (k == 4) { // X0 || (X1.(X2||X3))  lower branch holds group, padded
    d.C(0,3,"LD","X0").H(0,4,5).C(1,3,"LD","X1").C(1,4,"LD","X2").C(2,4,"LD","X3").V(1,4).V(1,5).H(1,5,5).V(0,6,1).Out(0,6,"Y0");
  } else if (k == 5) { // X5 . (X0 || (X1.(X2||X3)))
    d.C(0,3,"LD","X4").C(0,4,"LD","X0").H(0,5,6).C(1,4,"LD","X1").C(1,5,"LD","X2").C(2,5,"LD","X3").V(1,5).V(1,6).H(1,6,6).V(0,4,1).V(0,7,1).Out(0,7,"Y0");
  } else if (k == 6) { // X4 . ((X1.(X2||X3)) || X0) padded
    d.C(0,3,"LD","X4").C(0,4,"LD","X1").C(0,5,"LD","X2").H(0,6,6).C(1,5,"LD","X3").V(0,5).V(0,6).C(2,4,"LD","X0").H(2,5,6).V(0,4,2).V(0,7,2).Out(0,7,"Y0");
  } else if (k == 7) { // X4 . ((-(X2||X3)) || X0)
    d.C(0,3,"LD","X4").H(0,4,4).C(0,5,"LD","X2").H(0,6,6).C(1,5,"LD","X3").V(0,5).V(0,6).C(2,4,"LD","X0").H(2,5,6).V(0,4,2).V(0,7,2).Out(0,7,"Y0");
  } else if (k == 8) { // ((X2||X3).X1) || X0  group first in branch, at rail
    d.C(0,3,"LD","X2").C(1,3,"LD","X3").V(0,4).C(0,4,"LD","X1").C(2,3,"LD","X0").H(2,4,4).V(0,5,2).Out(0,5,"Y0");
  } else if (k == 9) { // X4.(((X2||X3).X1) || X0)
    d.C(0,3,"LD","X4").C(0,5,"LD","X2").C(1,5,"LD","X3").V(0,5).V(0,6).H(0,4,4).C(0,6,"LD","X1").C(2,4,"LD","X0").H(2,5,6).V(0,4,2).V(0,7,2).Out(0,7,"Y0");
  } else if (k == 10) { // X4 . (X0 || (-(X2||X3)))  lower branch bare line then group
    d.C(0,3,"LD","X4").C(0,4,"LD","X0").H(0,5,6).H(1,4,4).C(1,5,"LD","X2").C(2,5,"LD","X3").V(1,5).V(1,6).H(1,6,6).V(0,4,1).V(0,7,1).Out(0,7,"Y0");
  } else if (k == 11) { // X0 || (X1.(X2||X3)) shared right link
    d.C(0,3,"LD","X0").H(0,4,4).C(1,3,"LD","X1").C(1,4,"LD","X2").C(2,4,"LD","X3").V(1,4).V(0,5,2).Out(0,5,"Y0");
  } else if (k == 12) { // X4.(X0 || (X1.(X2||X3))) shared
    d.C(0,3,"LD","X4").C(0,4,"LD","X0").H(0,5,5).C(1,4,"LD","X1").C(1,5,"LD","X2").C(2,5,"LD","X3").V(1,5).V(0,6,2).V(0,4,1).Out(0,6,"Y0");
  } else if (k == 13) { // X4.(X0 || (X1.(X2||X3)) ) then out branches
    d.C(0,3,"LD","X4").C(0,4,"LD","X0").H(0,5,6).C(1,4,"LD","X1").C(1,5,"LD","X2").C(2,5,"LD","X3").V(1,5).V(1,6).H(1,6,6).V(0,4,1).V(0,7,1).Out(0,8,"Y0").C(1,8,"LD","X1").Out(1,9,"Y1").V(0,8);
  } else if (k == 14) { // X4 . ((X2||X3).X1 || X0)  group first in lower?  upper has group first
    d.C(0,3,"LD","X4").H(0,4,4).C(0,5,"LD","X2").C(1,5,"LD","X3").V(0,5).V(0,6).C(0,6,"LD","X1").C(2,4,"LD","X0").H(2,5,6).V(0,4,2).V(0,7,2).Out(0,7,"Y0");
  }
  Show(d, log);
}
}}
