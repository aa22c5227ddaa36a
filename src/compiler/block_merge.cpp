// Series and parallel neighbours: the geometric tests, their path walks, and the two merges.
#include <algorithm>

#include "compiler/ld_to_il.h"

namespace ferrolad {

namespace {
constexpr uint8_t kLinkFlags = cfLinkDown | cfLinkUp;

bool BareLine(const TLadderGrid& g, int row, int col) {
  return g.HasHorizontalPath(row, col) && g.HasNoElement(row, col);
}

// The nearest unjoined real block below index (the placeholder never counts).
TBlock* PartnerBelow(TFragment& f, int index) {
  for (int i = index - 1; i >= 1; --i) {
    if (f.Blocks[static_cast<size_t>(i)]->Join < 0) return f.Blocks[static_cast<size_t>(i)].get();
  }
  return nullptr;
}
}  // namespace

bool TLDtoIL::LeftPathConnects(const TBlock& a, const TBlock& b) const {
  if (b.StartCell.Row < a.EndCell.Row || b.StartCell.Col < a.StartCell.Col) return false;
  TCellPos p = b.StartCell;
  bool reached = false;
  while (p.Row >= a.StartCell.Row + 1 && p.Col >= a.StartCell.Col) {
    if (Grid.HasLineUp(p.Row, p.Col)) {
      if (!Grid.HasLineDown(p.Row - 1, p.Col)) return false;
      if (p.Row == a.StartCell.Row + 1) reached = true;
      --p.Row;
    } else {
      if (!BareLine(Grid, p.Row, p.Col - 1)) return false;
      for (int r = p.Row + 1; r <= b.EndCell.Row; ++r) {
        if (Grid.CellFlags(r, p.Col) & ~kLinkFlags) return false;
      }
      --p.Col;
      if (p.Col < a.StartCell.Col) return false;
    }
  }
  return reached;
}

bool TLDtoIL::RightPathConnects(const TBlock& a, const TBlock& b) const {
  if (b.StartCell.Row < a.EndCell.Row || b.EndCell.Col > a.EndCell.Col) return false;
  TCellPos p{b.StartCell.Row, b.EndCell.Col};
  bool reached = false;
  while (p.Row >= a.StartCell.Row + 1 && p.Col <= a.EndCell.Col) {
    if (Grid.HasLineUp(p.Row, p.Col + 1)) {
      if (!Grid.HasLineDown(p.Row - 1, p.Col + 1)) return false;
      if (p.Row == a.StartCell.Row + 1) reached = true;
      --p.Row;
    } else {
      if (!BareLine(Grid, p.Row, p.Col + 1)) return false;
      for (int r = p.Row + 1; r <= b.EndCell.Row; ++r) {
        if (Grid.CellFlags(r, p.Col) & ~kLinkFlags) return false;
      }
      ++p.Col;
      if (p.Col > a.EndCell.Col) return false;
    }
  }
  return reached;
}

namespace {
bool ParallelGeometry(const TLDtoIL& c, const TBlock& a, const TBlock& b) {
  return a.EndCell.Row <= b.StartCell.Row && b.StartCell.Col >= a.StartCell.Col &&
         b.EndCell.Col <= a.EndCell.Col && c.LeftPathConnects(a, b) && c.RightPathConnects(a, b);
}
}  // namespace

bool TLDtoIL::ORBlockAbove(TFragment& f, const TBlock& b) {
  if (b.StartCell.Row <= 0 || b.EndCell.Col >= Grid.ColCount - 1 || b.StartCell.Col < FirstColumn ||
      !b.Finished || b.BlockType == btMRD) {
    return false;
  }
  TBlock* a = NearestUnjoinedBlock(f, b.Index);
  if (!a || a->Index <= 0) return false;
  return ParallelGeometry(*this, *a, b);
}

bool TLDtoIL::CombineOR(TFragment& f, int n) {
  if (n < 0 || n >= static_cast<int>(f.Blocks.size())) return false;
  TBlock& b = *f.Blocks[static_cast<size_t>(n)];
  if (b.EndCell.Col >= Grid.ColCount - 1) return false;
  if (b.BlockType == btUNDEF || b.Elems.empty()) {
    SetError(10);
    return false;
  }
  TBlock* pa = PartnerBelow(f, n);
  if (!pa) return false;
  TBlock& a = *pa;
  if (a.BlockType == btUNDEF || a.Elems.empty()) {
    SetError(10);
    return false;
  }
  if (!ParallelGeometry(*this, a, b)) return false;
  if (a.Elems.front() == "INV" || b.Elems.front() == "INV") {
    SetError(10);
    return false;
  }
  const int k = static_cast<int>(f.Blocks.size());
  TBlock& c = AppendBlock(f, a.StartCell);
  c.EndCell = b.EndCell;
  c.Elems = a.Elems;
  if (b.BlockType == btLD || b.BlockType == btOR) {
    c.Elems.push_back(OrForm(b.Elems.front()));
    c.Elems.insert(c.Elems.end(), b.Elems.begin() + 1, b.Elems.end());
    c.BlockType = btOR;
  } else {
    c.Elems.insert(c.Elems.end(), b.Elems.begin(), b.Elems.end());
    c.Elems.push_back("ORB");
    c.BlockType = btORB;
  }
  c.Finished = true;
  if (Logging()) Log(BlockDump(c));
  a.Join = k;
  b.Join = k;
  if (c.StartCell.Col > FirstColumn) {
    TMRDCell* m = FindMRDCell(f, b.StartCell);
    if (!m) return false;
    m->Open = false;
    m->Completed = true;
    if (Logging()) Log(BranchLine(*m));
  }
  return true;
}

bool TLDtoIL::RowLinkedAbove(int row, int from, int to) const {
  for (int c = from; c <= to; ++c) {
    if (Grid.HasLineUp(row, c) && Grid.HasLineDown(row - 1, c)) return true;
  }
  return false;
}

bool TLDtoIL::ORBlockBelow(TFragment& f, const TBlock& a, TCellPos& lower) {
  if (a.EndCell.Row >= Grid.RowCount - 1 || a.EndCell.Col >= Grid.ColCount - 1 || a.StartCell.Col < FirstColumn) {
    return false;
  }
  for (int r = a.EndCell.Row + 1; r <= Grid.RowCount - 1; ++r) {
    // The right-hand walk must climb into every row between, through a link right of A's start
    // column. Without one here no lower row can connect, so the rest of the grid (the following
    // rungs) need not be probed. The trace keeps the full probe list.
    if (!Logging() && !RowLinkedAbove(r, a.StartCell.Col + 1, a.EndCell.Col + 1)) return false;
    int first = -1;
    int last = -1;
    for (int c = a.StartCell.Col; c <= a.EndCell.Col; ++c) {
      if (Grid.HasHorizontalPath(r, c)) {
        if (first < 0) first = c;
        last = c;
      }
    }
    if (first < 0) continue;
    for (int c = first; c <= last; ++c) {
      if (!Grid.HasHorizontalPath(r, c)) return false;
    }
    TBlock t(&f, 20000, TCellPos{r, first});
    t.EndCell = TCellPos{r, last};
    if (LeftPathConnects(a, t) && RightPathConnects(a, t)) {
      lower = TCellPos{r, first};
      return true;
    }
  }
  return false;
}

bool TLDtoIL::IsBareLineAhead(TFragment& f, int row, int col) {
  if (!Grid.HasHorizontalPath(row, col)) return false;
  Cur = TCellPos{row, col};
  if (IsBranchPoint(row, col) && AddMPS(f, Cur)) {
    if (Logging()) Log(MPSDump(*f.MPSList.back()));
    return false;
  }
  if (FindMPSAt(f, Cur)) return false;
  TBlock t(&f, 10000, Cur);
  const bool ok = Assemble(t) && t.Finished && t.BlockType == btUNDEF;
  Cur = TCellPos{row, col};
  return ok;
}

bool TLDtoIL::ANDBlockAtLeft(TFragment& f, const TBlock& b) {
  if (b.StartCell.Col <= FirstColumn || !b.Finished) return false;
  if (FindMRDCell(f, b.StartCell, true)) return false;
  TBlock* a = NearestUnjoinedBlock(f, b.Index);
  if (!a || a->Index <= 0) return false;
  // A wrapped branch may follow a row that only starts a larger group; an output may not.
  if (const TMRDCell* m = FindMRDCell(f, a->StartCell, true);
      m && (b.BlockType == btApply || (b.BlockType == btMRD && !m->Grouped))) {
    return false;
  }
  return a->EndCell.Col == b.StartCell.Col - 1 && a->StartCell.Row == b.StartCell.Row;
}

bool TLDtoIL::CombineAND(TFragment& f, int n) {
  if (n < 0 || n >= static_cast<int>(f.Blocks.size())) return false;
  TBlock& b = *f.Blocks[static_cast<size_t>(n)];
  if (FindMRDCell(f, b.StartCell, true)) return false;
  TBlock* pa = PartnerBelow(f, n);
  if (!pa) return false;
  TBlock& a = *pa;
  if (b.BlockType == btApply) {
    if (FindMRDCell(f, a.StartCell, true)) return false;
    // Every branch on the line leading into this output has reached an output.
    for (int c = b.StartCell.Col - 1; c >= FirstColumn && Grid.HasHorizontalPath(b.StartCell.Row, c); --c) {
      if (TMRDCell* m = FindMRDCell(f, TCellPos{b.StartCell.Row, c})) {
        m->Active = true;
        m->Completed = true;
        if (Logging()) Log(BranchLine(*m));
      }
    }
  }
  auto rowsClear = [&](int fromRow, int toRow, int fromCol, int toCol) {
    for (int r = fromRow; r <= toRow; ++r) {
      for (int c = fromCol; c <= toCol; ++c) {
        if (Grid.CellFlags(r, c) & (cfHLine | cfElement)) return false;
      }
    }
    return true;
  };
  if (a.EndCell.Row < b.EndCell.Row &&
      !rowsClear(a.EndCell.Row + 1, b.EndCell.Row, a.StartCell.Col, a.EndCell.Col)) {
    SetError(11);
    return false;
  }
  if (b.EndCell.Row < a.EndCell.Row && b.BlockType == btUNDEF &&
      !rowsClear(b.EndCell.Row + 1, a.EndCell.Row, b.StartCell.Col, b.EndCell.Col)) {
    SetError(11);
    return false;
  }
  const int k = static_cast<int>(f.Blocks.size());
  TBlock& c = AppendBlock(f, a.StartCell);
  c.EndCell = TCellPos{std::max(a.EndCell.Row, b.EndCell.Row), b.EndCell.Col};
  c.Elems = a.Elems;
  c.Elems.insert(c.Elems.end(), b.Elems.begin(), b.Elems.end());
  if (!b.Elems.empty() && b.SingleRow()) c.Elems[a.Elems.size()] = AndForm(c.Elems[a.Elems.size()]);
  // A group wrapped at a branch point ends in the ANB that joins it to what stands left of the
  // point. When only bare line leads there from the rail, or from the start of a row of a parallel
  // group (whose chain starts afresh), nothing does, and that ANB would pop a result that was
  // never loaded.
  bool unwrapped = false;
  const TMRDCell* rowStart = FindMRDCell(f, a.StartCell);
  const bool freshChain = a.StartCell.Col == FirstColumn || (rowStart && rowStart->ChainStart);
  if (a.BlockType == btUNDEF && a.Elems.empty() && freshChain && b.BlockType == btMRD && !b.SingleRow() &&
      c.Elems.size() > 2 && c.Elems.back() == "ANB") {
    c.Elems.pop_back();
    // The chain is no wrapped branch any more: a group's OR merge may have to take it.
    unwrapped = true;
  }
  c.Finished = true;
  if (b.BlockType == btApply) {
    c.BlockType = btApply;
    return true;
  }
  const bool noANB = a.BlockType == btUNDEF || b.BlockType == btUNDEF || b.SingleRow() ||
                     (a.Elems.size() == 1 && a.BlockType == btMRD) || b.BlockType == btMRD;
  if (!noANB) c.Elems.push_back("ANB");
  if (a.BlockType != btUNDEF && b.BlockType != btUNDEF) {
    c.BlockType = btAND;
  } else {
    c.BlockType = a.BlockType != btUNDEF ? a.BlockType : b.BlockType;
  }
  if (unwrapped) c.BlockType = btAND;
  a.Join = k;
  b.Join = k;
  return true;
}

}  // namespace ferrolad
