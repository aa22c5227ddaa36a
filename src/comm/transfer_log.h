// The transfer log: what the log window shows, its automatic and manual saving, and the
// compilation log "debug.log".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "comm/log_sink.h"
#include "core/common_datas.h"
#include "core/main_thread.h"

namespace ferrolad {

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
using LocalClock = std::function<LocalDateTime()>;
LocalDateTime SystemLocalTime();

std::string LogDateText(const LocalDateTime& t);  // "09.12.2026"
std::string LogTimeText(const LocalDateTime& t);  // "08:33:50"
std::string LogFileName(const LocalDateTime& t);  // "09-12-2026 08-33-50.txt"

// The text a log line of `kind` shows for `text` (Str lines carry the date and time).
std::string LogEntryLine(int kind, const std::string& text, const LocalDateTime& now);

// Lives as long as the program; create it after the settings file has been read (automatic saving
// starts from SaveLog). Everything but PostLogEntry and AddLogLine runs on the main thread.
class TransferLog final : public TransferLogSink {
 public:
  TransferLog(TCommonDatas& settings, MainThread& mainThread, LocalClock clock = SystemLocalTime);

  void PostLogEntry(LogEntryKind kind, std::string text) override;
  void AddLogLine(std::string text) override;

  // Adds a kinded entry now (main thread); saves and empties first when the log holds more than
  // LinesToLog lines and automatic saving is on.
  void AddLogEntry(int kind, const std::string& text);
  void Clear();  // btnClearClick
  // Writes the lines to LogPath/logs/<date time>.txt; an automatic save also empties the log.
  // Returns whether the file was written.
  bool SaveLogToFile(bool automatic = false);
  // Appends text + CR LF to LogPath/debug.log when AddCompilationInfoToLog is on; a file that cannot
  // be opened turns that option off.
  void WriteDebugLog(const std::string& text);

  const std::vector<std::string>& Lines() const { return lines_; }
  const std::string& LastSend() const { return lastSend_; }
  const std::string& LastRecv() const { return lastRecv_; }
  bool AutoSaveLog() const { return autoSaveLog_; }
  bool ErrMsgPanelVisible() const { return errMsgVisible_; }
  const std::string& ErrMsgPanelCaption() const { return errMsgCaption_; }
  std::string LogFolder() const;     // LogPath + "/logs" ("logs" in the working directory when empty)
  std::string DebugLogPath() const;  // LogPath + "/debug.log"

  // Called on the main thread after every change; `scrollToEnd` is true when a kinded entry was added.
  void SetOnChanged(std::function<void(bool scrollToEnd)> fn) { onChanged_ = std::move(fn); }

 private:
  void AppendText(const std::string& text);
  void Changed(bool scroll) {
    if (onChanged_) onChanged_(scroll);
  }

  TCommonDatas& settings_;
  MainThread& main_;
  LocalClock clock_;
  std::vector<std::string> lines_;
  std::string lastSend_, lastRecv_;
  bool autoSaveLog_;
  bool errMsgVisible_ = false;
  std::string errMsgCaption_ = "Can not create folder \"logs\"";
  std::function<void(bool)> onChanged_;
};

}  // namespace ferrolad
