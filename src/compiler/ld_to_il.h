// Ladder diagram to instruction list.
//
// The compiler never builds a graph. It walks the grid, cuts each rung ("fragment") into horizontal
// runs of elements ("blocks"), and merges neighbouring blocks in series (AND / ANB) or in parallel
// (OR / ORB) into new, larger blocks until one block holds the whole rung. Splits into several
// output branches are tracked as branch points (TMPS) with one branch cell (TMRDCell) per row;
// temporary "MRDs<g>r<b>" markers are placed and finally reduced to MPS / MRD / MPP.
//
// Merges only ever append blocks; absorbed blocks stay in the list with `Join` naming the block
// that took them (0 = a complete output branch waiting to be combined). The grid is only read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ladder/ladder_grid.h"

namespace ferrolad {

struct TCellPos {
  int Row = 0;
  int Col = 0;
  bool operator==(const TCellPos&) const = default;
};

enum TBlockType : uint8_t {
  btUNDEF = 0,  // nothing collected yet, or bare line only
  btApply = 1,  // ends in an output
  btOR = 2,     // parallel chain in OR form
  btORB = 3,    // parallel join of two chains by ORB
  btAND = 4,    // series chain
  btLD = 5,     // a single load-form contact
  btMRD = 6,    // a branch of a branch point
};
std::string BlockTypeName(uint8_t type);

class TLDtoIL;
struct TFragment;
struct TMPS;

struct TBlock {
  TBlock(TFragment* fragment, int index, TCellPos start);  // writes "Start new block" to the log

  TFragment* Fragment;
  int Index;
  std::vector<std::string> Elems;  // instruction lines (mnemonic, tab, operand ...) or branch markers
  TCellPos StartCell;
  TCellPos EndCell;
  bool Finished = false;
  TBlockType BlockType = btUNDEF;
  int Join = -1;  // -1 unjoined; index of the absorbing block; 0 = pending output branch

  bool SingleRow() const { return StartCell.Row == EndCell.Row; }
};

struct TMRDCell {
  TFragment* Fragment = nullptr;
  TMPS* BranchPoint = nullptr;
  TCellPos Cell;
  bool Completed = false;
  bool Active = false;  // an output is reached from here along a horizontal path
  bool Open = true;
  int Index = 0;
  bool Grouped = false;  // its row is only the start of a larger parallel group, wrapped when whole
  bool ChainStart = false;  // a row of a parallel group: its chain starts afresh, in load form
};

struct TMPS {
  int Index = 0;
  TFragment* Fragment = nullptr;
  TCellPos Cell;
  std::vector<TMRDCell> MRDCells;  // 0 = the branch point itself, then the rows below
  TCellPos EndCell;
  bool Assembled = false;
};

struct TFragment {
  TLDtoIL* Owner = nullptr;
  TCellPos StartCell;
  TCellPos EndCell;
  bool Finished = false;
  std::vector<std::unique_ptr<TMPS>> MPSList;
  std::vector<std::unique_ptr<TBlock>> Blocks;  // [0] is a placeholder, never a merge partner
  int MaxBlocks = 1000;

  TBlock& Last() { return *Blocks.back(); }
};

// Records of the marker reduction passes.
struct TReductMPS {
  int GroupIndex = -1;
  int BranchIndex = -1;
  std::string Marker;
  int NewGroupIndex = -1;
  int NewBranchIndex = -1;
  std::string NewMarker;
  bool OutputsOnly = false;
  size_t Line = 0;  // where the marker stands in the block being reduced
};
struct TReductMPSStruct {
  std::vector<TReductMPS> Branches;  // indexed by branch; a slot with an empty Marker holds no record
  bool Keep = false;
};

// Receives one log message (which may span several CR LF separated lines); false = writing failed.
using TCompileLogSink = std::function<bool(const std::string& message)>;

struct TCompileOptions {
  int MaxBlocksInFragment = 1000;
  bool AddCompilationInfoToLog = false;
  // Where the log goes when it is on: a sink, or else the file LogFile (started afresh per run).
  TCompileLogSink Sink;
  std::string LogFile;
};

// The compilation log file inside LogPath ("debug.log" in the working directory when empty).
std::string DebugLogFile(const std::string& logPath);

class TLDtoIL {
 public:
  TLDtoIL(const TLadderGrid& grid, int maxBlocksInFragment, TCompileLogSink log = {});

  const TLadderGrid& Grid;
  int ErrorCode = 0;
  std::vector<std::unique_ptr<TFragment>> Fragments;
  TCellPos Cur;
  int FragmentCount = 0;
  std::string LastInstruction;
  TCellPos ErrorCell;  // Cur when the error was raised: the cell the user is shown

  void SetError(int code);
  void Log(const std::string& message);
  bool Logging() const { return static_cast<bool>(log_); }

  // ---- The run ----
  void Compile();
  TFragment& NewFragment(int row);
  bool CompileFragment(TFragment& f);
  bool AddMarkInstruction(TFragment& f);

  // ---- Blocks and elements ----
  TBlock& AppendBlock(TFragment& f, TCellPos start);
  bool AddElement(TBlock& b, TCellPos cell, int& width);
  bool Assemble(TBlock& b);
  TBlock* NearestUnjoinedBlock(TFragment& f, int index);
  const TInstructions& InstructionForCell(int row, int col) const;

  // ---- Series and parallel merging ----
  bool LeftPathConnects(const TBlock& a, const TBlock& b) const;
  bool RightPathConnects(const TBlock& a, const TBlock& b) const;
  bool ORBlockAbove(TFragment& f, const TBlock& b);
  bool CombineOR(TFragment& f, int index);
  bool ORBlockBelow(TFragment& f, const TBlock& a, TCellPos& lower);
  bool IsBareLineAhead(TFragment& f, int row, int col);
  bool ANDBlockAtLeft(TFragment& f, const TBlock& b);
  bool CombineAND(TFragment& f, int index);

  // ---- Branch points ----
  bool IsBranchPoint(int row, int col) const;
  bool IsBranchExit(int row, int col) const;
  bool AddMPS(TFragment& f, TCellPos cell);
  bool FindBranches(TMPS& mps);
  TMPS* FindMPSAt(TFragment& f, TCellPos cell);
  TMRDCell* FindMRDCell(TFragment& f, TCellPos cell, bool openOnly = false);
  TMRDCell* FindMRDForBlock(const TBlock& b) { return FindMRDCell(*b.Fragment, b.StartCell); }
  bool MakeMRDBlock(TFragment& f, int index);
  bool TwoBranchesExist(TFragment& f, int& a, int& b);
  bool CombineBranches(TFragment& f, int a, int b);
  TMRDCell* GetNextMRDCell(TFragment& f);
  bool AssembleMPS(TFragment& f);

  // ---- Log texts ----
  static std::string BlockDump(const TBlock& b);
  static std::string MPSDump(const TMPS& m);
  static std::string BranchLine(const TMRDCell& m);

 private:
  bool DeleteSingleMRD(TFragment& f, const TBlock& p, std::vector<std::string>& out);
  bool ReduceEmptyMRD(const TBlock& p, std::vector<std::string>& out);
  bool DeleteNeedlessMRD(const TBlock& p, std::vector<std::string>& out);
  bool RenameMRD(const TBlock& p, std::vector<std::string>& out);
  // Any vertical link from row-1 into row between columns from..to (the only way a path climbs).
  bool RowLinkedAbove(int row, int from, int to) const;
  // The highest row a path from a branch cell reaches right of the cell's column.
  int HighestRowReached(TCellPos cell) const;

  int maxBlocks_;
  TCompileLogSink log_;
};

// Series and parallel forms of the first line of a chain (first occurrence only).
std::string AndForm(std::string_view line);
std::string OrForm(std::string_view line);

// A branch marker "MRDs<g>r<b>" (any "active" removed first).
bool ParseMRDMarker(std::string_view line, int& group, int& branch);
inline bool IsMRDMarker(std::string_view line) { return line.find("MRD") != std::string_view::npos; }

// Whether every ANB / ORB and MRD / MPP of one rung's lines finds its operand, every MPS is
// popped again and no output leaves a loaded chain uncombined.
bool StackUseHolds(const std::vector<std::string>& lines);

// Message of an error code without the position suffix; "" for 0.
std::string CompileErrorText(int code);

struct TCompileResult {
  int ErrorCode = 0;
  std::string Message;              // what the message box shows
  std::vector<std::string> Lines;   // the instruction list, "END" last; empty on failure
  int FragmentCount = 0;            // fragments compiled (before the failing one)
  TCellPos ErrorCell;               // the cell to select when ErrorCode > 0
  bool Empty = false;               // no rung found: "Table is empty"
  bool Ok() const { return ErrorCode == 0 && !Empty; }
};

// One run over the grid ("Compile LD to IL"). Never changes the grid's cells; clears the
// motor-control blocks' join memory like any compile does.
TCompileResult CompileLadder(const TLadderGrid& grid, const TCompileOptions& options = {});

}  // namespace ferrolad
