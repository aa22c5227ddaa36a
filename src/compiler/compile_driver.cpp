// The compilation run: rungs, the fixed order of block steps, labels, messages and the trace.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "compiler/ld_to_il.h"
#include "core/instruction_catalogue.h"
#include "ladder/motor_blocks.h"

namespace ferrolad {

TLDtoIL::TLDtoIL(const TLadderGrid& grid, int maxBlocksInFragment, TCompileLogSink log)
    : Grid(grid), maxBlocks_(maxBlocksInFragment), log_(std::move(log)) {}

void TLDtoIL::SetError(int code) {
  ErrorCode = code;
  if (code > 0) ErrorCell = Cur;
}

void TLDtoIL::Log(const std::string& message) {
  // A trace that cannot be written is dropped for the rest of the run.
  if (log_ && !log_(message)) log_ = nullptr;
}

TFragment& TLDtoIL::NewFragment(int row) {
  auto f = std::make_unique<TFragment>();
  f->Owner = this;
  f->StartCell = TCellPos{row, FirstColumn};
  f->EndCell = TCellPos{row, Grid.ColCount - 1};
  f->MaxBlocks = maxBlocks_;
  TFragment& ref = *f;
  Fragments.push_back(std::move(f));
  TBlock& placeholder = AppendBlock(ref, TCellPos{0, 0});
  placeholder.Finished = true;
  return ref;
}

void TLDtoIL::Compile() {
  Cur = TCellPos{0, FirstColumn};
  while (Cur.Row < Grid.RowCount) {
    Cur.Col = FirstColumn;
    if (Grid.HasHorizontalPath(Cur.Row, Cur.Col)) {
      TFragment& f = NewFragment(Cur.Row);
      if (!CompileFragment(f)) {
        Fragments.pop_back();
        if (ErrorCode == 0) SetError(7);
        break;
      }
      ++FragmentCount;
      Cur.Row = f.Last().EndCell.Row;
    }
    ++Cur.Row;
  }
  if (!Fragments.empty() && !Fragments.back()->Last().Elems.empty()) {
    LastInstruction = Fragments.back()->Last().Elems.back();
  }
}

bool TLDtoIL::CompileFragment(TFragment& f) {
  AppendBlock(f, Cur);
  for (;;) {
    // An error raised by a probe or merge stops the rung at once, so it is reported where it arose.
    if (ErrorCode != 0) return false;
    if (f.Finished) {
      Cur.Row = f.Last().EndCell.Row;
      return true;
    }
    const int n = static_cast<int>(f.Blocks.size()) - 1;
    if (n == 5) f.MaxBlocks = 1000;
    if (f.MaxBlocks > 0 && n > f.MaxBlocks) {
      SetError(13);
      return false;
    }
    if (IsBranchPoint(Cur.Row, Cur.Col) && AddMPS(f, Cur)) {
      if (Logging()) Log(MPSDump(*f.MPSList.back()));
    }
    if (ErrorCode != 0) return false;
    TBlock& b = f.Last();
    Assemble(b);
    if (ErrorCode != 0) return false;
    if (Logging()) Log(BlockDump(b));
    if (!b.Finished) {
      SetError(3);
      return false;
    }
    if (ORBlockAbove(f, b)) {
      if (Logging()) Log("step 1 - check ORBlockAbove");
      if (CombineOR(f, n)) {
        if (Logging()) Log(BlockDump(f.Last()));
        continue;
      }
      if (ErrorCode != 0) return false;
    }
    TCellPos lower;
    if (ORBlockBelow(f, b, lower)) {
      if (Logging()) Log("step 2 - check ORBlockBelow");
      Cur = lower;
      AppendBlock(f, Cur);
      if (Logging()) Log(BlockDump(f.Last()));
      continue;
    }
    const TCellPos ahead{b.StartCell.Row, b.EndCell.Col + 1};
    if (IsBareLineAhead(f, ahead.Row, ahead.Col)) {
      Cur = ahead;
      AppendBlock(f, Cur);
      continue;
    }
    if (ErrorCode != 0) return false;
    if (ANDBlockAtLeft(f, b)) {
      if (Logging()) Log("step 3 - check ANDBlockAtLeft");
      if (CombineAND(f, n)) {
        if (Logging()) Log(BlockDump(f.Last()));
        continue;
      }
      if (ErrorCode != 0) return false;
    }
    if (FindMRDCell(f, b.StartCell, true) && MakeMRDBlock(f, n)) {
      if (Logging()) Log(BlockDump(f.Last()));
      continue;
    }
    if (Grid.HasHorizontalPath(ahead.Row, ahead.Col) || Grid.IsOutputCell(ahead.Row, ahead.Col)) {
      Cur = ahead;
      AppendBlock(f, Cur);
      continue;
    }
    if (b.BlockType != btApply || !b.Finished) {
      SetError(7);
      return false;
    }
    b.Join = 0;  // a complete output branch, waiting to be combined
    int first = 0;
    int second = 0;
    if (TwoBranchesExist(f, first, second)) {
      if (Logging()) Log("step 7 - TwoBranchesExist - next step - CombineBranches");
      if (CombineBranches(f, first, second)) continue;
      SetError(7);
      return false;
    }
    if (ErrorCode != 0) return false;
    if (TMRDCell* m = GetNextMRDCell(f)) {
      if (Logging()) Log("step 8 - GetNextMRDCell");
      Cur = m->Cell;
      AppendBlock(f, Cur);
      continue;
    }
    if (Logging()) Log("step 9 - Assemble MPS");
    if (!AssembleMPS(f)) {
      if (ErrorCode == 0) SetError(12);
      return false;
    }
    f.EndCell = f.Last().EndCell;
    if (!StackUseHolds(f.Last().Elems)) {
      // Some nested shapes are merged out of order; better no list than one that means otherwise.
      Cur = f.StartCell;
      SetError(10);
      return false;
    }
    if (Logging()) Log("step 10 - AddMarkInstruction");
    if (!AddMarkInstruction(f)) {
      if (ErrorCode == 0) SetError(15);
      return false;
    }
    f.Finished = true;
  }
}

bool TLDtoIL::AddMarkInstruction(TFragment& f) {
  if (f.Blocks.size() < 2) {
    SetError(14);
    return false;
  }
  // Labels from the row after the previous rung down to this rung's last row.
  int fromRow = 0;
  if (Fragments.size() >= 2 && Fragments.back().get() == &f) {
    fromRow = Fragments[Fragments.size() - 2]->EndCell.Row + 1;
  }
  const TBlock& last = f.Last();
  std::vector<std::string> lines;
  for (int r = fromRow; r <= f.EndCell.Row && r < Grid.RowCount; ++r) {
    if (Grid.Contains(r, LabelColumn, ekLabel)) lines.push_back(Grid.Cell(r, LabelColumn).Value);
  }
  lines.insert(lines.end(), last.Elems.begin(), last.Elems.end());
  const TCellPos start = last.StartCell;
  const TCellPos end = last.EndCell;
  const TBlockType type = last.BlockType;
  const bool finished = last.Finished;
  TBlock& c = AppendBlock(f, start);
  c.BlockType = type;
  c.EndCell = end;
  c.Finished = finished;
  c.Join = 0;
  c.Elems = std::move(lines);
  if (Logging()) {
    Log("Add Mark Instructions");
    Log(BlockDump(c));
  }
  return true;
}

bool StackUseHolds(const std::vector<std::string>& lines) {
  int blocks = 0;    // results put aside by a load, waiting for ANB / ORB
  int branches = 0;  // MPS depth
  bool loaded = false;
  for (const auto& line : lines) {
    const std::string_view m = LineMnemonic(line);
    if (m.starts_with("LD") || m.starts_with("DLD")) {
      if (loaded) ++blocks;
      loaded = true;
    } else if (m == "ANB" || m == "ORB") {
      if (blocks-- == 0) return false;
    } else if (m == "MPS") {
      ++branches;
    } else if (m == "MRD") {
      if (branches == 0) return false;
    } else if (m == "MPP") {
      if (branches-- == 0) return false;
    } else if (IsOutputLine(line) && HasEntryCondition(m) && blocks != 0) {
      return false;  // an output would take only the last loaded chain
    }
  }
  return branches == 0;
}

// ---- Messages and the run as the window starts it ----------------------------------------------

std::string CompileErrorText(int code) {
  switch (code) {
    case 0: return "";
    case 1: return "Complilation failed - interrupted lines";
    case 3: return "Complilation failed - not finished block";
    case 4: return "Complilation failed - interrupted instruction";
    case 5: return "Complilation failed - incorrect position of INV command";
    case 7: return "Complilation failed - fragment error, fragment #";
    case 10: return "Complilation failed - incorrect parallel block";
    case 11: return "Complilation failed - incorrect cell content";
    case 12: return "Complilation failed - MPS error";
    case 13: return "Complilation failed - infinite cycle";
    case 14: return "Complilation failed - Incorrect Fragment";
    default: return "Compilation failed";
  }
}

std::string DebugLogFile(const std::string& logPath) {
  if (logPath.empty()) return "debug.log";
  return (std::filesystem::path(logPath) / "debug.log").string();
}

namespace {
bool AppendToFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) return false;
  out << text << "\r\n";
  out.close();
  return static_cast<bool>(out);
}
}  // namespace

TCompileResult CompileLadder(const TLadderGrid& grid, const TCompileOptions& options) {
  if (grid.EntryCondition) grid.EntryCondition->JoinValid = false;
  TCompileLogSink sink;
  if (options.AddCompilationInfoToLog) {
    if (options.Sink) {
      sink = options.Sink;
      if (!sink("Compilation start")) sink = nullptr;
    } else {
      // Started afresh for every run; a file that cannot be written turns the trace off.
      std::ofstream out(options.LogFile, std::ios::binary | std::ios::trunc);
      if (out) {
        out << "Compilation start\r\n";
        out.close();
        if (out) {
          const std::string path = options.LogFile;
          sink = [path](const std::string& text) { return AppendToFile(path, text); };
        }
      }
    }
  }
  TLDtoIL c(grid, options.MaxBlocksInFragment, std::move(sink));
  c.Compile();

  TCompileResult r;
  r.ErrorCode = c.ErrorCode;
  r.FragmentCount = c.FragmentCount;
  if (c.ErrorCode > 0) {
    r.ErrorCell = c.ErrorCell;
    r.Message = CompileErrorText(c.ErrorCode) + " - Fragment #" + std::to_string(c.FragmentCount + 1) +
                " row #" + std::to_string(c.ErrorCell.Row);
    return r;
  }
  if (c.Fragments.empty()) {
    r.Empty = true;
    r.Message = "Table is empty";
    return r;
  }
  r.Message = "Complilation successfull - " + std::to_string(c.FragmentCount) + " fragments";
  for (const auto& f : c.Fragments) {
    const auto& elems = f->Last().Elems;
    r.Lines.insert(r.Lines.end(), elems.begin(), elems.end());
  }
  if (c.LastInstruction != "END") r.Lines.emplace_back("END");
  return r;
}

}  // namespace ferrolad
