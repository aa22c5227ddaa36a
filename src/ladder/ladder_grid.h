// The ladder diagram model: a grid of cells, each holding a stack of element tokens ("layers").
//
// Columns: 0 row numbers, 1 spacer, 2 labels (P/I), 3 the left power rail (every row's cell holds
// "CommonBus;"), 3 .. ColCount-1 the logic area, ColCount-1 the output column (coils and the last
// cell of instruction boxes). Rows and columns count from 0; Cells[row][col].
//
// A cell "contains" an element kind when the kind's token occurs anywhere in its Layers text, so
// "LD" also matches "LDI", "LDF" and "LDP". Every query below relies on that.
//
// The compiler walks the grid only through the const queries (CellFlags, HasHorizontalPath,
// HasLineDown, HasLineUp, IsOutputCell, IsContactCell, IsInvCell, IsBoxStartCell, HasNoElement,
// ElementKindAt) plus RowCount, ColCount and the cells' Layers and Value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/instruction_catalogue.h"
#include "ladder/ladder_registers.h"
#include "ladder/ladder_ui.h"

namespace ferrolad {

class TEntryCondition;

// ---- Geometry -------------------------------------------------------------------------------

inline constexpr int RowNumberColumn = 0;
inline constexpr int SpacerColumn = 1;
inline constexpr int LabelColumn = 2;
inline constexpr int FirstColumn = 3;  // the left power rail
inline constexpr int InitialColCount = 15;
inline constexpr int InitialRowCount = 5;
inline constexpr int MaxColumns = 30;  // editing limit; a file may hold more
inline constexpr int MinLogicColumns = 4;
inline constexpr int MinColumnsForDelete = 6;  // DeleteColumn needs ColCount >= this

// ---- Element kinds and tokens ---------------------------------------------------------------

enum TElementKind : uint8_t {
  ekEmpty = 0,
  ekCommonBus = 1,
  ekLD = 2,
  ekLDI = 3,
  ekOUT = 4,
  ekLDF = 5,
  ekLDP = 6,
  ekTransStart = 7,
  ekTransOperand1 = 8,
  ekTransOperand2 = 9,
  ekTransEnd = 10,
  ekInstrStart = 11,
  ekInstrOperand1 = 12,
  ekInstrOperand2 = 13,
  ekInstrOperand3 = 14,
  ekInstrOperand4 = 15,
  ekInstrEnd = 16,
  ekVLine1 = 17,  // lower half of a vertical link on the cell's left edge (goes down)
  ekVLine2 = 18,  // upper half of a vertical link on the cell's left edge (comes from above)
  ekHLine = 19,
  ekINV = 20,
  ekLabel = 21,
};
inline constexpr int ElementKindCount = 22;

// Token of a kind ("LD"), "" for a code outside the table.
std::string ElementToken(int code);
// True when text is exactly a token followed by ";" ("LDI;"); code receives the kind.
bool ElementOfToken(std::string_view text, int& code);
// Picture name of a token / kind; "IMG_temp" when it is not in the table.
std::string ElementImage(std::string_view token);
std::string ElementImage(int code);

// The substring rule on a Layers text.
bool LayersContain(std::string_view layers, int kind);
// Removes every occurrence of text (e.g. "VLine2;"), ignoring case.
std::string RemoveText(std::string_view layers, std::string_view text);
// Splits "CommonBus;LD;" into {"CommonBus", "LD"}; characters after the last ";" are dropped.
std::vector<std::string> SplitTokens(std::string_view layers);

// ---- Cell record ----------------------------------------------------------------------------

struct TLDMLayers {
  std::string Layers;         // element tokens, each followed by ";"
  std::string Cmd;            // description of what a described box does ("Set ACCEL = K1000")
  std::string Lbl;            // name of the register the operand addresses
  std::string CmdNote;        // plain "Set <register> = <value>" beside a command description; not saved
  std::string VirtualLayers;  // hover preview, same syntax as Layers; not saved
  bool operator==(const TLDMLayers&) const = default;
};

struct TLDMCell : TLDMLayers {
  std::string Value;  // displayed text: operand, mnemonic, or "P 3" for a label
  bool operator==(const TLDMCell&) const = default;
};

// Bits of CellFlags.
enum TCellFlag : uint8_t {
  cfHLine = 1 << 0,
  cfLinkDown = 1 << 1,  // VLine1 or CommonBus
  cfLinkUp = 1 << 2,    // VLine2 or CommonBus
  cfContact = 1 << 3,   // LD* (substring), Trans*, INV
  cfOutput = 1 << 4,    // Instr*, OUT
  cfElement = 1 << 5,   // cfContact or cfOutput
};

// ---- Region and clipboard -------------------------------------------------------------------

struct TRegion {
  int TopRow = 0;
  int LeftCol = FirstColumn;
  int BottomRow = 0;
  int RightCol = FirstColumn;
  bool operator==(const TRegion&) const = default;
};

struct TCellCopyBuffer : TLDMLayers {
  std::string Text;  // the cell's Value
};
using TRegionBufArray = std::vector<std::vector<TCellCopyBuffer>>;

struct TRegionBufferArrayStruct {
  TRegionBufArray Rows;
  int SourceCol = 0;
  int SourceRow = 0;
  bool HasOutputs = false;  // some copied cell was a coil or part of an instruction box
};

// ---- View sizing (plain pixel values; the window mirrors them) ------------------------------

struct TLadderView {
  int AvailableWidth = 1200;   // W: width available to the grid
  int ScrollBarWidth = 17;     // vertical scroll bar
  int CellWidth = 90;
  int CellHeight = 45;
  int MinCellWidth = 30;
  int MaxCellWidth = 200;
  int InitialLogicColumns = InitialColCount - 2;  // L0 of the zoom-step arithmetic
  bool ZoomInEnabled = true;
  bool ZoomOutEnabled = true;
  std::vector<int> ColWidths;   // one per column
  std::vector<int> RowHeights;  // one per row
};
inline constexpr int FixedRowHeight = 49;  // rows added later or read from a file

// ---- The model ------------------------------------------------------------------------------

class TLadderGrid {
 public:
  // ui: where messages and questions go (not owned; a silent one is used when null).
  explicit TLadderGrid(TLadderUi* ui = nullptr);

  TLadderUi& Ui() const { return ui_ ? *ui_ : silent_; }
  void SetUi(TLadderUi* ui);

  // Register lookups for box descriptions (not owned; none found while null).
  const TLadderRegisters* Registers = nullptr;
  // The motor-control blocks' join memory; structural edits clear its JoinValid (not owned).
  TEntryCondition* EntryCondition = nullptr;

  int ColCount = InitialColCount;
  int RowCount = InitialRowCount;
  std::vector<std::vector<TLDMCell>> Cells;  // [row][col]

  // Cursor and editor state.
  int CurRow = 0;
  int CurCol = FirstColumn;
  TRegion Region;
  bool RegionFollowsCursor = false;
  bool Dragging = false;
  bool LeftButtonDown = false;
  bool PlacementAllowed = true;
  bool VerticalsAtRight = false;  // the "Vericals at right" box
  int EditStartCol = FirstColumn;
  std::string EditBaseLinks;
  TRegionBufferArrayStruct CopyBuffer;
  int ScaleStep = 0;
  TLadderView View;

  // Cell access without bounds checks beyond the vector's own.
  TLDMCell& Cell(int row, int col) { return Cells[static_cast<size_t>(row)][static_cast<size_t>(col)]; }
  const TLDMCell& Cell(int row, int col) const {
    return Cells[static_cast<size_t>(row)][static_cast<size_t>(col)];
  }
  bool InMatrix(int row, int col) const { return row >= 0 && row < RowCount && col >= 0 && col < ColCount; }
  bool InLogicArea(int row, int col) const {
    return row >= 0 && row < RowCount && col >= FirstColumn && col < ColCount;
  }
  int OutputColumn() const { return ColCount - 1; }

  // ---- Cell queries. Outside the logic area they give 0 / false unless noted. ----

  // Substring rule; false outside the matrix.
  bool Contains(int row, int col, int kind) const;
  uint8_t CellFlags(int row, int col) const;
  bool IsOutputCell(int row, int col) const;
  bool IsInvCell(int row, int col) const;
  bool IsContactCell(int row, int col) const;  // cfContact and not INV
  // A path leaves the cell's left edge downwards; always true in column 3 (the rail).
  bool HasLineDown(int row, int col) const;
  // A path arrives at the cell's left edge from above; always true in column 3.
  bool HasLineUp(int row, int col) const;
  // True (not false) outside the logic area.
  bool HasNoElement(int row, int col) const;
  bool HasHorizontalPath(int row, int col) const;  // cfContact or cfHLine
  bool IsBoxPart(int row, int col) const;          // any Trans* or Instr* token
  bool IsBoxStartCell(int row, int col) const;     // TransStart or InstrStart
  // Kind of the element in a cell: tokens tested in the order 11, 12, 13, 14, 15, 7, 8, 9, 2, 3,
  // 5, 6, 20, 4, 21, the last one contained wins; 0 when none (rail, lines, a lone end token).
  int ElementKindAt(int row, int col) const;
  // 0-4: distance back to the start cell of the box / comparison whose operand cell this is.
  int BoxStartOffset(int row, int col) const;
  // Tokens a cell keeps when its element is removed.
  std::string BaseLinks(int row, int col) const;

  // ---- Placement checks ----

  bool CheckColumnRule(const TInstructions& instr) const;
  // For kinds ekVLine1, ekVLine2, ekHLine, ekINV.
  bool CanPlaceLink(int row, int col, int kind, bool showMessage);
  // Room for the instruction's element on the cursor row; non-silent may add columns and a row.
  bool CheckInstructionSpace(const TInstructions& instr, bool silent);
  // Writes the element's hover preview into VirtualLayers of the cursor row.
  void PreviewElement(const TInstructions& instr);
  void ClearPreview(int row);

  // ---- Structure and view ----

  void AppendRow();
  // Start-up sizing: screenWidth is the screen's width, availableWidth the grid's (W).
  void InitLadderGrid(int screenWidth, int availableWidth);
  void SetScale(int step);
  // Window resize: recompute the largest zoom width and the zoom step.
  void Resize(int availableWidth);
  // Clamps the cursor into the grid.
  void SyncSelection();
  // Sets the Region (clears RegionFollowsCursor).
  void SetRegion(int topRow, int leftCol, int bottomRow, int rightCol);
  void SetRegion(const TRegion& r);
  // Makes (row, col) current by the grid's rule: column 2 only for a label; otherwise column 3.
  void SelectCell(int row, int col);

  // ---- Editing operations (ladder_edit.cpp) ----

  // op1..op4: operand texts, "" when absent. Refuses texts that a ladder file cannot carry.
  bool PlaceElement(const TInstructions& instr, const std::string& op1 = "", const std::string& op2 = "",
                    const std::string& op3 = "", const std::string& op4 = "");
  bool PlaceSingle(const TInstructions& instr, const std::string& op);
  bool PlaceComparison(const TInstructions& instr, const std::string& op1, const std::string& op2);
  bool PlaceBox(const TInstructions& instr, const std::string& op1, const std::string& op2,
                const std::string& op3, const std::string& op4);
  bool PlaceLabel(const TInstructions& instr, const std::string& op);
  bool AddHorizontalLine(int row, int col);
  bool AddVerticalLine(int row, int col);
  bool AddInverseLogic(int row, int col);
  void PreviewHorizontalLine(int row, int col);
  void PreviewVerticalLine(int row, int col);
  void DeleteRegion();
  void DeleteElement();
  void DeleteLinks();
  void DeleteHorizontalLine();
  void DeleteVerticalLines();
  void InsertRow();
  bool DeleteRow();
  enum class TColumnMode { AtEnd, InMiddle };
  bool AddColumn(TColumnMode mode);
  void ShiftOutputsRight(int row);
  void InsertColumnAtCursor(int row);
  bool DeleteColumn(int col);
  void ClearLadder();

  // ---- Cell clipboard (ladder_clipboard.cpp) ----

  void CopyRegion();
  void PasteRegion();

  // Every text a ladder file can carry: no double quote, no line break.
  static bool IsStorableText(std::string_view text);

 private:
  void Repaint() { Ui().Repaint(); }
  void ClearJoin();
  void ResizeMatrix(int rows, int cols);
  void SetColumnWidths(int from, int width);
  // The register lookup, or not found without a device.
  TLadderRegister LookupRegister(const std::string& operand) const;

  TLadderUi* ui_ = nullptr;  // null: the silent one (keeps copies of the grid safe)
  mutable TSilentLadderUi silent_;
};

}  // namespace ferrolad
