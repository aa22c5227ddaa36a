#include "core/settings_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ferrolad {

namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A numeric setting inside [lo, hi]; more than nine digits is out of every range anyway.
std::optional<int32_t> NumberSetting(const std::vector<std::string>& lines, std::string_view key, int32_t lo,
                                     int32_t hi) {
  auto text = FindSetting(lines, key, true);
  if (!text) return std::nullopt;
  size_t first = text->find_first_not_of('0');
  std::string_view digits = first == std::string::npos ? std::string_view("0") : std::string_view(*text).substr(first);
  if (digits.size() > 9) return std::nullopt;
  int32_t v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

std::optional<std::string> FindSetting(const std::vector<std::string>& lines, std::string_view key, bool numeric) {
  std::string prefix;
  prefix.reserve(key.size() + 3);
  prefix.append(1, '<').append(key).append(">=");
  std::optional<std::string> found;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    found = line.substr(prefix.size());
  }
  if (found && numeric && !AllDigits(*found)) return std::nullopt;
  return found;
}

std::string ExpandEnvironment(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    size_t close = text.find('%', i + 1);
    if (close == std::string_view::npos) break;  // unterminated: the rest is dropped
    std::string name(text.substr(i + 1, close - i - 1));
    if (!name.empty()) out += Env(name.c_str());
    i = close + 1;
  }
  return out;
}

std::vector<std::string> SettingsFileCandidates() {
  std::vector<std::string> paths;
  const std::string tail = "/Orvane/Ferrolad/ferrolad.txt";
  if (const char* appdata = std::getenv("APPDATA")) {
    paths.push_back(std::string(appdata) + tail);
  } else {
    std::string base = Env("XDG_CONFIG_HOME");
    if (base.empty()) {
      std::string home = Env("HOME");
      if (!home.empty()) base = home + "/.config";
    }
    if (!base.empty()) paths.push_back(base + tail);
  }
  paths.push_back("ferrolad.txt");
  return paths;
}

bool LoadLines(const std::string& path, std::vector<std::string>& lines) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return false;
  const std::string text = content.str();
  lines.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

void ApplySettingLines(const std::vector<std::string>& lines, TCommonDatas& s) {
  if (auto v = NumberSetting(lines, "COMPORT_TIMEOUT_READ", 1, 100)) s.SetComReadTimeout(*v);
  if (auto v = NumberSetting(lines, "COMPORT_TIMEOUT_HANDLE", 10, 100)) s.SetComHandleTimeout(*v);
  if (auto v = NumberSetting(lines, "RESPONSE_HANDLE_TIMEOUT1", 10, 100)) s.SetResponseTimeout1(*v);
  if (auto v = NumberSetting(lines, "RESPONSE_HANDLE_TIMEOUT2", 30, 1000)) s.SetResponseTimeout2(*v);
  if (auto v = NumberSetting(lines, "CYCLE_READ_DELAY", 10, 1000)) s.SetGeneralTimeout(*v);
  if (auto v = NumberSetting(lines, "GENERAL_TIMEOUT", 1, 200)) s.SetGeneralTimeout(*v);
  if (auto v = NumberSetting(lines, "STATE_REQ", 100, 5000)) s.SetTimerGetStateInterval(*v);
  if (auto v = NumberSetting(lines, "READ_ATTEMPTS", 1, 10)) s.SetReadAttempts(*v);
  auto saveLog = FindSetting(lines, "SAVE_LOG", false);
  s.SetSaveLog(saveLog && *saveLog == "1");
  auto writeLog = FindSetting(lines, "WRITE_LOG", false);
  s.SetWriteLog(!writeLog || *writeLog == "1");
  if (auto v = NumberSetting(lines, "LINES_TO_LOG", 100, 1000)) s.SetLinesToLog(*v);
  if (auto v = FindSetting(lines, "LOG_PATH", false)) s.SetLogPath(ExpandEnvironment(*v));
  auto slow = FindSetting(lines, "SLOW", false);
  if (slow && *slow == "1") {
    s.SetSlowMode(true);
    // A read of 0 registers never ends and more than 125 do not fit a Modbus answer.
    if (auto v = NumberSetting(lines, "MAX_READ_REGISTERS", 1, 125)) s.SetMaxReadRegisters(*v);
  }
}

std::optional<std::string> ReadSettingsFile(TCommonDatas& settings) {
  for (const auto& path : SettingsFileCandidates()) {
    std::vector<std::string> lines;
    if (!LoadLines(path, lines)) continue;
    ApplySettingLines(lines, settings);
    return path;
  }
  return std::nullopt;
}

}  // namespace ferrolad
