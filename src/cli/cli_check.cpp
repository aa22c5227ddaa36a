// ferrolad-cli check: reports the wrong lines of instruction-list files, optionally with the
// instruction numbers the editor shows.
#include <algorithm>
#include <ostream>

#include "cli/cli_commands.h"
#include "core/il_text.h"

namespace ferrolad::cli {

namespace {

// Options the dispatcher hands to every command; check has no use for them.
bool SkipGlobalOption(const Args& args, size_t& i) {
  const std::string& a = args[i];
  if (a == "-v" || a == "--verbose") return true;
  if (a == "--port" || a == "--id" || a == "--sim-model") {
    ++i;
    return true;
  }
  return false;
}

void PrintNumbered(const std::vector<std::string>& program, std::ostream& out) {
  TLineNumbering numbering;
  UpdateLineNumbers(program, numbering, 0, true);
  size_t width = 0;
  for (const auto& n : numbering.Nums) width = std::max(width, n.size());
  for (size_t i = 0; i < program.size(); ++i) {
    const std::string& n = numbering.Nums[i];
    out << std::string(width - n.size(), ' ') << n << program[i] << '\n';
  }
}

}  // namespace

int CmdCheck(const Args& args, std::ostream& out, std::ostream& err) {
  bool numbers = false;
  std::vector<std::string> files;
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsDone && a == "--") {
      optionsDone = true;
    } else if (!optionsDone && a == "--numbers") {
      numbers = true;
    } else if (!optionsDone && SkipGlobalOption(args, i)) {
      continue;
    } else if (!optionsDone && a.size() > 1 && a[0] == '-') {
      err << "ferrolad-cli check: unknown option " << a << "\nUsage: ferrolad-cli check [--numbers] FILE...\n";
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    err << "Usage: ferrolad-cli check [--numbers] FILE...\n";
    return 2;
  }

  int status = 0;
  std::ostream& report = numbers ? err : out;
  for (const auto& file : files) {
    std::vector<std::string> lines;
    std::string error;
    if (!ReadTextLines(file, lines, error)) {
      err << "ferrolad-cli check: " << file << ": " << error << '\n';
      status = 2;
      continue;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
      const TLineClass c = ClassifyLine(lines[i]);
      if (c.Kind != TLineKind::Wrong) continue;
      report << file << ':' << (i + 1) << ": " << c.Code << ": " << ParseResultText(c.Code) << lines[i] << '\n';
      if (status == 0) status = 1;
    }
    if (numbers) {
      if (files.size() > 1) out << file << ":\n";
      // The editor drops empty lines when it loads a file.
      std::vector<std::string> program;
      for (auto& l : lines) {
        if (!l.empty()) program.push_back(std::move(l));
      }
      PrintNumbered(program, out);
    }
  }
  return status;
}

}  // namespace ferrolad::cli
