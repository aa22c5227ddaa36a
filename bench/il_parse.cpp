// Parsing and classifying a large instruction list, line by line, as numbering and upload do.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <initializer_list>
#include <string_view>
#include <string>
#include <vector>

#include "core/il_text.h"

using namespace ferrolad;

namespace {

constexpr size_t kProgramLines = 59754;

// Appends pieces; GCC 12 warns falsely (-Wrestrict) on some "literal" + string sums.
std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (auto p : parts) s.append(p);
  return s;
}

// An operand text valid for the slot type, with some variety (index registers, signs, constants).
std::string Sample(const TOperand& t, size_t n) {
  const std::string letter(1, LetterFromType(t.OpType));
  switch (t.OpType) {
    case OpTypeEmpty: return std::to_string(n % 32);
    case OpTypeK:
      return n % 3 == 0 ? Cat({"K-", std::to_string(n % 30000)})
                        : Cat({"K", std::to_string(n), n % 5 ? "" : "@A1"});
    case OpTypeH: return n % 2 ? "H1F" : "HFFFF0000";
    case OpTypeF: return n % 2 ? "F1.5" : "F-1234.0625";
    case OpTypeX:
    case OpTypeY: return Cat({letter, std::to_string(n % 8), n % 7 ? "" : "A2"});
    case OpTypeD: return Cat({"D", std::to_string(n % 392), n % 4 ? "" : "B3"});
    case OpTypeP: return Cat({"P", std::to_string(n % 32)});
    default: return Cat({letter, std::to_string(n % 8)});
  }
}

// Every mnemonic in turn, canonical tabs mostly, blanks and trailing comments now and then.
std::vector<std::string> MakeProgram() {
  std::vector<const TInstructions*> entries;
  for (const auto& e : InstructionCatalogue()) {
    if (e.Code != 0) entries.push_back(&e);
  }
  std::vector<std::string> lines;
  lines.reserve(kProgramLines);
  for (size_t i = 0; i < kProgramLines; ++i) {
    const TInstructions& e = *entries[i % entries.size()];
    std::string line = e.Name;
    const std::string sep = i % 5 == 0 ? "  " : "\t";
    for (int k = 0; k < OperandCount(e); ++k) {
      const auto& types = e.Operands[static_cast<size_t>(k)].Types;
      line.append(sep).append(Sample(types[i % types.size()], i));
    }
    if (i % 10 == 0) line += "\t// note";
    lines.push_back(std::move(line));
  }
  return lines;
}

const std::vector<std::string>& Program() {
  static const std::vector<std::string> program = MakeProgram();
  return program;
}

// Thread CPU time: the figure stays meaningful on a machine busy with other work.
double CpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

template <typename Fn>
void RunOverProgram(benchmark::State& state, Fn fn) {
  const auto& program = Program();
  size_t bad = 0;
  double ns = 0;
  double wall = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuNs();
    for (const auto& line : program) bad += fn(line) != 0;
    ns += CpuNs() - cpu;
    wall += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  }
  if (bad != 0) state.SkipWithError("generated program has wrong lines");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * program.size()));
  state.counters["ns_per_line"] = ns / static_cast<double>(state.iterations() * program.size());
  state.counters["wall_ns_per_line"] = wall / static_cast<double>(state.iterations() * program.size());
  state.counters["lines"] = static_cast<double>(program.size());
}

void BM_ClassifyLine(benchmark::State& state) {
  RunOverProgram(state, [](const std::string& line) {
    const TLineClass c = ClassifyLine(line);
    return c.Kind == TLineKind::Instruction ? 0 : 1;
  });
}
BENCHMARK(BM_ClassifyLine)->Unit(benchmark::kMillisecond);

void BM_ParseLineToRecord(benchmark::State& state) {
  TInstructionRecord record;
  RunOverProgram(state, [&record](const std::string& line) {
    const int code = ParseLine(std::string_view(line).substr(0, line.find("//")), record);
    benchmark::DoNotOptimize(record);
    return code;
  });
}
BENCHMARK(BM_ParseLineToRecord)->Unit(benchmark::kMillisecond);

void BM_NumberWholeProgram(benchmark::State& state) {
  const auto& program = Program();
  double ns = 0;
  for (auto _ : state) {
    TLineNumbering numbering;
    const double cpu = CpuNs();
    UpdateLineNumbers(program, numbering, 0, true);
    ns += CpuNs() - cpu;
    benchmark::DoNotOptimize(numbering.Nums.data());
  }
  state.counters["ns_per_line"] = ns / static_cast<double>(state.iterations() * program.size());
}
BENCHMARK(BM_NumberWholeProgram)->Unit(benchmark::kMillisecond);

}  // namespace
