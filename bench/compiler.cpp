// Compile time against diagram size: rungs of 8 to 28 columns, 10 to 2000 rungs, each with a
// parallel pair at the rail, a series chain and a branch point with two conditional outputs.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "compiler/ld_to_il.h"
#include "core/instruction_catalogue.h"
#include "ladder/ladder_grid.h"

namespace {

using namespace ferrolad;

std::string Op(const char* prefix, int n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

std::unique_ptr<TLadderGrid> MakeDiagram(int rungs, int cols) {
  auto g = std::make_unique<TLadderGrid>();
  while (g->ColCount > cols) g->DeleteColumn(FirstColumn + 1);
  while (g->ColCount < cols) g->AddColumn(TLadderGrid::TColumnMode::AtEnd);
  auto place = [&](int row, int col, const char* name, const std::string& op) {
    while (g->RowCount <= row + 1) g->AppendRow();
    g->CurRow = row;
    g->CurCol = col;
    g->PlaceElement(FindInstructionByName(name), op);
  };
  const int split = cols - 3;
  for (int k = 0; k < rungs; ++k) {
    const int a = 4 * k;
    place(a, 3, "LD", "X0");
    place(a + 1, 3, "LDI", Op("M", k % 1000));
    g->AddVerticalLine(a, 4);
    for (int c = 4; c < split; ++c) place(a, c, c % 2 ? "LDI" : "LD", Op("X", c % 8));
    place(a, split, "LD", "X1");
    place(a, split + 1, "OUT", Op("M", 1000 + k % 1000));
    place(a + 2, split, "LDP", "X2");
    place(a + 2, split + 1, "OUT", Op("M", 2000 + k % 1000));
    g->AddVerticalLine(a, split);
    g->AddVerticalLine(a + 1, split);
  }
  return g;
}

void BM_Compile(benchmark::State& state) {
  const int rungs = static_cast<int>(state.range(0));
  const int cols = static_cast<int>(state.range(1));
  const auto g = MakeDiagram(rungs, cols);
  size_t lines = 0;
  for (auto _ : state) {
    TCompileResult r = CompileLadder(*g);
    if (!r.Ok()) {
      state.SkipWithError(r.Message.c_str());
      break;
    }
    lines = r.Lines.size();
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations() * rungs);
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["per_rung"] = benchmark::Counter(
      static_cast<double>(rungs), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// With the trace on (written nowhere): every probe of the rows below a block is kept in the trace,
// so this shows the cost the untraced run avoids by stopping at the first row no link reaches.
void BM_CompileTraced(benchmark::State& state) {
  const int rungs = static_cast<int>(state.range(0));
  const auto g = MakeDiagram(rungs, 16);
  TCompileOptions o;
  o.AddCompilationInfoToLog = true;
  o.Sink = [](const std::string&) { return true; };
  for (auto _ : state) {
    TCompileResult r = CompileLadder(*g, o);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations() * rungs);
  state.counters["per_rung"] = benchmark::Counter(
      static_cast<double>(rungs), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Compile)
    ->ArgsProduct({{10, 100, 500, 2000}, {8, 16, 28}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileTraced)->Arg(10)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
