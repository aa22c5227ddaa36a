// The ladder file: "RawCount=" rows, "ColCount=" columns, one line per non-empty cell
//   R<row>C<col>="<layers>" value="<value>" cmd="<cmd>" lbl="<lbl>";
// and "CR=" followed by the byte sum of everything before it. Lines end with CR LF, the last has no
// line end. Texts are stored byte for byte, nothing is escaped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ladder/ladder_grid.h"

namespace ferrolad {

// Sizes a file may declare. Larger ones are refused before anything is allocated.
inline constexpr int64_t MaxFileRows = 10000;
inline constexpr int64_t MaxFileColumns = 100;
inline constexpr int64_t MaxFileCells = 200000;  // rows x columns
inline constexpr int64_t MinFileColumns = 5;     // rail and output column must differ
inline constexpr uint64_t MaxFileBytes = 64ull << 20;

// Sum of the byte values (0-255), as a 32-bit integer that wraps.
uint32_t LadderChecksum(std::string_view bytes);

// The whole file as it is written.
std::string LadderFileText(const TLadderGrid& grid);

struct TCellLine {
  int64_t Row = 0;
  int64_t Col = 0;
  std::string Layers;
  std::string Value;
  std::string Cmd;
  std::string Lbl;
};
// One cell line (without its line end); false for anything malformed or an unknown token.
bool ParseCellLine(std::string_view line, TCellLine& out);

enum class TLadderLoadResult {
  Loaded,     // the diagram was replaced (possibly skipping lines the user chose to skip)
  Cancelled,  // no file name given
  Ignored,    // a header line shorter than 10 characters: nothing changes, nothing is said
  Refused,    // "File error: " + name was shown; nothing changes
};

// Writes the grid to path through a temporary file in the same folder, then renames it, so a
// failure never leaves a partial file. "" means the dialog was cancelled. Shows "File error: " +
// path and returns false when it cannot write, or when a cell holds a text the format cannot carry.
bool SaveLadderFile(TLadderGrid& grid, const std::string& path);

// Reads, checks and loads path ("" = cancelled). Questions about bad cell lines go to the grid's ui.
TLadderLoadResult LoadLadderFile(TLadderGrid& grid, const std::string& path);
// The same for file contents already read; name is used in the messages.
TLadderLoadResult LoadLadderText(TLadderGrid& grid, std::string_view bytes, const std::string& name);

}  // namespace ferrolad
