// Operations that change the ladder model: placing elements, links, deletions, rows and columns.
#include <algorithm>
#include <array>
#include <utility>

#include "ladder/ladder_grid.h"
#include "ladder/motor_blocks.h"

namespace ferrolad {

namespace {

// An operand cell of a box, with the register's caption as its note when the operand names one.
void FillOperandCell(TLDMCell& cell, const char* layers, const std::string& value, const TLadderRegister& reg) {
  cell.Layers = layers;
  cell.Value = value;
  if (reg.Found) cell.Lbl = reg.Caption;
}

bool HasSlot(const TInstructions& instr, int slot) {
  return slot >= 1 && slot <= 4 && !instr.Operands[static_cast<size_t>(slot - 1)].Types.empty();
}

// Descriptions of run/move command values and of microstep codes.
constexpr std::array<std::pair<const char*, const char*>, 11> kRunMoveCommands = {{
    {"0", "RUN"},
    {"1", "MOVE OFFSET by TARGET_POS"},
    {"2", "MOVE SHORT_WAY to TARGET_POS"},
    {"3", "MOVE to TARGET_POS"},
    {"4", "GO HOME"},
    {"5", "GO_UNTIL; S_STOP"},
    {"6", "GO_UNTIL; FRONT; S_STOP"},
    {"7", "GO_UNTIL; H_STOP"},
    {"8", "GO_UNTIL; FRONT; H_STOP"},
    {"9", "GO_UNTIL; RELEASE"},
    {"10", "GO_UNTIL; FRONT_RELEASE"},
}};

constexpr std::array<std::pair<const char*, const char*>, 8> kMicrostepModes = {{
    {"0", "MICROSTEPPING 1/1"},
    {"1", "MICROSTEPPING 1/2"},
    {"2", "MICROSTEPPING 1/4"},
    {"3", "MICROSTEPPING 1/8"},
    {"4", "MICROSTEPPING 1/16"},
    {"5", "MICROSTEPPING 1/32"},
    {"7", "MICROSTEPPING 1/128"},
    {"8", "MICROSTEPPING 1/256"},
}};

template <size_t N>
bool DescribeValue(const std::array<std::pair<const char*, const char*>, N>& table, const std::string& op,
                   std::string& text) {
  if (op.empty() || op[0] != 'K') return false;
  for (const auto& [value, description] : table) {
    if (op.compare(1, std::string::npos, value) == 0) {
      text = description;
      return true;
    }
  }
  return false;
}

}  // namespace

bool TLadderGrid::PlaceElement(const TInstructions& instr, const std::string& op1, const std::string& op2,
                               const std::string& op3, const std::string& op4) {
  // A quote or line break would make the saved file unreadable: refuse it here, where it is typed.
  for (const std::string* op : {&op1, &op2, &op3, &op4}) {
    if (!IsStorableText(*op)) {
      Ui().ShowMessage("An operand can not contain quotes or line breaks");
      return false;
    }
  }
  if (instr.Code == 0 || !CheckInstructionSpace(instr, false)) return false;
  bool ok = false;
  switch (instr.ElementKind) {
    case ekOUT:
      if (CurCol < FirstColumn) CurCol = FirstColumn;
      for (int i = CurCol; i <= ColCount - 2; ++i) AddHorizontalLine(CurRow, i);
      ok = PlaceSingle(instr, op1);
      break;
    case ekLD:
    case ekLDI:
    case ekLDF:
    case ekLDP:
    case ekINV:
      ok = PlaceSingle(instr, op1);
      break;
    case ekTransStart:
      ok = PlaceComparison(instr, op1, op2);
      break;
    case ekInstrStart:
      ok = PlaceBox(instr, op1, op2, op3, op4);
      break;
    case ekLabel:
      if (instr.LinkClass != LinkLabel) return false;
      ok = PlaceLabel(instr, op1);
      break;
    default:
      break;
  }
  ClearJoin();
  SyncSelection();
  Repaint();
  return ok;
}

bool TLadderGrid::PlaceSingle(const TInstructions& instr, const std::string& op) {
  if (!CheckColumnRule(instr)) {
    Ui().ShowMessage("This instruction is not possible here");
    return false;
  }
  SyncSelection();
  TLDMCell& cell = Cell(CurRow, CurCol);
  std::string layers = CurCol == FirstColumn ? "CommonBus;" : "";
  if (LayersContain(cell.Layers, ekVLine1)) layers += "VLine1;";
  if (LayersContain(cell.Layers, ekVLine2)) layers += "VLine2;";
  layers += ElementToken(instr.ElementKind) + ";";
  cell.Layers = layers;
  cell.Value = op;
  if (CurCol < ColCount - 1) ++CurCol;
  SyncSelection();
  Repaint();
  return true;
}

bool TLadderGrid::PlaceComparison(const TInstructions& instr, const std::string& op1, const std::string& op2) {
  if (!CheckColumnRule(instr)) {
    Ui().ShowMessage("This instruction is not possible here");
    return false;
  }
  SyncSelection();
  {
    TLDMCell& start = Cell(CurRow, CurCol);
    std::string layers = CurCol == FirstColumn ? "CommonBus;" : "";
    if (LayersContain(start.Layers, ekVLine1)) layers += "VLine1;";
    if (LayersContain(start.Layers, ekVLine2)) layers += "VLine2;";
    start.Layers = layers + "TransStart;";
    start.Value = instr.Name;
  }
  bool closed = false;
  if (HasSlot(instr, 1) && !op1.empty() && CurCol + 1 < ColCount) {
    ++CurCol;
    FillOperandCell(Cell(CurRow, CurCol), "TransOperand1;", op1, LookupRegister(op1));
    if (HasSlot(instr, 2) && !op2.empty() && CurCol + 1 < ColCount) {
      ++CurCol;
      FillOperandCell(Cell(CurRow, CurCol), "TransOperand2;TransEnd;", op2, LookupRegister(op2));
      closed = true;
    }
  }
  if (!closed) Cell(CurRow, CurCol).Layers += "TransEnd;";
  SyncSelection();
  Repaint();
  return true;
}

bool TLadderGrid::PlaceBox(const TInstructions& instr, const std::string& op1, const std::string& op2,
                           const std::string& op3, const std::string& op4) {
  const int w = CellSpan(instr);
  SyncSelection();
  if (CurCol < FirstColumn) CurCol = FirstColumn;  // boxes never reach into the label column
  if (ColCount - w < CurCol) {
    Ui().ShowMessage("Not enough space to add the instruction");
    return false;
  }
  for (int i = CurCol; i <= ColCount - w - 1; ++i) AddHorizontalLine(CurRow, i);
  CurCol = ColCount - w;
  const int row = CurRow;
  {
    TLDMCell& start = Cell(row, CurCol);
    // A box that reaches back to the rail keeps the rail.
    start.Layers = CurCol == FirstColumn ? "CommonBus;InstrStart;" : "InstrStart;";
    start.Value = instr.Name;
  }
  bool closed = false;
  if (HasSlot(instr, 1) && !op1.empty() && CurCol + 1 < ColCount) {
    ++CurCol;
    TLDMCell& c1 = Cell(row, CurCol);
    c1.Layers = "InstrOperand1;";
    c1.Value = op1;
    const TLadderRegister d1 = LookupRegister(op1);
    if (d1.Found) c1.Lbl = d1.Caption;
    if (HasSlot(instr, 2) && !op2.empty() && CurCol + 1 < ColCount) {
      ++CurCol;
      TLDMCell& c2 = Cell(row, CurCol);
      c2.Layers = "InstrOperand2;";
      c2.Value = op2;
      const TLadderRegister d2 = LookupRegister(op2);
      auto setBox = [&](std::string TLDMLayers::*field, const std::string& text) {
        for (int c = CurCol - 2; c <= CurCol; ++c) Cell(row, c).*field = text;
      };
      if (d2.Found) {
        if (instr.Name == "MOV" && (d2.BitWidth == 1 || d2.BitWidth == 16)) {
          std::string note;
          std::string text;
          if (d1.Found && d1.BitWidth == 1) {
            text = "Set " + d2.Caption + " = " + d1.Caption;
          } else {
            text = "Set " + d2.Caption + " = " + op1;
            if (Registers && op2 == Registers->CommandRegister()) {
              note = text;
              DescribeValue(kRunMoveCommands, op1, text);
            }
            if (Registers && op2 == Registers->MicrostepRegister()) {
              note = text;
              DescribeValue(kMicrostepModes, op1, text);
            }
          }
          setBox(&TLDMLayers::Cmd, text);
          setBox(&TLDMLayers::CmdNote, note);
        }
        if (instr.Name == "DMOV" && d2.BitWidth == 32) {
          setBox(&TLDMLayers::Cmd, "Set " + d2.Caption + " = " + op1);
        }
        if (!Cell(row, CurCol).Cmd.empty()) {
          Cell(row, CurCol - 1).Lbl.clear();
          Cell(row, CurCol).Lbl.clear();
        } else {
          Cell(row, CurCol).Lbl = d2.Caption;
        }
      } else {
        setBox(&TLDMLayers::Cmd, "");
      }
      if (HasSlot(instr, 3) && !op3.empty() && CurCol + 1 < ColCount) {
        ++CurCol;
        FillOperandCell(Cell(row, CurCol), "InstrOperand3;", op3, LookupRegister(op3));
        if (HasSlot(instr, 4) && !op4.empty() && CurCol + 1 < ColCount) {
          ++CurCol;
          FillOperandCell(Cell(row, CurCol), "InstrOperand4;InstrEnd;", op4, LookupRegister(op4));
          closed = true;
        }
      }
    }
  }
  if (!closed) Cell(row, CurCol).Layers += "InstrEnd;";
  SyncSelection();
  Repaint();
  return true;
}

bool TLadderGrid::PlaceLabel(const TInstructions& instr, const std::string& op) {
  if (!CheckInstructionSpace(instr, false)) return false;
  TLDMCell& cell = Cell(CurRow, LabelColumn);
  cell.Layers = "Label;";
  cell.Value = instr.Name + " " + op;
  if (CurCol == LabelColumn) CurCol = FirstColumn;
  SyncSelection();
  Repaint();
  return true;
}

// ---- Links ----------------------------------------------------------------------------------

bool TLadderGrid::AddHorizontalLine(int row, int col) {
  ClearPreview(row);
  if (!CanPlaceLink(row, col, ekHLine, true)) return false;
  TLDMCell& cell = Cell(row, col);
  std::string layers;
  if (col == FirstColumn) {
    layers = "CommonBus;";
  } else {
    if (LayersContain(cell.Layers, ekVLine1)) layers += "VLine1;";
    if (LayersContain(cell.Layers, ekVLine2)) layers += "VLine2;";
  }
  cell.Layers = layers + "HLine;";
  cell.Value.clear();
  int next = col;
  if (col < ColCount - 1) {
    PreviewHorizontalLine(CurRow, CurCol + 1);
    next = col + 1;
  }
  CurCol = next;
  CurRow = row;
  SyncSelection();
  Repaint();
  return true;
}

void TLadderGrid::PreviewHorizontalLine(int row, int col) {
  if (!CanPlaceLink(row, col, ekHLine, false)) PlacementAllowed = false;
  if (InMatrix(row, col)) Cell(row, col).VirtualLayers = "HLine;";
  Repaint();
}

bool TLadderGrid::AddVerticalLine(int row, int col) {
  ClearPreview(CurRow);
  const int c = VerticalsAtRight ? col + 1 : col;
  if (c >= ColCount - 1 || c <= FirstColumn || row < 0 || row >= RowCount) return false;
  if (!CanPlaceLink(row, c, ekVLine1, true)) return false;
  if (row == RowCount - 1) AppendRow();
  if (!CanPlaceLink(row + 1, c, ekVLine2, true)) return false;
  auto addHalf = [](std::string& layers, int kind, const char* token) {
    if (layers.empty()) {
      layers = token;
    } else if (!LayersContain(layers, kind)) {
      layers = token + layers;
    }
  };
  addHalf(Cell(row, c).Layers, ekVLine1, "VLine1;");
  addHalf(Cell(row + 1, c).Layers, ekVLine2, "VLine2;");
  CurCol = col;
  CurRow = row + 1;
  ClearPreview(CurRow);
  PreviewVerticalLine(CurRow, CurCol);
  SyncSelection();
  return true;
}

void TLadderGrid::PreviewVerticalLine(int row, int col) {
  const int h = VerticalsAtRight ? col + 1 : col;
  if (h < ColCount - 1 && h > FirstColumn && row >= 0 && row < RowCount) {
    if (!CanPlaceLink(row, h, ekVLine1, false) || !CanPlaceLink(row + 1, h, ekVLine2, false)) {
      PlacementAllowed = false;
    }
    Cell(row, h).VirtualLayers = "VLine1;";
    if (row < RowCount - 1) Cell(row + 1, h).VirtualLayers = "VLine2;";
    Repaint();
  }
}

bool TLadderGrid::AddInverseLogic(int row, int col) {
  if (col == FirstColumn || row < 0 || row >= RowCount || col < FirstColumn || col >= ColCount) return false;
  if (col == ColCount - 1 && !AddColumn(TColumnMode::AtEnd)) {
    Ui().ShowMessage("Not enough space to add the element");
    return false;
  }
  if (!CanPlaceLink(row, col, ekINV, true)) return false;
  TLDMCell& cell = Cell(row, col);
  std::string layers;
  if (LayersContain(cell.Layers, ekVLine1)) layers += "VLine1;";
  if (LayersContain(cell.Layers, ekVLine2)) layers += "VLine2;";
  cell.Layers = layers + "INV;";
  cell.Value.clear();
  CurCol = col < ColCount - 1 ? col + 1 : col;
  CurRow = row;
  SyncSelection();
  Repaint();
  return true;
}

// ---- Deleting -------------------------------------------------------------------------------

namespace {
bool IsOperandPart(const std::string& layers) {
  for (int k : {ekInstrOperand1, ekInstrOperand2, ekInstrOperand3, ekInstrOperand4, ekTransOperand1,
                ekTransOperand2}) {
    if (LayersContain(layers, k)) return true;
  }
  return false;
}
bool IsContinuationPart(const std::string& layers) {
  return IsOperandPart(layers) || LayersContain(layers, ekInstrEnd) || LayersContain(layers, ekTransEnd);
}
}  // namespace

void TLadderGrid::DeleteRegion() {
  const int top = std::max(Region.TopRow, 0);
  const int bottom = std::min(Region.BottomRow, RowCount - 1);
  const int left = std::max(Region.LeftCol, 0);
  const int right = std::min(Region.RightCol, ColCount - 1);
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      CurCol = c;
      CurRow = r;
      const std::string layers = Cell(r, c).Layers;
      if (LayersContain(layers, ekVLine1) && r < RowCount - 1) {
        Cell(r + 1, c).Layers = RemoveText(Cell(r + 1, c).Layers, "VLine2;");
      }
      if (LayersContain(layers, ekVLine2) && r > 0) {
        Cell(r - 1, c).Layers = RemoveText(Cell(r - 1, c).Layers, "VLine1;");
      }
      if (IsOperandPart(layers)) {
        while (CurCol > FirstColumn && IsOperandPart(Cell(r, CurCol).Layers)) --CurCol;
      }
      Cell(r, CurCol).Value.clear();
      Cell(r, CurCol).Layers = CurCol == FirstColumn ? "CommonBus;" : "";
      for (;;) {
        Cell(r, CurCol).Cmd.clear();
        Cell(r, CurCol).Lbl.clear();
        Cell(r, CurCol).CmdNote.clear();
        CurCol = std::min(CurCol + 1, ColCount - 1);
        TLDMCell& next = Cell(r, CurCol);
        if (!IsContinuationPart(next.Layers)) break;
        next.Value.clear();
        next.Layers.clear();
      }
      CurCol = left;
      SyncSelection();
    }
  }
  SetRegion(Region.TopRow, Region.LeftCol, Region.TopRow, Region.LeftCol);
  Repaint();
}

void TLadderGrid::DeleteElement() {
  SyncSelection();
  int off = 0;
  int span = 0;
  if (IsBoxPart(CurRow, CurCol)) {
    off = BoxStartOffset(CurRow, CurCol);
    if (IsBoxStartCell(CurRow, CurCol - off)) {
      span = OperandCount(FindInstructionByName(Cell(CurRow, CurCol - off).Value));
    }
  }
  CurCol -= off;
  for (int i = 0; i <= span && CurCol + i <= ColCount - 1; ++i) {
    TLDMCell& cell = Cell(CurRow, CurCol + i);
    cell.Value.clear();
    cell.Layers = BaseLinks(CurRow, CurCol + i);
  }
  Repaint();
}

void TLadderGrid::DeleteLinks() {
  SyncSelection();
  std::string& l = Cell(CurRow, CurCol).Layers;
  l = RemoveText(RemoveText(RemoveText(l, "VLine1;"), "VLine2;"), "HLine;");
  if (CurRow < RowCount - 1) Cell(CurRow + 1, CurCol).Layers = RemoveText(Cell(CurRow + 1, CurCol).Layers, "VLine2;");
  if (CurRow > 0) Cell(CurRow - 1, CurCol).Layers = RemoveText(Cell(CurRow - 1, CurCol).Layers, "VLine1;");
  Repaint();
}

void TLadderGrid::DeleteHorizontalLine() {
  SyncSelection();
  Cell(CurRow, CurCol).Layers = RemoveText(Cell(CurRow, CurCol).Layers, "HLine;");
  Repaint();
}

void TLadderGrid::DeleteVerticalLines() {
  SyncSelection();
  std::string& l = Cell(CurRow, CurCol).Layers;
  l = RemoveText(RemoveText(l, "VLine1;"), "VLine2;");
  if (CurRow < RowCount - 1) Cell(CurRow + 1, CurCol).Layers = RemoveText(Cell(CurRow + 1, CurCol).Layers, "VLine2;");
  if (CurRow > 0) Cell(CurRow - 1, CurCol).Layers = RemoveText(Cell(CurRow - 1, CurCol).Layers, "VLine1;");
  Repaint();
}

// ---- Rows -----------------------------------------------------------------------------------

void TLadderGrid::InsertRow() {
  SyncSelection();
  AppendRow();
  for (int r = RowCount - 1; r > CurRow; --r) {
    for (int c = LabelColumn; c < ColCount; ++c) Cell(r, c) = Cell(r - 1, c);
  }
  for (int c = LabelColumn; c < ColCount; ++c) Cell(CurRow, c) = TLDMCell{};
  Cell(CurRow, FirstColumn).Layers = "CommonBus;";
  Repaint();
}

bool TLadderGrid::DeleteRow() {
  ClearJoin();
  if (RowCount <= 1) return false;
  SyncSelection();
  Cells.erase(Cells.begin() + CurRow);
  View.RowHeights.pop_back();
  --RowCount;
  SyncSelection();
  Repaint();
  return true;
}

// ---- Columns --------------------------------------------------------------------------------

bool TLadderGrid::AddColumn(TColumnMode mode) {
  if (ColCount >= MaxColumns) {
    Ui().ShowMessage("Too many columns in the table.");
    return false;
  }
  ++ColCount;
  View.ColWidths.push_back(View.ColWidths[FirstColumn]);
  for (auto& row : Cells) row.emplace_back();
  for (int r = 0; r < RowCount; ++r) {
    if (mode == TColumnMode::AtEnd) {
      ShiftOutputsRight(r);
    } else {
      InsertColumnAtCursor(r);
    }
  }
  Repaint();
  return true;
}

void TLadderGrid::ShiftOutputsRight(int row) {
  const int n = ColCount;
  if (!Contains(row, n - 2, ekInstrEnd) && !Contains(row, n - 2, ekOUT)) return;
  int s = n - 6;
  for (int c = n - 2; c >= n - 5; --c) {
    if (Contains(row, c, ekInstrStart) || Contains(row, c, ekOUT)) {
      s = c;
      break;
    }
  }
  // The rail never moves.
  s = std::max(s, FirstColumn);
  for (int t = n - 1; t > s; --t) {
    TLDMCell& to = Cell(row, t);
    const TLDMCell& from = Cell(row, t - 1);
    to.Layers = t - 1 == FirstColumn ? RemoveText(from.Layers, "CommonBus;") : from.Layers;
    to.Cmd = from.Cmd;
    to.Lbl = from.Lbl;
    to.CmdNote = from.CmdNote;
    to.Value = from.Value;
  }
  TLDMCell& gap = Cell(row, s);
  gap.Layers = s == FirstColumn ? "CommonBus;HLine;" : "HLine;";
  gap.Lbl.clear();
  gap.Cmd.clear();
  gap.CmdNote.clear();
  gap.Value.clear();
}

void TLadderGrid::InsertColumnAtCursor(int row) {
  const int n = ColCount;
  const int s = std::max(CurCol - BoxStartOffset(row, CurCol), FirstColumn);
  for (int t = n - 1; t > s; --t) {
    TLDMCell& to = Cell(row, t);
    const TLDMCell& from = Cell(row, t - 1);
    to.Layers = RemoveText(from.Layers, "CommonBus;");
    to.Cmd = from.Cmd;
    to.Lbl = from.Lbl;
    to.CmdNote = from.CmdNote;
    to.Value = from.Value;
  }
  TLDMCell& gap = Cell(row, s);
  gap.Layers = s == FirstColumn ? "CommonBus;" : "";
  gap.Cmd.clear();
  gap.Lbl.clear();
  gap.CmdNote.clear();
  gap.Value.clear();
}

bool TLadderGrid::DeleteColumn(int col) {
  SyncSelection();
  SetRegion(CurRow, CurCol, CurRow, CurCol);
  if (ColCount < MinColumnsForDelete) return false;
  // The rail stays in column 3; columns left of it hold no logic.
  if (col < FirstColumn || col > ColCount - 1) return false;
  if (col == ColCount - 1) {
    // Dropping the output column must not leave a contact in the new one.
    for (int r = 0; r < RowCount; ++r) {
      if (CellFlags(r, col - 1) & cfContact) {
        Ui().ShowMessage("Impossible to delete the column: a contact would end in the output column");
        return false;
      }
    }
  }
  const int savedRow = CurRow;
  for (int r = 0; r < RowCount; ++r) {
    CurRow = r;
    CurCol = col;
    SyncSelection();
    SetRegion(r, col, r, col);
    DeleteRegion();
    for (int i = col; i <= ColCount - 2; ++i) Cell(r, i) = Cell(r, i + 1);
  }
  --ColCount;
  for (auto& row : Cells) row.pop_back();
  View.ColWidths.pop_back();
  CurRow = savedRow;
  CurCol = col;
  SyncSelection();
  if (col == FirstColumn) {
    for (int r = 0; r < RowCount; ++r) {
      std::string& l = Cell(r, FirstColumn).Layers;
      l = RemoveText(RemoveText(l, "VLine1;"), "VLine2;") + "CommonBus;";
    }
  }
  Repaint();
  return true;
}

void TLadderGrid::ClearLadder() {
  ClearJoin();
  const int w = View.ColWidths[FirstColumn];
  Cells.clear();
  View.RowHeights.clear();
  ResizeMatrix(InitialRowCount, InitialColCount);
  for (auto& row : Cells) {
    for (auto& cell : row) cell = TLDMCell{};
  }
  for (int r = 0; r < RowCount; ++r) Cell(r, FirstColumn).Layers = "CommonBus;";
  View.ColWidths.resize(static_cast<size_t>(ColCount));
  SetColumnWidths(LabelColumn, w);
  CurCol = FirstColumn;
  CurRow = 0;
  SyncSelection();
  Repaint();
}

}  // namespace ferrolad
