// Copying and pasting rectangular regions of cells.
#include <algorithm>

#include "ladder/ladder_grid.h"

namespace ferrolad {

void TLadderGrid::CopyRegion() {
  const TRegion r = Region;
  const int rows = r.BottomRow - r.TopRow + 1;
  const int cols = r.RightCol - r.LeftCol + 1;
  // A stale region that no longer lies in the grid cannot be copied either.
  if (rows < 1 || cols < 1 || !InMatrix(r.TopRow, r.LeftCol) || !InMatrix(r.BottomRow, r.RightCol)) {
    Ui().ShowMessage("Impossible to copy region");
    return;
  }
  for (int row = r.TopRow; row <= r.BottomRow; ++row) {
    const std::string& left = Cell(row, r.LeftCol).Layers;
    for (int k : {ekTransOperand1, ekTransOperand2, ekInstrOperand1, ekInstrOperand2, ekInstrOperand3,
                  ekInstrOperand4}) {
      if (LayersContain(left, k)) {
        Ui().ShowMessage("Impossible to copy because of an instruction at left edge of the region");
        return;
      }
    }
    if (IsBoxPart(row, r.RightCol) && !Contains(row, r.RightCol, ekTransEnd) &&
        !Contains(row, r.RightCol, ekInstrEnd)) {
      Ui().ShowMessage("Impossible to copy because of an instruction at right edge of the region");
      return;
    }
  }
  CopyBuffer.HasOutputs = false;
  CopyBuffer.Rows.assign(static_cast<size_t>(rows), std::vector<TCellCopyBuffer>(static_cast<size_t>(cols)));
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      const TLDMCell& src = Cell(r.TopRow + i, r.LeftCol + j);
      TCellCopyBuffer& dst = CopyBuffer.Rows[static_cast<size_t>(i)][static_cast<size_t>(j)];
      CopyBuffer.HasOutputs = CopyBuffer.HasOutputs || (CellFlags(r.TopRow + i, r.LeftCol + j) & cfOutput);
      static_cast<TLDMLayers&>(dst) = src;
      dst.VirtualLayers.clear();  // a hover preview is not content
      if (auto p = dst.Layers.find("CommonBus;"); p != std::string::npos) dst.Layers.erase(p, 10);
      dst.Text = src.Value;
    }
  }
  CopyBuffer.SourceCol = r.LeftCol;
  CopyBuffer.SourceRow = r.TopRow;
}

void TLadderGrid::PasteRegion() {
  SyncSelection();
  const int b = static_cast<int>(CopyBuffer.Rows.size());
  const int c = b > 0 ? static_cast<int>(CopyBuffer.Rows[0].size()) : 0;
  // Nothing copied yet, or the cursor on a label: nothing to paste there.
  if (b == 0 || c == 0 || CurCol < FirstColumn) return;
  // Contacts never go into the output column (no rung could be read from it): like a placed
  // contact, such a paste gets one more column first.
  bool contactAtRight = false;
  for (int i = 0; i < b; ++i) {
    const TCellCopyBuffer& last = CopyBuffer.Rows[static_cast<size_t>(i)][static_cast<size_t>(c - 1)];
    for (int k : {ekLD, ekINV, ekTransStart, ekTransOperand1, ekTransOperand2, ekTransEnd}) {
      contactAtRight = contactAtRight || LayersContain(last.Layers, k);
    }
  }
  while (contactAtRight && CurCol + c - 1 >= ColCount - 1) {
    if (!AddColumn(TColumnMode::AtEnd)) {
      Ui().ShowMessage("Impossible to insert cells - too many columns");
      return;
    }
  }
  bool occupied = false;
  for (int i = 0; i < b; ++i) {
    for (int j = 0; j < c; ++j) {
      const int tr = CurRow + i;
      const int tc = CurCol + j;
      while (tr >= RowCount) AppendRow();
      while (tc >= ColCount) {
        if (!AddColumn(TColumnMode::AtEnd)) {
          Ui().ShowMessage("Impossible to insert cells - too many columns");
          return;
        }
      }
      uint8_t f = CellFlags(tr, tc);
      if (tc == FirstColumn) f &= static_cast<uint8_t>(~(cfLinkDown | cfLinkUp));
      if (f != 0) occupied = true;
      if (CopyBuffer.HasOutputs && CopyBuffer.SourceCol != CurCol) {
        Ui().ShowMessage("Impossible to insert cells. Apply instruction can not be placed here.");
        return;
      }
    }
  }
  if (occupied) {
    if (!Ui().AskYesNo("Cells are not empty. Delete previous content?")) return;
    const int row = CurRow;
    const int col = CurCol;
    SetRegion(CurRow, CurCol, CurRow + b - 1, CurCol + c - 1);
    DeleteRegion();
    CurRow = row;
    CurCol = col;
  }
  for (int i = 0; i < b; ++i) {
    for (int j = 0; j < c; ++j) {
      const TCellCopyBuffer& src = CopyBuffer.Rows[static_cast<size_t>(i)][static_cast<size_t>(j)];
      TLDMCell& dst = Cell(CurRow + i, CurCol + j);
      static_cast<TLDMLayers&>(dst) = src;
      if (CurCol + j == FirstColumn) dst.Layers += "CommonBus;";
      dst.Value = src.Text;
    }
  }
  if (CurRow + b - 1 == RowCount - 1) AppendRow();
  SetRegion(CurRow, CurCol, CurRow, CurCol);
  Repaint();
}

}  // namespace ferrolad
