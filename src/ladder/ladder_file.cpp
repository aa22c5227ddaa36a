#include "ladder/ladder_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

namespace ferrolad {

namespace {

constexpr std::string_view kRowsKey = "RawCount=";
constexpr std::string_view kColsKey = "ColCount=";
constexpr std::string_view kSumKey = "CR=";

// Decimal integer with an optional sign, nothing else; 32-bit range.
bool ParseInt32(std::string_view s, int64_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i >= s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return false;
  }
  v = negative ? -v : v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  out = v;
  return true;
}

// Lines as a text list reads them: CR LF, LF or CR end a line; a final line end adds no line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Reads digits from pos; false when there are none. Large numbers saturate (they are refused later).
bool ReadNumber(std::string_view line, size_t& pos, int64_t& value) {
  const size_t start = pos;
  value = 0;
  while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
    if (value < 1000000000000LL) value = value * 10 + (line[pos] - '0');
    ++pos;
  }
  return pos > start;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

uint32_t LadderChecksum(std::string_view bytes) {
  uint32_t sum = 0;
  for (unsigned char c : bytes) sum += c;
  return sum;
}

std::string LadderFileText(const TLadderGrid& grid) {
  std::string out;
  out += std::string(kRowsKey) + std::to_string(grid.RowCount) + "\r\n";
  out += std::string(kColsKey) + std::to_string(grid.ColCount) + "\r\n";
  for (int r = 0; r < grid.RowCount; ++r) {
    for (int c = 0; c < grid.ColCount; ++c) {
      const TLDMCell& cell = grid.Cell(r, c);
      if (cell.Layers.empty() && cell.Value.empty()) continue;
      out += 'R';
      out += std::to_string(r);
      out += 'C';
      out += std::to_string(c);
      out += "=\"";
      out += cell.Layers;
      out += "\" value=\"";
      out += cell.Value;
      out += "\" cmd=\"";
      out += cell.Cmd;
      out += "\" lbl=\"";
      out += cell.Lbl;
      out += "\";\r\n";
    }
  }
  out += std::string(kSumKey) + std::to_string(static_cast<int32_t>(LadderChecksum(out)));
  return out;
}

bool ParseCellLine(std::string_view line, TCellLine& out) {
  const size_t len = line.size();
  if (len <= 16 || line[0] != 'R') return false;
  size_t pos = 1;
  if (!ReadNumber(line, pos, out.Row)) return false;
  if (pos >= len || line[pos] != 'C') return false;
  if (len < (pos + 1) + 14) return false;  // 1-based position of "C" plus 14
  ++pos;
  if (!ReadNumber(line, pos, out.Col)) return false;
  if (pos + 1 >= len || line[pos] != '=' || line[pos + 1] != '"') return false;
  if (len < (pos + 1) + 13) return false;  // 1-based position of "=" plus 13
  pos += 2;

  out.Layers.clear();
  std::string piece;
  size_t close = std::string_view::npos;
  for (; pos < len; ++pos) {
    if (line[pos] == '"') {
      close = pos;
      break;
    }
    piece.push_back(line[pos]);
    if (line[pos] == ';') {
      int code = 0;
      if (!ElementOfToken(piece, code)) return false;
      out.Layers += piece;
      piece.clear();
    }
  }
  if (close == std::string_view::npos) return false;

  // Each text starts right after its key, which must be the first occurrence of that key.
  auto readText = [&](std::string_view key, size_t at, std::string& text, size_t& end) {
    if (line.find(key) != at) return false;
    const size_t start = at + key.size();
    end = line.find('"', start);
    if (end == std::string_view::npos) return false;
    text.assign(line.substr(start, end - start));
    return true;
  };
  size_t end = 0;
  if (!readText("\" value=\"", close, out.Value, end)) return false;
  if (!readText("\" cmd=\"", end, out.Cmd, end)) return false;
  if (!readText("\" lbl=\"", end, out.Lbl, end)) return false;
  return true;
}

bool SaveLadderFile(TLadderGrid& grid, const std::string& path) {
  if (path.empty()) return false;
  for (const auto& row : grid.Cells) {
    for (const auto& cell : row) {
      if (!TLadderGrid::IsStorableText(cell.Layers) || !TLadderGrid::IsStorableText(cell.Value) ||
          !TLadderGrid::IsStorableText(cell.Cmd) || !TLadderGrid::IsStorableText(cell.Lbl)) {
        grid.Ui().ShowMessage("File error: " + path);
        return false;
      }
    }
  }
  const std::string text = LadderFileText(grid);
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    grid.Ui().ShowMessage("File error: " + path);
    return false;
  }
  // An existing file keeps its permissions; a new one gets those of an ordinary new file.
  struct stat existing{};
  if (::stat(path.c_str(), &existing) == 0) {
    ::fchmod(fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  const bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!ok || !closed || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    grid.Ui().ShowMessage("File error: " + path);
    return false;
  }
  return true;
}

TLadderLoadResult LoadLadderFile(TLadderGrid& grid, const std::string& path) {
  if (path.empty()) return TLadderLoadResult::Cancelled;
  std::ifstream in(path, std::ios::binary);
  struct stat st{};
  if (!in || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > MaxFileBytes) {
    grid.Ui().ShowMessage("File error: " + path);
    return TLadderLoadResult::Refused;
  }
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<size_t>(in.gcount()) != bytes.size()) {
    grid.Ui().ShowMessage("File error: " + path);
    return TLadderLoadResult::Refused;
  }
  return LoadLadderText(grid, bytes, path);
}

TLadderLoadResult LoadLadderText(TLadderGrid& grid, std::string_view bytes, const std::string& name) {
  const std::vector<std::string_view> lines = SplitLines(bytes);
  auto refuse = [&]() {
    grid.Ui().ShowMessage("File error: " + name);
    return TLadderLoadResult::Refused;
  };
  if (lines.empty()) return refuse();
  bool bad = lines.size() < 3;

  auto header = [&](std::string_view line, std::string_view key, int64_t& value) {
    if (line.substr(0, key.size()) != key || !ParseInt32(line.substr(key.size()), value) || value < 1) bad = true;
  };
  int64_t rows = 0;
  int64_t cols = 0;
  if (lines[0].size() < 10) return TLadderLoadResult::Ignored;
  header(lines[0], kRowsKey, rows);
  if (lines.size() < 2) return refuse();
  if (lines[1].size() < 10) return TLadderLoadResult::Ignored;
  header(lines[1], kColsKey, cols);
  if (!bad && (rows > MaxFileRows || cols > MaxFileColumns || cols < MinFileColumns || rows * cols > MaxFileCells)) {
    bad = true;
  }

  const std::string_view last = lines.back();
  int64_t stored = 0;
  if (last.substr(0, kSumKey.size()) != kSumKey || !ParseInt32(last.substr(kSumKey.size()), stored)) bad = true;
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) sum += LadderChecksum(lines[i]) + 13 + 10;
  if (sum != static_cast<uint32_t>(stored)) bad = true;
  if (bad) return refuse();

  grid.ClearLadder();
  const int w = grid.View.ColWidths[FirstColumn];
  grid.Cells.clear();
  grid.Cells.assign(static_cast<size_t>(rows), std::vector<TLDMCell>(static_cast<size_t>(cols)));
  grid.RowCount = static_cast<int>(rows);
  grid.ColCount = static_cast<int>(cols);
  grid.View.RowHeights.assign(static_cast<size_t>(rows), FixedRowHeight);
  grid.View.ColWidths.resize(static_cast<size_t>(cols), w);
  for (int c = LabelColumn; c < grid.ColCount; ++c) grid.View.ColWidths[static_cast<size_t>(c)] = w;

  for (size_t i = 2; i + 1 < lines.size(); ++i) {
    TCellLine cl;
    if (ParseCellLine(lines[i], cl) && cl.Row <= rows - 1 && cl.Col <= cols - 1) {
      TLDMCell& cell = grid.Cell(static_cast<int>(cl.Row), static_cast<int>(cl.Col));
      cell.Value = std::move(cl.Value);
      cell.Layers = std::move(cl.Layers);
      cell.Cmd = std::move(cl.Cmd);
      cell.Lbl = std::move(cl.Lbl);
      continue;
    }
    const std::string question = "Line " + std::to_string(i) + " error: " + std::string(lines[i]) + "! Continue?";
    if (!grid.Ui().AskOkCancel(question)) break;
  }
  for (int r = 0; r < grid.RowCount; ++r) {
    std::string& rail = grid.Cell(r, FirstColumn).Layers;
    if (!LayersContain(rail, ekCommonBus)) rail += "CommonBus;";
  }
  grid.CurRow = 0;
  grid.CurCol = FirstColumn;
  grid.SetScale(0);
  return TLadderLoadResult::Loaded;
}

}  // namespace ferrolad
