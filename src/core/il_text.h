// Instruction-list text: line parsing and classes, wrong-line marks, clean-up, instruction numbering,
// loading and saving program files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/instruction_record.h"

namespace ferrolad {

// ParseLine results.
enum : int {
  ParseOk = 0,
  // 1..4: operand k is wrong
  ParseMissingOperands = 5,
  ParseWrongCommand = 6,
  ParseTextAfterNoOperands = 7,
  ParseTextAfterLastOperand = 9,
};

// Parses one instruction (comment already removed) and fills `record`; returns 0..7 or 9.
int ParseLine(std::string_view text, TInstructionRecord& record);
int ParseLine(std::string_view text);

enum class TLineKind { Empty, Comment, Instruction, Wrong };

struct TLineClass {
  TLineKind Kind = TLineKind::Empty;
  int Code = 0;  // ParseLine result for Instruction (0) and Wrong lines
};

TLineClass ClassifyLine(std::string_view line);

// Mark put in front of a wrong line by "Clean up" ("" for 7, 9 and 0).
std::string WrongLineMark(int code);
// Short English text of a code for reports: the mark without its arrow, or a sentence for 7 and 9.
std::string ParseResultText(int code);

enum class TCleanUpMode { Clear, Comment };
void CleanUp(std::vector<std::string>& lines, TCleanUpMode mode);

// The number column of the editor (one entry per program line: "<n>->  " or " ").
struct TLineNumbering {
  std::vector<std::string> Nums;
  int Limit = 500;        // automatic numbering limit L
  size_t LastCount = 0;   // line count of the last numbering
};

inline constexpr int kDefaultAutoEnumerateLimit = 500;

// Renumbers from line `first`. Without `manual`, nothing is numbered when the program has more lines
// than the limit. Returns false when it did nothing for that reason.
bool UpdateLineNumbers(const std::vector<std::string>& lines, TLineNumbering& numbering, size_t first,
                       bool manual = false);
// Start line for the debounced renumbering after an edit with the caret on line `caretLine`.
size_t NumberingStartLine(size_t caretLine, const TLineNumbering& numbering, size_t lineCount);
// Reads the limit text; a text that is not a number reads as 500 and is replaced in `text`.
int ReadNumberingLimit(std::string& text);
// Editor line of instruction number `e` (lines that are empty or start with "//" are not counted); -1 if none.
long InstructionLineIndex(const std::vector<std::string>& lines, long e);

// Splits text at LF, CR LF or CR; no line keeps a CR. A final line break adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// Reads a program file: empty lines dropped; replaces or appends to `lines`. On failure returns false,
// sets `error` to the system's text and leaves `lines` unchanged.
bool LoadProgram(const std::string& path, std::vector<std::string>& lines, bool append, std::string& error);
// Reads a file's raw lines (empty lines kept), for tools that report line numbers.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, std::string& error);
// Writes the lines with CR LF through a temporary file in the same folder, then renames it.
bool SaveProgram(const std::string& path, const std::vector<std::string>& lines, std::string& error);

}  // namespace ferrolad
