// ferrolad-cli ladder show FILE: the diagram as text, one line per row, so it can be read and diffed.
#include <algorithm>
#include <ostream>

#include "cli/cli_commands.h"
#include "ladder/ladder_file.h"

namespace ferrolad::cli {

namespace {

constexpr size_t kFieldWidth = 14;

// Reports bad cell lines and skips them, so the rest of the diagram still shows.
class CliLadderUi : public TLadderUi {
 public:
  explicit CliLadderUi(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& text) override { err_ << text << "\n"; }
  bool AskYesNo(const std::string& q) override {
    err_ << q << " -> no\n";
    return false;
  }
  bool AskOkCancel(const std::string& q) override {
    err_ << q << " -> skipped\n";
    return true;
  }

 private:
  std::ostream& err_;
};

// One cell: a link mark on its left edge, then the element and its operand.
//   '#' rail   '|' link through   '\'' link from above   '.' link downwards
//   "LD X0", "OUT Y0", "[MOV" ... "D361]", "-" filling for a line, "Label" cells show "P 1".
std::string CellText(const TLadderGrid& g, int r, int c) {
  const TLDMCell& cell = g.Cell(r, c);
  const std::string& l = cell.Layers;
  char mark = ' ';
  const bool down = LayersContain(l, ekVLine1);
  const bool up = LayersContain(l, ekVLine2);
  if (LayersContain(l, ekCommonBus)) {
    mark = '#';
  } else if (down && up) {
    mark = '|';
  } else if (up) {
    mark = '\'';
  } else if (down) {
    mark = '.';
  }
  std::string text;
  const int kind = g.ElementKindAt(r, c);
  const bool end = LayersContain(l, ekInstrEnd) || LayersContain(l, ekTransEnd);
  switch (kind) {
    case ekLD:
    case ekLDI:
    case ekLDF:
    case ekLDP:
    case ekOUT:
      text = ElementToken(kind);
      text += ' ';
      text += cell.Value;
      break;
    case ekINV:
      text = "INV";
      break;
    case ekTransStart:
    case ekInstrStart:
      text = '[';
      text += cell.Value;
      break;
    case ekLabel:
      text = cell.Value;
      break;
    case ekEmpty:
      text = cell.Value;
      break;
    default:  // operand cells
      text = cell.Value;
      break;
  }
  if (end) text += "]";
  std::string field(1, mark);
  field += text;
  const char fill = LayersContain(l, ekHLine) ? '-' : ' ';
  if (fill == '-' && !text.empty()) field += ' ';
  if (field.size() > kFieldWidth) field.resize(kFieldWidth);
  field.append(kFieldWidth - field.size(), fill);
  return field;
}

}  // namespace

int CmdLadder(const Args& args, std::ostream& out, std::ostream& err) {
  // Global options are handed to every command; this one needs none of them.
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" || args[i] == "--id" || args[i] == "--sim-model") {
      ++i;
    } else if (args[i] != "-v" && args[i] != "--verbose") {
      rest.push_back(args[i]);
    }
  }
  if (rest.size() != 2 || rest[0] != "show") {
    err << "Usage: ferrolad-cli ladder show FILE\n";
    return 2;
  }
  const std::string& name = rest[1];
  CliLadderUi ui(err);
  TLadderGrid grid(&ui);
  const TLadderLoadResult result = LoadLadderFile(grid, name);
  if (result != TLadderLoadResult::Loaded) {
    if (result == TLadderLoadResult::Ignored) err << "File error: " << name << "\n";
    return 2;
  }
  out << "rows " << grid.RowCount << ", columns " << grid.ColCount << "\n";
  std::string header = "     ";
  for (int c = LabelColumn; c < grid.ColCount; ++c) {
    std::string h = c == LabelColumn ? "label" : std::to_string(c - LabelColumn);
    header += ' ';
    header += h;
    header.append(kFieldWidth - 1 - std::min(h.size(), kFieldWidth - 1), ' ');
  }
  while (!header.empty() && header.back() == ' ') header.pop_back();
  out << header << "\n";
  for (int r = 0; r < grid.RowCount; ++r) {
    std::string row(1, 'R');
    row += std::to_string(r);
    row.append(row.size() < 5 ? 5 - row.size() : 1, ' ');
    for (int c = LabelColumn; c < grid.ColCount; ++c) row += CellText(grid, r, c);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    out << row << "\n";
  }
  // Box descriptions, once per box.
  for (int r = 0; r < grid.RowCount; ++r) {
    for (int c = FirstColumn; c < grid.ColCount; ++c) {
      if (grid.IsBoxStartCell(r, c) && !grid.Cell(r, c).Cmd.empty()) {
        out << "R" << r << " C" << (c - LabelColumn) << ": " << grid.Cell(r, c).Cmd << "\n";
      }
    }
  }
  return 0;
}

}  // namespace ferrolad::cli
