// Program reading: the reading state shared by the reading thread and the response handling, the
// editor and reading display as a view model, the result comment lines and the final filling of the
// editor with the decoded program and its summary.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/read_record.h"
#include "core/rw_request.h"

namespace ferrolad {

inline constexpr int kLinesPerPacket = 15;
inline constexpr int kMainProgramMaxLines = 28912;
inline constexpr int kServiceProgramMaxLines = 1926;

// Result codes of a reading.
enum : uint8_t {
  ReadResultNone = 0,
  ReadResultSuccess = 1,
  ReadResultNoEnd = 2,
  ReadResultUndecodable = 3,
  ReadResultFailed = 4,
};

// The comment line a result code puts into the editor ("" for 0 and 1).
std::string ReadResultComment(uint8_t resultCode);

enum class TEditorColor : uint8_t { White, Silver, LightBlue };

// The instruction-list editor and the reading display of the main window.
struct TProgramReadingView {
  std::vector<std::string> MemoIL;           // editor lines
  std::vector<std::string> MemoParamValues;  // debugger column beside the program
  bool pnlProgramReadingVisible = false;     // "Program is reading, wait..."
  std::string lblProgramReadingCounter;      // "Commands: " n
  TEditorColor MemoILColor = TEditorColor::White;
  bool PageControlEnabled = true;            // off while a reading thread exists
  bool DebugMode = false;                    // the reading serves the debugger
  bool DebuggingImpossible = false;          // the debugger must end (incomplete program)
};

// Reading state. The reading thread and the response handling (window thread) both touch it, always
// under Lock.
class TFastReadingProcess {
 public:
  mutable std::mutex Lock;

  bool Active = false;
  uint8_t ProgramType = 0;
  int NextLine = 0;
  uint8_t PacketLines = kLinesPerPacket;
  uint8_t LinesInPacket = 0;
  int LinesThroughPacket = 0;
  uint8_t DecodedInPacket = 0;
  bool EndFound = false;
  bool Done = false;
  TBytesArray Data;
  std::vector<TDebugInstruction> Instructions;
  int MaxLines = 0;
  uint8_t ResultCode = ReadResultNone;
  bool SectorReady = false;  // window data arrived during the current transfer

  // Caller holds Lock.
  void Reset();

  // Window thread, from the response handling: READ_PROG_LINES_QTY answered.
  void OnLineCount(uint16_t lines);
  // Window thread: a read of the register window answered (bytes from the slave ID on).
  void OnSectorData(const TBytesArray& responseBytes);
  // Transfer thread, before each request.
  void ClearSectorReady();
};

// Switches the reading display on or off.
void SetReadingDisplay(TProgramReadingView& view, bool on);

// Fills the editor at the end of a reading (window thread). `dataArrived`: window data came in the
// last transfer.
void ShowReadProgram(const TFastReadingProcess& reading, bool dataArrived, TProgramReadingView& view);

// "//Totally " n " command was"/" commands were" + tail.
std::string TotallyLine(long n, const std::string& tail);

// What the "Download" button does before a reading starts.
enum class TDownloadStep { Start, Busy, Cancelled, Unsupported };
struct TDownloadDecision {
  TDownloadStep Step = TDownloadStep::Start;
  std::string Message;     // shown for Cancelled and Unsupported
  bool ClearEditor = false;
};
inline constexpr const char* kClearListQuestion = "The commands list is not empty. Clear it?";
// askClear is asked only when the editor holds text; true means Yes.
TDownloadDecision DecideDownload(bool readingActive, bool editorEmpty, bool readingSupported,
                                 const std::function<bool()>& askClear);

}  // namespace ferrolad
