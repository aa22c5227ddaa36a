// Blocks: collecting a horizontal run of elements, the text forms, and the log texts.
#include <algorithm>
#include <string>

#include "compiler/ld_to_il.h"

namespace ferrolad {

std::string BlockTypeName(uint8_t type) {
  switch (type) {
    case btUNDEF: return "btUNDEF";
    case btApply: return "btApply";
    case btOR: return "btOR";
    case btORB: return "btORB";
    case btAND: return "btAND";
    case btLD: return "btLD";
    case btMRD: return "btMRD";
    default: return "bt???";
  }
}

namespace {
std::string ReplaceFirst(std::string_view line, std::string_view what, std::string_view by) {
  std::string s(line);
  const size_t at = s.find(what);
  if (at != std::string::npos) s.replace(at, what.size(), by);
  return s;
}
}  // namespace

std::string AndForm(std::string_view line) { return ReplaceFirst(ReplaceFirst(line, "LDI", "ANI"), "LD", "AND"); }

std::string OrForm(std::string_view line) { return ReplaceFirst(line, "LD", "OR"); }

TBlock::TBlock(TFragment* fragment, int index, TCellPos start)
    : Fragment(fragment), Index(index), StartCell(start), EndCell(start) {
  TLDtoIL* owner = fragment ? fragment->Owner : nullptr;
  if (owner && owner->Logging()) {
    owner->Log("Start new block: BI:" + std::to_string(index) + " #" +
               std::to_string(static_cast<long>(fragment->Blocks.size()) - 1) + " StartCol-" +
               std::to_string(start.Col) + " StartRow-" + std::to_string(start.Row));
  }
}

TBlock& TLDtoIL::AppendBlock(TFragment& f, TCellPos start) {
  auto b = std::make_unique<TBlock>(&f, static_cast<int>(f.Blocks.size()), start);
  f.Blocks.push_back(std::move(b));
  return f.Last();
}

const TInstructions& TLDtoIL::InstructionForCell(int row, int col) const {
  // Tested in this order, the last kind present wins ("LD" is inside "LDI", "LDF" and "LDP").
  static const int kKinds[] = {ekLD, ekLDI, ekOUT, ekLDF, ekLDP, ekTransStart, ekInstrStart, ekINV};
  int found = -1;
  for (int k : kKinds) {
    if (Grid.Contains(row, col, k)) found = k;
  }
  const auto& catalogue = InstructionCatalogue();
  int index = 0;
  switch (found) {
    case ekTransStart:
    case ekInstrStart: index = FindInstructionIndexByName(Grid.Cell(row, col).Value); break;
    case ekLD: index = FindInstructionIndexByName("LD"); break;
    case ekLDI: index = FindInstructionIndexByName("LDI"); break;
    case ekOUT: index = FindInstructionIndexByName("OUT"); break;
    case ekLDF: index = FindInstructionIndexByName("LDF"); break;
    case ekLDP: index = FindInstructionIndexByName("LDP"); break;
    case ekINV: index = FindInstructionIndexByName("INV"); break;
    default: break;
  }
  return catalogue[static_cast<size_t>(index)];
}

bool TLDtoIL::AddElement(TBlock& b, TCellPos cell, int& width) {
  width = 0;
  if (Grid.HasNoElement(cell.Row, cell.Col)) return false;
  const TInstructions& entry = InstructionForCell(cell.Row, cell.Col);
  const int n = OperandCount(entry);
  b.Elems.emplace_back();
  std::string operands;
  if (n > 0) {
    if (entry.ElementKind == ekTransStart || entry.ElementKind == ekInstrStart) {
      for (int k = 1; k <= n; ++k) {
        if (cell.Col + k >= Grid.ColCount) {
          SetError(4);
          return false;
        }
        operands += '\t';
        operands += Grid.Cell(cell.Row, cell.Col + k).Value;
      }
    } else {
      operands = "\t" + Grid.Cell(cell.Row, cell.Col).Value;
    }
  }
  b.Elems.back() = entry.Name + operands;
  if (Logging()) Log("Elem[" + std::to_string(b.Elems.size() - 1) + "]: " + b.Elems.back());
  width = 1 + (Grid.IsBoxStartCell(cell.Row, cell.Col) ? n : 0);
  return true;
}

bool TLDtoIL::Assemble(TBlock& b) {
  const int last = Grid.ColCount - 1;
  while (!b.Finished) {
    if (Grid.CellFlags(Cur.Row, Cur.Col) == 0) {
      SetError(3);
      return false;
    }
    int width = 1;
    switch (b.BlockType) {
      case btApply:
      case btOR:
      case btORB:
      case btMRD:
        return true;
      case btUNDEF:
        if (AddElement(b, Cur, width)) {
          if (Grid.IsOutputCell(Cur.Row, Cur.Col)) {
            b.BlockType = btApply;
            Cur.Col += width - 1;
            b.EndCell.Col = Cur.Col;
            b.Finished = true;
            return true;
          }
          if (Grid.IsContactCell(Cur.Row, Cur.Col)) {
            b.BlockType = btLD;
            Cur.Col += width - 1;
            b.EndCell.Col = Cur.Col;
          }
          if (Grid.IsInvCell(Cur.Row, Cur.Col)) {
            // An inversion needs a result before it; the placeholder counts as a block here.
            if (b.Fragment->Blocks.size() < 3) {
              SetError(5);
              return false;
            }
            b.BlockType = btAND;
          }
          if (Cur.Col >= last) {
            SetError(7);
            return false;
          }
        } else if (ErrorCode != 0) {
          return false;
        }
        break;
      case btLD:
      case btAND:
        if (AddElement(b, Cur, width)) {
          if (Grid.IsContactCell(Cur.Row, Cur.Col)) {
            b.BlockType = btAND;
            b.Elems.back() = AndForm(b.Elems.back());
            Cur.Col += width - 1;
            b.EndCell.Col = Cur.Col;
          }
          if (Grid.IsInvCell(Cur.Row, Cur.Col)) b.BlockType = btAND;
          if (Cur.Col >= last) {
            SetError(7);
            return false;
          }
        } else if (ErrorCode != 0) {
          return false;
        }
        break;
    }
    // A vertical link on the next cell's left edge, or an output, ends the block here.
    const int next = Cur.Col + 1;
    if (Grid.CellFlags(Cur.Row, next) & (cfLinkDown | cfLinkUp | cfOutput)) {
      b.Finished = true;
      b.EndCell.Col = Cur.Col;
    }
    if (!b.Finished) {
      if (!Grid.HasHorizontalPath(Cur.Row, next)) {
        SetError(1);
        return false;
      }
      ++Cur.Col;
    }
  }
  return true;
}

TBlock* TLDtoIL::NearestUnjoinedBlock(TFragment& f, int index) {
  const int top = std::min(index, static_cast<int>(f.Blocks.size())) - 1;
  for (int i = top; i >= 0; --i) {
    if (f.Blocks[static_cast<size_t>(i)]->Join < 0) return f.Blocks[static_cast<size_t>(i)].get();
  }
  return nullptr;
}

// ---- Log texts -------------------------------------------------------------------------------

std::string TLDtoIL::BlockDump(const TBlock& b) {
  std::string s = "BlockInfo: block[" + std::to_string(b.Index) + "]:\r\n";
  s += " StartCell r" + std::to_string(b.StartCell.Row) + " c" + std::to_string(b.StartCell.Col) + "\r\n";
  s += " EndCell r" + std::to_string(b.EndCell.Row) + " c" + std::to_string(b.EndCell.Col) + "\r\n";
  s += " Join " + std::to_string(b.Join) + "\r\n";
  s += " BlockType = " + BlockTypeName(b.BlockType) + "\r\n";
  for (size_t i = 0; i < b.Elems.size(); ++i) s += " Elem[" + std::to_string(i) + "] = " + b.Elems[i] + "\r\n";
  s += b.Finished ? " finished = true\r\n" : " finished = false\r\n";
  return s;  // the writer's own line end makes the closing empty line
}

std::string TLDtoIL::BranchLine(const TMRDCell& m) {
  std::string s = "    MRD[" + std::to_string(m.BranchPoint ? m.BranchPoint->Index : 0) + "][" +
                  std::to_string(m.Index) + "]: row=" + std::to_string(m.Cell.Row) +
                  "  col=" + std::to_string(m.Cell.Col);
  s += m.Active ? "; active " : "; not active ";
  s += m.Completed ? "; completed " : "; not completed ";
  s += m.Open ? "; open " : "; not open ";
  return s + "\r\n";
}

std::string TLDtoIL::MPSDump(const TMPS& m) {
  bool active = true;
  bool completed = true;
  for (const auto& c : m.MRDCells) {
    active = active && c.Active;
    completed = completed && c.Completed;
  }
  std::string s = "MPSInfo: MPS[" + std::to_string(m.Index) + "]: \r\n";
  s += active ? " active = true\r\n" : " active = false\r\n";
  s += m.Assembled ? " assembled = true\r\n" : " assembled = false\r\n";
  s += completed ? " completed = true\r\n" : " completed = false\r\n";
  for (const auto& c : m.MRDCells) s += BranchLine(c);
  return s;
}

}  // namespace ferrolad
