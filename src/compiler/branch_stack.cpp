// Output branches: branch points, branch markers and their reduction to MPS / MRD / MPP.
#include <algorithm>
#include <cctype>
#include <map>
#include <unordered_set>

#include "compiler/ld_to_il.h"

namespace ferrolad {

namespace {
// Branch points are numbered in one byte.
constexpr size_t kMaxBranchPoints = 255;
// The controller's branch stack: groups still carrying markers after reduction.
constexpr size_t kMaxStackGroups = 8;

std::string Marker(int group, int branch) { return "MRDs" + std::to_string(group) + "r" + std::to_string(branch); }

bool ParseNumber(std::string_view s, int& value) {
  if (s.empty() || s.size() > 9) return false;
  value = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return false;
    value = value * 10 + (ch - '0');
  }
  return true;
}
}  // namespace

bool ParseMRDMarker(std::string_view line, int& group, int& branch) {
  std::string s;
  for (size_t i = 0; i < line.size();) {
    if (i + 6 <= line.size()) {
      bool active = true;
      for (size_t k = 0; k < 6 && active; ++k) {
        active = std::tolower(static_cast<unsigned char>(line[i + k])) == "active"[k];
      }
      if (active) {
        i += 6;
        continue;
      }
    }
    s += line[i++];
  }
  if (s.size() <= 6 || s.compare(0, 3, "MRD") != 0) return false;
  const size_t sPos = s.find('s');
  const size_t rPos = s.find('r');
  if (sPos != 3 || rPos == std::string::npos || rPos <= 4) return false;
  return ParseNumber(std::string_view(s).substr(4, rPos - 4), group) &&
         ParseNumber(std::string_view(s).substr(rPos + 1), branch);
}

bool TLDtoIL::IsBranchPoint(int row, int col) const {
  return col > FirstColumn && Grid.HasLineDown(row, col) && Grid.HasHorizontalPath(row, col) &&
         Grid.HasHorizontalPath(row, col - 1) && !Grid.HasLineUp(row, col);
}

bool TLDtoIL::IsBranchExit(int row, int col) const {
  return Grid.Contains(row, col, ekVLine2) && Grid.HasHorizontalPath(row, col);
}

bool TLDtoIL::AddMPS(TFragment& f, TCellPos cell) {
  if (!f.MPSList.empty() && f.MPSList.back()->Cell == cell) return false;
  if (f.MPSList.size() >= kMaxBranchPoints) {
    SetError(12);
    return false;
  }
  auto m = std::make_unique<TMPS>();
  m->Fragment = &f;
  m->Cell = cell;
  m->Index = static_cast<int>(f.MPSList.size());
  if (!FindBranches(*m)) return false;
  f.MPSList.push_back(std::move(m));
  return true;
}

bool TLDtoIL::FindBranches(TMPS& mps) {
  auto add = [&](TCellPos cell) {
    TMRDCell b;
    b.Fragment = mps.Fragment;
    b.BranchPoint = &mps;
    b.Cell = cell;
    b.Index = static_cast<int>(mps.MRDCells.size());
    mps.MRDCells.push_back(b);
  };
  add(mps.Cell);
  const int col = mps.Cell.Col;
  for (int i = mps.Cell.Row + 1; i <= Grid.RowCount - 1; ++i) {
    if (IsBranchExit(i, col)) {
      add(TCellPos{i, col});
      mps.EndCell = TCellPos{i, col};
    }
    if (!(Grid.Contains(i, col, ekVLine1) && Grid.Contains(i, col, ekVLine2))) break;
  }
  return mps.MRDCells.size() > 1;
}

TMPS* TLDtoIL::FindMPSAt(TFragment& f, TCellPos cell) {
  for (auto& m : f.MPSList) {
    if (m->Cell == cell) return m.get();
  }
  return nullptr;
}

TMRDCell* TLDtoIL::FindMRDCell(TFragment& f, TCellPos cell, bool openOnly) {
  for (auto& m : f.MPSList) {
    for (auto& b : m->MRDCells) {
      if (b.Cell == cell && (!openOnly || b.Open)) return &b;
    }
  }
  return nullptr;
}

int TLDtoIL::HighestRowReached(TCellPos cell) const {
  // Nodes are the left edges of cells; the links on the branch column itself are left out, so
  // only a path further right can lead back up. The walk stays inside one rung, so its cost is
  // kept to the part it reaches, not the grid.
  const int rows = Grid.RowCount;
  const int cols = Grid.ColCount + 1;
  std::unordered_set<long long> seen;
  std::vector<TCellPos> todo;
  auto visit = [&](int r, int c) {
    if (r < 0 || r >= rows || c <= cell.Col || c >= cols) return;
    if (seen.insert(static_cast<long long>(r) * cols + c).second) todo.push_back(TCellPos{r, c});
  };
  int top = cell.Row;
  if (Grid.HasHorizontalPath(cell.Row, cell.Col)) visit(cell.Row, cell.Col + 1);
  while (!todo.empty()) {
    const TCellPos p = todo.back();
    todo.pop_back();
    top = std::min(top, p.Row);
    if (p.Col < Grid.ColCount && Grid.HasHorizontalPath(p.Row, p.Col)) visit(p.Row, p.Col + 1);
    if (Grid.HasHorizontalPath(p.Row, p.Col - 1)) visit(p.Row, p.Col - 1);
    if (p.Col < Grid.ColCount) {
      if (Grid.HasLineDown(p.Row, p.Col) && Grid.HasLineUp(p.Row + 1, p.Col)) visit(p.Row + 1, p.Col);
      if (Grid.HasLineUp(p.Row, p.Col) && Grid.HasLineDown(p.Row - 1, p.Col)) visit(p.Row - 1, p.Col);
    }
  }
  return top;
}

bool TLDtoIL::MakeMRDBlock(TFragment& f, int n) {
  if (n < 0 || n >= static_cast<int>(f.Blocks.size())) return false;
  TBlock& b = *f.Blocks[static_cast<size_t>(n)];
  if (!b.Finished) return false;
  TMRDCell* m = FindMRDCell(f, b.StartCell, true);
  if (!m) return false;
  // A lower row that joins the rows above it again further right is a branch of a parallel group,
  // not an output branch: it starts a chain of its own (load form) that the group's OR merge takes.
  if (m->Index > 0 && HighestRowReached(m->Cell) < m->Cell.Row) {
    m->Open = false;
    m->Completed = true;
    m->ChainStart = true;
    if (Logging()) Log(BranchLine(*m));
    return false;
  }
  // A lower row of the same point that joins this block's rows further right makes the block only
  // the first part of a larger group; the branch is wrapped once that group is whole.
  for (const TMRDCell& other : m->BranchPoint->MRDCells) {
    if (other.Cell.Row > b.EndCell.Row && HighestRowReached(other.Cell) <= b.EndCell.Row) {
      m->Grouped = true;
      m->ChainStart = true;
      return false;
    }
  }
  const int k = static_cast<int>(f.Blocks.size());
  TBlock& c = AppendBlock(f, b.StartCell);
  c.EndCell = b.EndCell;
  c.Elems.emplace_back();
  c.Elems.insert(c.Elems.end(), b.Elems.begin(), b.Elems.end());
  if (c.Elems.size() > 1) {
    if (b.SingleRow()) {
      c.Elems[1] = AndForm(c.Elems[1]);
    } else {
      c.Elems.push_back("ANB");
    }
  }
  c.BlockType = btMRD;
  c.Finished = true;
  b.Join = k;
  m->Open = false;
  m->Completed = true;
  if (Logging()) Log(BranchLine(*m));
  c.Elems.front() = Marker(m->BranchPoint->Index, m->Index);
  return true;
}

bool TLDtoIL::TwoBranchesExist(TFragment& f, int& a, int& b) {
  if (f.Blocks.size() < 3) return false;
  int count = 0;
  for (size_t i = 1; i < f.Blocks.size(); ++i) {
    if (f.Blocks[i]->Join != 0) continue;
    if (count == 0) a = static_cast<int>(i);
    if (count == 1) b = static_cast<int>(i);
    ++count;
  }
  if (count >= 3) {
    SetError(7);
    return false;
  }
  return count == 2;
}

bool TLDtoIL::CombineBranches(TFragment& f, int a, int b) {
  const int size = static_cast<int>(f.Blocks.size());
  if (b < a || b >= size || a < 0) return false;
  TBlock& ba = *f.Blocks[static_cast<size_t>(a)];
  TBlock& bb = *f.Blocks[static_cast<size_t>(b)];
  const int k = size;
  TBlock& c = AppendBlock(f, TCellPos{std::min(ba.StartCell.Row, bb.StartCell.Row),
                                      std::min(ba.StartCell.Col, bb.StartCell.Col)});
  c.EndCell = TCellPos{std::max(ba.EndCell.Row, bb.EndCell.Row), std::max(ba.EndCell.Col, bb.EndCell.Col)};
  c.Elems = ba.Elems;
  c.Elems.insert(c.Elems.end(), bb.Elems.begin(), bb.Elems.end());
  c.Join = 0;
  ba.Join = k;
  bb.Join = k;
  c.BlockType = btApply;
  c.Finished = true;
  return true;
}

TMRDCell* TLDtoIL::GetNextMRDCell(TFragment& f) {
  for (auto it = f.MPSList.rbegin(); it != f.MPSList.rend(); ++it) {
    for (auto& b : (*it)->MRDCells) {
      if (!b.Completed) return &b;
    }
  }
  return nullptr;
}

// ---- Reduction passes --------------------------------------------------------------------------

bool TLDtoIL::DeleteSingleMRD(TFragment& f, const TBlock& p, std::vector<std::string>& out) {
  std::vector<TReductMPSStruct> table(f.MPSList.size());
  out = p.Elems;
  std::vector<std::pair<size_t, std::pair<int, int>>> markerLines;
  for (size_t i = 0; i < out.size(); ++i) {
    if (!IsMRDMarker(out[i])) continue;
    int g = 0;
    int b = 0;
    if (!ParseMRDMarker(out[i], g, b) || g >= static_cast<int>(f.MPSList.size()) ||
        b >= static_cast<int>(f.MPSList[static_cast<size_t>(g)]->MRDCells.size())) {
      SetError(12);
      return false;
    }
    auto& group = table[static_cast<size_t>(g)];
    if (group.Branches.size() <= static_cast<size_t>(b)) group.Branches.resize(static_cast<size_t>(b) + 1);
    TReductMPS& r = group.Branches[static_cast<size_t>(b)];
    r.GroupIndex = g;
    r.BranchIndex = b;
    r.Marker = out[i];
    r.NewMarker = f.MPSList[static_cast<size_t>(g)]->MRDCells[static_cast<size_t>(b)].Active ? out[i] + "active"
                                                                                              : out[i];
    markerLines.push_back({i, {g, b}});
  }
  for (auto& group : table) {
    int active = 0;
    for (auto& r : group.Branches) {
      if (r.Marker.empty()) continue;
      if (r.NewMarker.find("active") == std::string::npos) {
        r.NewMarker = "_DEL";
      } else {
        ++active;
      }
    }
    group.Keep = active > 1;
    if (!group.Keep) {
      for (auto& r : group.Branches) {
        if (!r.Marker.empty()) r.NewMarker = "_DEL";
      }
    }
  }
  for (const auto& [line, gb] : markerLines) {
    out[line] = table[static_cast<size_t>(gb.first)].Branches[static_cast<size_t>(gb.second)].NewMarker;
  }
  std::erase(out, std::string("_DEL"));
  return true;
}

bool TLDtoIL::ReduceEmptyMRD(const TBlock& p, std::vector<std::string>& out) {
  if (p.Elems.empty() || (p.Elems.size() == 1 && HasEntryCondition(LineMnemonic(p.Elems.front())))) {
    SetError(14);
    return false;
  }
  out = p.Elems;
  std::vector<TReductMPS> recs;
  for (size_t i = 0; i < out.size(); ++i) {
    if (!IsMRDMarker(out[i])) continue;
    TReductMPS r;
    if (!ParseMRDMarker(out[i], r.GroupIndex, r.BranchIndex)) {
      SetError(12);
      return false;
    }
    r.Marker = r.NewMarker = out[i];
    r.NewGroupIndex = r.GroupIndex;
    r.NewBranchIndex = r.BranchIndex;
    r.Line = i;
    recs.push_back(r);
  }
  // A branch that opens directly into a nested branch point: fold the inner point into the outer
  // one and renumber both groups' branches in line order. Each pass removes one marker.
  for (bool found = true; found;) {
    found = false;
    for (size_t i = out.size() - 1; i >= 1 && !found; --i) {
      if (!IsMRDMarker(out[i]) || !IsMRDMarker(out[i - 1])) continue;
      int g1 = 0;
      int b1 = 0;
      int g2 = 0;
      int b2 = 0;
      if (!ParseMRDMarker(out[i], g1, b1) || !ParseMRDMarker(out[i - 1], g2, b2)) {
        SetError(12);
        return false;
      }
      found = true;
      out[i] = "_DEL";
      int counter = 0;
      for (auto& r : recs) {
        if (r.NewGroupIndex == g1 && r.NewBranchIndex == b1) {
          r.Marker = r.NewMarker = "_DEL";
          r.NewGroupIndex = r.NewBranchIndex = -1;
        } else if (r.NewGroupIndex == g1 || r.NewGroupIndex == g2) {
          r.NewGroupIndex = g2;
          r.NewBranchIndex = counter;
          r.NewMarker = Marker(g2, counter);
          // Renamed by position: a new name may equal another record's old one.
          out[r.Line] = r.NewMarker;
          r.Marker = r.NewMarker;
          ++counter;
        }
      }
    }
  }
  std::erase(out, std::string("_DEL"));
  return true;
}

bool TLDtoIL::DeleteNeedlessMRD(const TBlock& p, std::vector<std::string>& out) {
  std::map<int, TReductMPSStruct> table;
  std::vector<std::pair<size_t, std::pair<int, int>>> markerLines;
  TReductMPS* recent = nullptr;
  for (size_t i = 0; i < p.Elems.size(); ++i) {
    const std::string& line = p.Elems[i];
    if (IsMRDMarker(line)) {
      int g = 0;
      int b = 0;
      if (!ParseMRDMarker(line, g, b) || i + 1 == p.Elems.size()) {
        SetError(12);
        return false;
      }
      auto& group = table[g];
      if (group.Branches.size() <= static_cast<size_t>(b)) group.Branches.resize(static_cast<size_t>(b) + 1);
      recent = &group.Branches[static_cast<size_t>(b)];
      recent->GroupIndex = g;
      recent->BranchIndex = b;
      recent->Marker = recent->NewMarker = line;
      recent->OutputsOnly = true;
      markerLines.push_back({i, {g, b}});
      // `recent` is only used until the next marker, the only place a slot vector grows.
    } else if (!IsOutputLine(line) && recent) {
      recent->OutputsOnly = false;
    }
  }
  for (auto& [g, group] : table) {
    if (group.Branches.size() == 1) {
      SetError(12);
      return false;
    }
  }
  for (const auto& [line, gb] : markerLines) {
    auto& br = table[gb.first].Branches;
    const size_t j = static_cast<size_t>(gb.second);
    TReductMPS& r = br[j];
    if (j == 0 && br[0].OutputsOnly) r.NewMarker = "_DEL";
    if (j > 0 && br[j - 1].OutputsOnly && br[j].OutputsOnly) r.NewMarker = "_DEL";
    if (j > 0 && j == br.size() - 1 && br[j - 1].OutputsOnly) r.NewMarker = "_DEL";
  }
  for (auto& [g, group] : table) {
    int kept = 0;
    for (auto& r : group.Branches) {
      if (r.NewMarker.find("MRD") != std::string::npos) ++kept;
    }
    if (kept < 2) {
      for (auto& r : group.Branches) {
        if (!r.Marker.empty()) r.NewMarker = "_DEL";
      }
    }
  }
  out.clear();
  size_t next = 0;
  for (size_t i = 0; i < p.Elems.size(); ++i) {
    if (next < markerLines.size() && markerLines[next].first == i) {
      const auto& gb = markerLines[next++].second;
      if (table[gb.first].Branches[static_cast<size_t>(gb.second)].NewMarker == "_DEL") continue;
    }
    out.push_back(p.Elems[i]);
  }
  return true;
}

bool TLDtoIL::RenameMRD(const TBlock& p, std::vector<std::string>& out) {
  std::map<int, TReductMPSStruct> table;
  std::vector<std::pair<size_t, std::pair<int, int>>> markerLines;
  out = p.Elems;
  for (size_t i = 0; i < out.size(); ++i) {
    if (!IsMRDMarker(out[i])) continue;
    int g = 0;
    int b = 0;
    if (!ParseMRDMarker(out[i], g, b)) {
      SetError(12);
      return false;
    }
    auto& group = table[g];
    if (group.Branches.size() <= static_cast<size_t>(b)) group.Branches.resize(static_cast<size_t>(b) + 1);
    group.Branches[static_cast<size_t>(b)].Marker = out[i];
    markerLines.push_back({i, {g, b}});
  }
  if (table.size() > kMaxStackGroups) {
    SetError(12);
    return false;
  }
  for (auto& [g, group] : table) {
    if (group.Branches.size() < 2) {
      SetError(12);
      return false;
    }
    TReductMPS* lastPop = nullptr;
    bool first = true;
    for (auto& r : group.Branches) {
      if (r.Marker.empty()) continue;
      if (first) {
        r.NewMarker = "MPS";
        first = false;
      } else {
        if (lastPop) lastPop->NewMarker = "MRD";
        r.NewMarker = "MPP";
        lastPop = &r;
      }
    }
  }
  for (const auto& [line, gb] : markerLines) {
    out[line] = table[gb.first].Branches[static_cast<size_t>(gb.second)].NewMarker;
  }
  return true;
}

bool TLDtoIL::AssembleMPS(TFragment& f) {
  struct Pass {
    const char* name;
    int which;
  };
  static constexpr Pass kPasses[] = {
      {"Delete single MRD", 1}, {"Reduce Empty MRD", 2}, {"Delete NeedLess MRD", 3}, {"Rename MRD", 4}};
  for (const Pass& pass : kPasses) {
    const TBlock& p = f.Last();
    std::vector<std::string> lines;
    bool ok = false;
    switch (pass.which) {
      case 1: ok = DeleteSingleMRD(f, p, lines); break;
      case 2: ok = ReduceEmptyMRD(p, lines); break;
      case 3: ok = DeleteNeedlessMRD(p, lines); break;
      default: ok = RenameMRD(p, lines); break;
    }
    if (!ok) return false;
    const TBlock& prev = f.Last();
    TBlock& n = AppendBlock(f, prev.StartCell);
    const TBlock& from = *f.Blocks[f.Blocks.size() - 2];
    n.BlockType = from.BlockType;
    n.EndCell = from.EndCell;
    n.Finished = from.Finished;
    n.Join = 0;
    n.Elems = std::move(lines);
    if (Logging()) {
      Log(pass.name);
      Log(BlockDump(n));
    }
  }
  return true;
}

}  // namespace ferrolad
