#include "device/program_reading.h"

#include <algorithm>

namespace ferrolad {

std::string ReadResultComment(uint8_t resultCode) {
  switch (resultCode) {
    case ReadResultNoEnd: return "//Program reading error. There is not end of the user program.";
    case ReadResultUndecodable:
      return "//Program reading error. There is a wrong or unknown command in the user program.";
    case ReadResultFailed: return "//Program reading error.";
    default: return "";
  }
}

void TFastReadingProcess::Reset() {
  Active = false;
  ProgramType = 0;
  NextLine = 0;
  PacketLines = kLinesPerPacket;
  LinesInPacket = 0;
  LinesThroughPacket = 0;
  DecodedInPacket = 0;
  EndFound = false;
  Done = false;
  Data.clear();
  Instructions.clear();
  MaxLines = 0;
  ResultCode = ReadResultNone;
  SectorReady = false;
}

void TFastReadingProcess::OnLineCount(uint16_t lines) {
  std::lock_guard lock(Lock);
  if (!Active) return;
  LinesInPacket = static_cast<uint8_t>(lines > 255 ? 255 : lines);
  LinesThroughPacket = NextLine + LinesInPacket;
  Data.clear();
}

void TFastReadingProcess::OnSectorData(const TBytesArray& responseBytes) {
  std::lock_guard lock(Lock);
  if (!Active || responseBytes.size() < 3) return;
  // Slave ID, function, byte count, then the register data.
  const size_t count = std::min<size_t>(responseBytes[2], responseBytes.size() - 3);
  Data.insert(Data.end(), responseBytes.begin() + 3, responseBytes.begin() + 3 + static_cast<long>(count));
  SectorReady = true;
}

void TFastReadingProcess::ClearSectorReady() {
  std::lock_guard lock(Lock);
  SectorReady = false;
}

void SetReadingDisplay(TProgramReadingView& view, bool on) {
  view.pnlProgramReadingVisible = on;
  if (on) {
    view.MemoILColor = TEditorColor::Silver;
  } else {
    view.MemoILColor = view.DebugMode ? TEditorColor::LightBlue : TEditorColor::White;
  }
}

std::string TotallyLine(long n, const std::string& tail) {
  return "//Totally " + std::to_string(n) + (n == 1 ? " command was" : " commands were") + tail;
}

void ShowReadProgram(const TFastReadingProcess& reading, bool dataArrived, TProgramReadingView& view) {
  std::vector<std::string>& memo = view.MemoIL;
  if (!dataArrived) {
    memo.push_back("Unable to read the program. Update settings in the application file \"ferrolad.txt\"");
    memo.push_back("The program was not read completely.");
  }
  for (const TDebugInstruction& i : reading.Instructions) memo.push_back(i.Text);
  if (view.DebugMode) {
    for (size_t k = 0; k < reading.Instructions.size(); ++k) view.MemoParamValues.push_back(" ");
  }
  if (reading.ResultCode == ReadResultSuccess) {
    const long delivered = static_cast<long>(reading.DecodedInPacket) + reading.LinesThroughPacket -
                           static_cast<long>(reading.LinesInPacket);
    const long decoded = static_cast<long>(reading.Instructions.size());
    memo.push_back(TotallyLine(delivered, " read from the controller"));
    view.MemoParamValues.push_back(" ");
    if (decoded != delivered) {
      memo.push_back(TotallyLine(decoded, " successfully converted"));
      memo.push_back(
          "//Commands quantities are differ. The list above does not contain a complete instruction set.");
      memo.push_back(
          "//Try again. If the error repeats, it is recommended to change timeout settings and repeat reading.");
      for (int k = 0; k < 3; ++k) view.MemoParamValues.push_back(" ");
      if (view.DebugMode) {
        memo.push_back("//Debugging is impossible.");
        view.DebuggingImpossible = true;
      }
    }
  }
}

TDownloadDecision DecideDownload(bool readingActive, bool editorEmpty, bool readingSupported,
                                 const std::function<bool()>& askClear) {
  TDownloadDecision d;
  if (readingActive) {
    d.Step = TDownloadStep::Busy;
    return d;
  }
  if (!editorEmpty) {
    if (!askClear || !askClear()) {
      d.Step = TDownloadStep::Cancelled;
      d.Message = "User program was not read. The commands list is not empty.";
      return d;
    }
    d.ClearEditor = true;
  }
  if (!readingSupported) {
    d.Step = TDownloadStep::Unsupported;
    d.Message = "User program reading is not supported for this version of the firmware ";
    return d;
  }
  return d;
}

}  // namespace ferrolad
