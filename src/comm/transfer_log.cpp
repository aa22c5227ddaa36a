#include "comm/transfer_log.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace ferrolad {

namespace fs = std::filesystem;

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// Writes through a temporary file in the same folder so a failed save leaves no half file behind.
bool WriteLinesAtomically(const fs::path& path, const std::vector<std::string>& lines) {
  fs::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const auto& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      out.close();
      std::error_code ec;
      fs::remove(tmp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) {
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace

LocalDateTime SystemLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string LogDateText(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
  return buf;
}

std::string LogTimeText(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

std::string LogFileName(const LocalDateTime& t) {
  std::string name = LogDateText(t) + " " + LogTimeText(t);
  for (char& c : name) {
    if (c == '.' || c == ':') c = '-';
  }
  return name + ".txt";
}

std::string LogEntryLine(int kind, const std::string& text, const LocalDateTime& now) {
  switch (kind) {
    case static_cast<int>(LogEntryKind::Send): return " Send: " + text;
    case static_cast<int>(LogEntryKind::Recv): return " Recv: " + text;
    case static_cast<int>(LogEntryKind::Error): return "Error: " + text;
    case static_cast<int>(LogEntryKind::Str): return LogDateText(now) + " " + LogTimeText(now) + "Str: " + text;
    default: return {};
  }
}

TransferLog::TransferLog(TCommonDatas& settings, MainThread& mainThread, LocalClock clock)
    : settings_(settings), main_(mainThread), clock_(std::move(clock)), autoSaveLog_(settings.SaveLog()) {}

void TransferLog::PostLogEntry(LogEntryKind kind, std::string text) {
  main_.post([this, kind, text = std::move(text)] { AddLogEntry(static_cast<int>(kind), text); });
}

void TransferLog::AddLogLine(std::string text) {
  main_.runSync([this, &text] {
    AppendText(text);
    Changed(false);
  });
}

// A text with line breaks shows as several lines, as in a text control; a trailing break adds none.
void TransferLog::AppendText(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
  size_t start = 0;
  while (true) {
    size_t brk = text.find_first_of("\r\n", start);
    if (brk == std::string::npos || brk >= end) {
      lines_.push_back(text.substr(start, end - start));
      return;
    }
    lines_.push_back(text.substr(start, brk - start));
    start = brk + ((text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1);
  }
}

void TransferLog::AddLogEntry(int kind, const std::string& text) {
  if (autoSaveLog_ && lines_.size() > static_cast<size_t>(settings_.LinesToLog())) SaveLogToFile(true);
  if (kind == static_cast<int>(LogEntryKind::Send)) {
    lastSend_ = text;
  } else {
    lastRecv_ = text;
  }
  AppendText(LogEntryLine(kind, text, clock_()));
  Changed(true);
}

void TransferLog::Clear() {
  lines_.clear();
  Changed(false);
}

std::string TransferLog::LogFolder() const {
  // With no LogPath the logs go to the working directory (the root of the drive is rarely writable).
  return JoinPath(settings_.LogPath(), "logs");
}

std::string TransferLog::DebugLogPath() const { return JoinPath(settings_.LogPath(), "debug.log"); }

bool TransferLog::SaveLogToFile(bool automatic) {
  const std::string folder = LogFolder();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) fs::create_directory(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    autoSaveLog_ = false;
    errMsgCaption_ = "Can not create folder \"logs\": " + folder;
    errMsgVisible_ = true;
    Changed(false);
    return false;
  }
  // Two saves in one second would share a name; a numbered name keeps the earlier file.
  const LocalDateTime now = clock_();
  std::string name = LogFileName(now);
  std::string path = JoinPath(folder, name);
  for (int n = 2; fs::exists(path, ec); ++n) {
    name = LogFileName(now);
    name.insert(name.size() - 4, " (" + std::to_string(n) + ")");
    path = JoinPath(folder, name);
  }
  if (!WriteLinesAtomically(path, lines_)) {
    AppendText("Error saving log to file: " + path);
    Changed(false);
    return false;
  }
  if (automatic) lines_.clear();
  AppendText("Transferring log is saved to file: " + path);
  Changed(false);
  return true;
}

void TransferLog::WriteDebugLog(const std::string& text) {
  if (!settings_.AddCompilationInfoToLog()) return;
  std::ofstream out(DebugLogPath(), std::ios::binary | std::ios::app);
  if (!out) {
    settings_.SetAddCompilationInfoToLog(false);
    return;
  }
  out << text << "\r\n";
}

}  // namespace ferrolad
