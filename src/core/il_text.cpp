#include "core/il_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

namespace ferrolad {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

// Direct callers may leave a "//" comment behind the instruction.
bool NothingLeft(std::string_view rest) { return rest.empty() || (rest.size() >= 2 && rest.starts_with("//")); }

}  // namespace

int ParseLine(std::string_view text, TInstructionRecord& record) {
  record.fill(0);
  std::string_view rest = SkipBlanks(text);
  if (rest.empty()) return ParseWrongCommand;
  const std::string_view mnemonic = LineMnemonic(rest);
  const int index = FindInstructionIndexByName(mnemonic);
  if (index == 0) return ParseWrongCommand;
  const TInstructions& entry = InstructionCatalogue()[static_cast<size_t>(index)];
  StoreInstructionCode(record, entry.Code);
  const int n = OperandCount(entry);
  rest = SkipBlanks(rest.substr(mnemonic.size()));
  if (n == 0) return NothingLeft(rest) ? ParseOk : ParseTextAfterNoOperands;
  for (int k = 1; k <= n; ++k) {
    rest = SkipBlanks(rest);
    if (rest.empty()) return ParseMissingOperands;
    const auto parsed = ParseOperand(rest, entry.LinkClass);
    if (!parsed || !ValidateOperand(parsed->Operand, k, entry)) return k;
    StoreOperand(record, k, parsed->Operand);
    rest.remove_prefix(parsed->Length);
  }
  rest = SkipBlanks(rest);
  return NothingLeft(rest) ? ParseOk : ParseTextAfterLastOperand;
}

int ParseLine(std::string_view text) {
  TInstructionRecord record;
  return ParseLine(text, record);
}

TLineClass ClassifyLine(std::string_view line) {
  const std::string_view rest = SkipBlanks(line);
  if (rest.empty()) return {TLineKind::Empty, 0};
  if (rest.starts_with("//") || rest.front() == ';') return {TLineKind::Comment, 0};
  size_t cut = rest.size();
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == ';' || (rest[i] == '/' && i + 1 < rest.size() && rest[i + 1] == '/')) {
      cut = i;
      break;
    }
  }
  const int code = ParseLine(rest.substr(0, cut));
  return {code == ParseOk ? TLineKind::Instruction : TLineKind::Wrong, code};
}

std::string WrongLineMark(int code) {
  if (code >= 1 && code <= 4) {
    std::string mark = "// wrong parameter ";
    mark.append(std::to_string(code)).append(": -> ");
    return mark;
  }
  if (code == ParseMissingOperands) return "// wrong parameters number: -> ";
  if (code == ParseWrongCommand) return "// wrong command: -> ";
  return "";
}

std::string ParseResultText(int code) {
  if (code == ParseTextAfterNoOperands) return "text after an instruction without operands: -> ";
  if (code == ParseTextAfterLastOperand) return "text after the last operand: -> ";
  return WrongLineMark(code);
}

void CleanUp(std::vector<std::string>& lines, TCleanUpMode mode) {
  size_t i = 0;
  while (i < lines.size()) {
    const TLineClass c = ClassifyLine(lines[i]);
    if (c.Kind == TLineKind::Empty) {
      lines.erase(lines.begin() + static_cast<long>(i));
      continue;
    }
    if (c.Kind == TLineKind::Wrong && c.Code >= 1 && c.Code <= 6) {
      if (mode == TCleanUpMode::Clear) {
        lines.erase(lines.begin() + static_cast<long>(i));
        continue;
      }
      lines[i].insert(0, WrongLineMark(c.Code));
    }
    ++i;
  }
}

namespace {

// The number shown in a number line ("12->  " → 12); -1 when the line holds no number.
long NumberOfNumberLine(const std::string& line, bool& blank) {
  std::string t;
  for (size_t i = 0; i < line.size();) {
    if (line.compare(i, 4, "->  ") == 0) {
      i += 4;
    } else if (line[i] == ' ') {
      ++i;
    } else {
      t += line[i++];
    }
  }
  blank = t.empty();
  long n = 0;
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
  if (ec != std::errc() || p != t.data() + t.size() || n < 0) return -1;
  return n;
}

}  // namespace

bool UpdateLineNumbers(const std::vector<std::string>& lines, TLineNumbering& numbering, size_t first,
                       bool manual) {
  std::vector<std::string>& nums = numbering.Nums;
  const size_t n = lines.size();
  if (first == 0) nums.clear();
  if (!manual && static_cast<long long>(n) > numbering.Limit) return false;
  if (nums.size() > n) nums.resize(n);
  first = std::min(first, n);
  nums.resize(n, std::string(1, ' '));
  long counter = 0;
  if (first > 0) {
    for (size_t i = first; i < n; ++i) nums[i].assign(1, ' ');
    for (size_t j = std::min(first, n - 1) + 1; j-- > 0;) {
      bool blank = false;
      const long shown = NumberOfNumberLine(nums[j], blank);
      if (!blank) {
        counter = shown < 0 ? 0 : shown + 1;
        break;
      }
    }
  }
  for (size_t i = first; i < n; ++i) {
    if (ClassifyLine(lines[i]).Kind == TLineKind::Instruction) {
      nums[i] = std::to_string(counter++);
      nums[i].append("->  ");
    } else {
      nums[i].assign(1, ' ');
    }
  }
  numbering.LastCount = n;
  return true;
}

size_t NumberingStartLine(size_t caretLine, const TLineNumbering& numbering, size_t lineCount) {
  if (numbering.Nums.empty()) return 0;
  const long long c = static_cast<long long>(caretLine);
  const long long shifted = c + static_cast<long long>(numbering.LastCount) - static_cast<long long>(lineCount) - 1;
  const long long start = std::min(shifted, c - 1);
  return start < 0 ? 0 : static_cast<size_t>(start);
}

int ReadNumberingLimit(std::string& text) {
  std::string_view t = text;
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  int limit = 0;
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), limit);
  if (t.empty() || ec != std::errc() || p != t.data() + t.size()) {
    text = std::to_string(kDefaultAutoEnumerateLimit);
    return kDefaultAutoEnumerateLimit;
  }
  return limit;
}

long InstructionLineIndex(const std::vector<std::string>& lines, long e) {
  long skipped = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty() || lines[i].starts_with("//")) ++skipped;
    if (static_cast<long>(i) - skipped == e) return static_cast<long>(i);
  }
  return -1;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') {
      lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

namespace {

bool ReadWholeFile(const std::string& path, std::string& content, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  content.clear();
  char buf[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    content.append(buf, static_cast<size_t>(got));
  }
  ::close(fd);
  return true;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, std::string& error) {
  std::string content;
  if (!ReadWholeFile(path, content, error)) return false;
  lines = SplitLines(content);
  return true;
}

bool LoadProgram(const std::string& path, std::vector<std::string>& lines, bool append, std::string& error) {
  std::vector<std::string> read;
  if (!ReadTextLines(path, read, error)) return false;
  if (!append) lines.clear();
  for (auto& l : read) {
    if (!l.empty()) lines.push_back(std::move(l));
  }
  return true;
}

bool SaveProgram(const std::string& path, const std::vector<std::string>& lines, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target(path);
  // Saving through a link replaces the file it points to, not the link.
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::canonical(target, ec);
    if (!ec) target = resolved;
  }
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");

  std::string data;
  size_t total = 0;
  for (const auto& l : lines) total += l.size() + 2;
  data.reserve(total);
  for (const auto& l : lines) data.append(l).append("\r\n");

  static std::atomic<unsigned> serial{0};
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    std::string name(1, '.');
    name.append(target.filename().string()).append(".tmp").append(std::to_string(::getpid()));
    name.append(1, '-').append(std::to_string(serial++));
    tmp = (dir / name).string();
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    error = std::strerror(savedErrno);
    return false;
  }
  return true;
}

}  // namespace ferrolad
