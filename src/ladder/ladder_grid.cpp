#include "ladder/ladder_grid.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "ladder/motor_blocks.h"

namespace ferrolad {

namespace {

struct KindRow {
  const char* token;
  const char* image;
};

constexpr std::array<KindRow, ElementKindCount> kKinds = {{
    {"Empty", "IMG_empty"},
    {"CommonBus", "IMG_Common_bus"},
    {"LD", "IMG_Open_contact"},
    {"LDI", "IMG_Close_contact"},
    {"OUT", "IMG_coil_output"},
    {"LDF", "IMG_falling_edge"},
    {"LDP", "IMG_rising_edge"},
    {"TransStart", "IMG_TransLogicStart"},
    {"TransOperand1", "IMG_empty"},
    {"TransOperand2", "IMG_empty"},
    {"TransEnd", "IMG_TransLogicEnd"},
    {"InstrStart", "IMG_InstrStart"},
    {"InstrOperand1", "IMG_InstrMiddle"},
    {"InstrOperand2", "IMG_InstrMiddle"},
    {"InstrOperand3", "IMG_InstrMiddle"},
    {"InstrOperand4", "IMG_InstrMiddle"},
    {"InstrEnd", "IMG_InstrEnd"},
    {"VLine1", "IMG_Vert_line_part1"},
    {"VLine2", "IMG_Vert_line_part2"},
    {"HLine", "IMG_Horiz_line"},
    {"INV", "IMG_inverse_logic"},
    {"Label", "IMG_empty"},
}};

constexpr std::array<int, 15> kKindTestOrder = {ekInstrStart, ekInstrOperand1, ekInstrOperand2, ekInstrOperand3,
                                                ekInstrOperand4, ekTransStart, ekTransOperand1, ekTransOperand2,
                                                ekLD, ekLDI, ekLDF, ekLDP, ekINV, ekOUT, ekLabel};

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

std::string ElementToken(int code) {
  if (code < 0 || code >= ElementKindCount) return "";
  return kKinds[static_cast<size_t>(code)].token;
}

bool ElementOfToken(std::string_view text, int& code) {
  for (int k = 0; k < ElementKindCount; ++k) {
    std::string_view t = kKinds[static_cast<size_t>(k)].token;
    if (text.size() == t.size() + 1 && text.substr(0, t.size()) == t && text.back() == ';') {
      code = k;
      return true;
    }
  }
  return false;
}

std::string ElementImage(std::string_view token) {
  for (const auto& k : kKinds) {
    if (token == k.token) return k.image;
  }
  return "IMG_temp";
}

std::string ElementImage(int code) {
  if (code < 0 || code >= ElementKindCount) return "IMG_temp";
  return kKinds[static_cast<size_t>(code)].image;
}

bool LayersContain(std::string_view layers, int kind) {
  if (kind < 0 || kind >= ElementKindCount) return false;
  return layers.find(kKinds[static_cast<size_t>(kind)].token) != std::string_view::npos;
}

std::string RemoveText(std::string_view layers, std::string_view text) {
  if (text.empty()) return std::string(layers);
  std::string out;
  size_t i = 0;
  while (i < layers.size()) {
    bool match = i + text.size() <= layers.size();
    for (size_t j = 0; match && j < text.size(); ++j) match = Lower(layers[i + j]) == Lower(text[j]);
    if (match) {
      i += text.size();
    } else {
      out.push_back(layers[i++]);
    }
  }
  return out;
}

std::vector<std::string> SplitTokens(std::string_view layers) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i = 0; i < layers.size(); ++i) {
    if (layers[i] == ';') {
      out.emplace_back(layers.substr(start, i - start));
      start = i + 1;
    }
  }
  return out;
}

// ---- TLadderGrid ----------------------------------------------------------------------------

TLadderGrid::TLadderGrid(TLadderUi* ui) : ui_(ui) {
  ResizeMatrix(InitialRowCount, InitialColCount);
  View.ColWidths.assign(static_cast<size_t>(ColCount), View.CellWidth);
  View.ColWidths[0] = View.ColWidths[1] = 15;
  View.RowHeights.assign(static_cast<size_t>(RowCount), View.CellHeight);
}

void TLadderGrid::SetUi(TLadderUi* ui) { ui_ = ui; }

void TLadderGrid::ResizeMatrix(int rows, int cols) {
  RowCount = rows;
  ColCount = cols;
  Cells.resize(static_cast<size_t>(rows));
  for (auto& r : Cells) r.resize(static_cast<size_t>(cols));
  for (int r = 0; r < rows; ++r) {
    auto& rail = Cell(r, FirstColumn).Layers;
    if (!LayersContain(rail, ekCommonBus)) rail += "CommonBus;";
  }
  View.ColWidths.resize(static_cast<size_t>(cols), View.ColWidths.size() > 3 ? View.ColWidths[3] : View.CellWidth);
  View.RowHeights.resize(static_cast<size_t>(rows), FixedRowHeight);
}

void TLadderGrid::ClearJoin() {
  if (EntryCondition) EntryCondition->JoinValid = false;
}

bool TLadderGrid::Contains(int row, int col, int kind) const {
  if (!InMatrix(row, col)) return false;
  return LayersContain(Cell(row, col).Layers, kind);
}

uint8_t TLadderGrid::CellFlags(int row, int col) const {
  if (!InLogicArea(row, col)) return 0;
  const std::string& l = Cell(row, col).Layers;
  auto has = [&](int k) { return LayersContain(l, k); };
  uint8_t f = 0;
  if (has(ekHLine)) f |= cfHLine;
  if (has(ekVLine1) || has(ekCommonBus)) f |= cfLinkDown;
  if (has(ekVLine2) || has(ekCommonBus)) f |= cfLinkUp;
  if (has(ekLD) || has(ekTransStart) || has(ekTransOperand1) || has(ekTransOperand2) || has(ekTransEnd) ||
      has(ekINV))
    f |= cfContact;
  if (has(ekInstrStart) || has(ekInstrOperand1) || has(ekInstrOperand2) || has(ekInstrOperand3) ||
      has(ekInstrOperand4) || has(ekInstrEnd) || has(ekOUT))
    f |= cfOutput;
  if (f & (cfContact | cfOutput)) f |= cfElement;
  return f;
}

bool TLadderGrid::IsOutputCell(int row, int col) const { return (CellFlags(row, col) & cfOutput) != 0; }

bool TLadderGrid::IsInvCell(int row, int col) const { return InLogicArea(row, col) && Contains(row, col, ekINV); }

bool TLadderGrid::IsContactCell(int row, int col) const {
  return (CellFlags(row, col) & cfContact) != 0 && !Contains(row, col, ekINV);
}

bool TLadderGrid::HasLineDown(int row, int col) const {
  return col == FirstColumn || (CellFlags(row, col) & cfLinkDown) != 0;
}

bool TLadderGrid::HasLineUp(int row, int col) const {
  return col == FirstColumn || (CellFlags(row, col) & cfLinkUp) != 0;
}

bool TLadderGrid::HasNoElement(int row, int col) const { return (CellFlags(row, col) & cfElement) == 0; }

bool TLadderGrid::HasHorizontalPath(int row, int col) const {
  return (CellFlags(row, col) & (cfContact | cfHLine)) != 0;
}

bool TLadderGrid::IsBoxPart(int row, int col) const {
  if (!InLogicArea(row, col)) return false;
  for (int k : {ekTransStart, ekTransOperand1, ekTransOperand2, ekTransEnd, ekInstrStart, ekInstrOperand1,
                ekInstrOperand2, ekInstrOperand3, ekInstrOperand4, ekInstrEnd}) {
    if (Contains(row, col, k)) return true;
  }
  return false;
}

bool TLadderGrid::IsBoxStartCell(int row, int col) const {
  return InLogicArea(row, col) && (Contains(row, col, ekTransStart) || Contains(row, col, ekInstrStart));
}

int TLadderGrid::ElementKindAt(int row, int col) const {
  if (!InMatrix(row, col)) return ekEmpty;
  int kind = ekEmpty;
  for (int k : kKindTestOrder) {
    if (Contains(row, col, k)) kind = k;
  }
  return kind;
}

int TLadderGrid::BoxStartOffset(int row, int col) const {
  if (!InMatrix(row, col)) return 0;
  bool operandCell = false;
  for (int k : {ekTransOperand1, ekTransOperand2, ekInstrOperand1, ekInstrOperand2, ekInstrOperand3,
                ekInstrOperand4}) {
    operandCell = operandCell || Contains(row, col, k);
  }
  if (!operandCell) return 0;
  for (int i = 0; i <= 4; ++i) {
    if (Contains(row, col - i, ekTransStart) || Contains(row, col - i, ekInstrStart)) return i;
  }
  return 0;
}

std::string TLadderGrid::BaseLinks(int row, int col) const {
  if (col == FirstColumn) return "CommonBus;";
  std::string s;
  if (HasLineDown(row, col)) s += "VLine1;";
  if (HasLineUp(row, col)) s += "VLine2;";
  return s;
}

// ---- Placement checks -----------------------------------------------------------------------

bool TLadderGrid::CheckColumnRule(const TInstructions& instr) const {
  if (instr.LinkClass == 8) return CurCol < FirstColumn;
  return CurCol >= FirstColumn;
}

bool TLadderGrid::CanPlaceLink(int row, int col, int kind, bool showMessage) {
  if (row < 0 || col < 0 || row > RowCount - 1 || col > ColCount - 1) return false;
  bool ok = true;
  for (int k : {ekTransOperand1, ekTransOperand2, ekTransEnd, ekInstrStart, ekInstrOperand1, ekInstrOperand2,
                ekInstrOperand3, ekInstrOperand4, ekInstrEnd}) {
    if (Contains(row, col, k)) ok = false;
  }
  if ((kind == ekHLine || kind == ekINV) && Contains(row, col, ekTransStart)) ok = false;
  if (!ok && showMessage) Ui().ShowMessage("It is impossible to place this element here");
  return ok;
}

namespace {
bool IsContactLike(int k) {
  return k == ekLD || k == ekLDI || k == ekLDF || k == ekLDP || k == ekTransStart || k == ekINV;
}
}  // namespace

bool TLadderGrid::CheckInstructionSpace(const TInstructions& instr, bool silent) {
  if (instr.Code == 0) return false;
  SyncSelection();
  if (instr.LinkClass == 8) {
    if (Cell(CurRow, LabelColumn).Layers.empty()) return true;
    if (!silent) Ui().ShowMessage("Not enough space to add the Instruction");
    return false;
  }
  const int n = static_cast<uint8_t>(CellSpan(instr));
  const int k = instr.ElementKind;
  for (;;) {
    if (ColCount - n < CurCol) {
      if (silent) return false;
      if (!AddColumn(TColumnMode::AtEnd)) {
        Ui().ShowMessage("Not enough space to add the Instruction");
        return false;
      }
      continue;
    }
    if (IsContactLike(k) && ColCount - n == CurCol) {
      if (silent) return false;
      if (!AddColumn(TColumnMode::AtEnd)) {
        Ui().ShowMessage("Not enough space to add the Instruction");
        return false;
      }
      continue;
    }
    const bool toOutput = k == ekInstrStart || k == ekOUT;
    const int last = toOutput ? ColCount - 1 : CurCol + n - 1;
    for (int c = CurCol; c <= last; ++c) {
      std::string rest = RemoveText(RemoveText(Cell(CurRow, c).Layers, "HLine;"), "CommonBus;");
      if (IsContactLike(k) || (toOutput && c < ColCount - n - 1)) {
        rest = RemoveText(RemoveText(rest, "VLine1;"), "VLine2;");
      }
      if (!rest.empty()) {
        if (!silent) Ui().ShowMessage("Not enough space to add the Instruction");
        return false;
      }
    }
    if (!silent && CurRow == RowCount - 1) AppendRow();
    return true;
  }
}

void TLadderGrid::PreviewElement(const TInstructions& instr) {
  if (instr.Code == 0) return;
  PlacementAllowed = CheckInstructionSpace(instr, true);
  auto put = [&](int col, const std::string& tokens) {
    if (InMatrix(CurRow, col)) Cell(CurRow, col).VirtualLayers = tokens;
  };
  const int w = CellSpan(instr);
  switch (instr.ElementKind) {
    case ekLD:
    case ekLDI:
    case ekLDF:
    case ekLDP:
    case ekINV:
      put(CurCol, ElementToken(instr.ElementKind) + ";");
      break;
    case ekOUT:
      for (int c = CurCol; c <= ColCount - 2; ++c) put(c, "HLine;");
      put(ColCount - 1, "OUT;");
      break;
    case ekTransStart:
      if (CurCol + w > MaxColumns - 1) PlacementAllowed = false;
      put(CurCol, "TransStart;");
      if (CurCol + 1 < ColCount) put(CurCol + 1, "TransOperand1;");
      if (CurCol + 2 < ColCount) put(CurCol + 2, "TransOperand2;TransEnd;");
      break;
    case ekInstrStart: {
      int d = CurCol;
      if (CurCol + w < ColCount) {
        for (int c = CurCol; c <= ColCount - w - 1; ++c) put(c, "HLine;");
        d = ColCount - w;
      }
      if (d + w > MaxColumns) PlacementAllowed = false;
      if (d < ColCount) {
        put(d, "InstrStart;");
        int last = d;
        static const char* kOperands[] = {"InstrOperand1;", "InstrOperand2;", "InstrOperand3;", "InstrOperand4;"};
        for (int i = 0; i < 4 && w > i + 1 && last + 1 < ColCount; ++i) {
          ++last;
          put(last, kOperands[i]);
        }
        Cell(CurRow, last).VirtualLayers += "InstrEnd;";
      }
      break;
    }
    case ekLabel:
      if (InMatrix(CurRow, LabelColumn)) Cell(CurRow, LabelColumn).VirtualLayers = "Label;";
      break;
    default:
      break;
  }
  Repaint();
}

void TLadderGrid::ClearPreview(int row) {
  if (row >= 0 && row < RowCount) {
    for (auto& c : Cells[static_cast<size_t>(row)]) c.VirtualLayers.clear();
  }
  PlacementAllowed = true;
  Repaint();
}

// ---- Structure and view ---------------------------------------------------------------------

void TLadderGrid::AppendRow() {
  Cells.emplace_back(static_cast<size_t>(ColCount));
  ++RowCount;
  View.RowHeights.push_back(FixedRowHeight);
  Cell(RowCount - 1, FirstColumn).Layers = "CommonBus;";
}

void TLadderGrid::SetColumnWidths(int from, int width) {
  for (int c = from; c < ColCount; ++c) View.ColWidths[static_cast<size_t>(c)] = width;
}

void TLadderGrid::InitLadderGrid(int screenWidth, int availableWidth) {
  CurCol = FirstColumn;
  CurRow = 0;
  View.AvailableWidth = availableWidth;
  View.InitialLogicColumns = ColCount - 2;
  View.ColWidths.assign(static_cast<size_t>(ColCount), View.CellWidth);
  View.ColWidths[0] = View.ColWidths[1] = 15;
  View.CellWidth = std::clamp(View.CellWidth * screenWidth / 1920, 40, 150);
  View.CellHeight = View.CellWidth / 2;
  SetColumnWidths(LabelColumn, View.CellWidth);
  View.RowHeights.assign(static_cast<size_t>(RowCount), View.CellHeight);
  const int usable = availableWidth - 5 - View.ColWidths[0] - View.ColWidths[1];
  View.MaxCellWidth = std::max(usable / MinLogicColumns, View.CellWidth);
  ScaleStep = View.InitialLogicColumns - usable / View.CellWidth;
  ResizeMatrix(RowCount, ColCount);
  SyncSelection();
}

void TLadderGrid::SetScale(int step) {
  ScaleStep = step;
  const int shown = ColCount - step - 2;
  const int usable = View.AvailableWidth - View.ScrollBarWidth - View.ColWidths[0] - View.ColWidths[1];
  // A step that would show no column at all is the largest zoom, not a division by zero.
  int w = shown > 0 ? usable / shown : View.MaxCellWidth;
  if (w < View.MaxCellWidth) {
    View.ZoomInEnabled = true;
  } else {
    w = View.MaxCellWidth;
    View.ZoomInEnabled = false;
  }
  if (w > View.MinCellWidth) {
    View.ZoomOutEnabled = true;
  } else {
    w = View.MinCellWidth;
    View.ZoomOutEnabled = false;
  }
  SetColumnWidths(LabelColumn, w);
  View.RowHeights.assign(static_cast<size_t>(RowCount), w / 2);
  Repaint();
}

void TLadderGrid::Resize(int availableWidth) {
  View.AvailableWidth = availableWidth;
  const int usable = availableWidth - 5 - View.ColWidths[0] - View.ColWidths[1];
  View.MaxCellWidth = std::max(usable / MinLogicColumns, View.CellWidth);
  const int current = std::max(1, View.ColWidths[FirstColumn]);
  View.ZoomInEnabled = current < View.MaxCellWidth;
  ScaleStep = View.InitialLogicColumns - usable / current;
}

void TLadderGrid::SyncSelection() {
  CurCol = std::clamp(CurCol, 0, ColCount - 1);
  CurRow = std::clamp(CurRow, 0, RowCount - 1);
}

void TLadderGrid::SetRegion(int topRow, int leftCol, int bottomRow, int rightCol) {
  Region = TRegion{topRow, leftCol, bottomRow, rightCol};
  RegionFollowsCursor = false;
}

void TLadderGrid::SetRegion(const TRegion& r) { SetRegion(r.TopRow, r.LeftCol, r.BottomRow, r.RightCol); }

void TLadderGrid::SelectCell(int row, int col) {
  row = std::clamp(row, 0, RowCount - 1);
  if (col > LabelColumn && col < ColCount) {
    CurCol = col;
  } else if (col == LabelColumn && !Cell(row, LabelColumn).Value.empty()) {
    CurCol = col;
  } else {
    CurCol = FirstColumn;
  }
  CurRow = row;
  if (RegionFollowsCursor) SetRegion(CurRow, CurCol, CurRow, CurCol);
}

bool TLadderGrid::IsStorableText(std::string_view text) {
  return text.find_first_of("\"\r\n") == std::string_view::npos;
}

TLadderRegister TLadderGrid::LookupRegister(const std::string& operand) const {
  if (!Registers) return {};
  return Registers->FindByDRegister(operand);
}

}  // namespace ferrolad
