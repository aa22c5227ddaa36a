// ferrolad-cli cleanup: the editor's "Clean up" on a file, written to standard output.
#include <ostream>

#include "cli/cli_commands.h"
#include "core/il_text.h"

namespace ferrolad::cli {

int CmdCleanup(const Args& args, std::ostream& out, std::ostream& err) {
  static const char* kUsage = "Usage: ferrolad-cli cleanup --clear|--comment FILE\n";
  int modes = 0;
  TCleanUpMode mode = TCleanUpMode::Clear;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--clear") {
      mode = TCleanUpMode::Clear;
      ++modes;
    } else if (a == "--comment") {
      mode = TCleanUpMode::Comment;
      ++modes;
    } else if (a == "-v" || a == "--verbose") {
      continue;
    } else if (a == "--port" || a == "--id" || a == "--sim-model") {
      ++i;
    } else if (a.size() > 1 && a[0] == '-') {
      err << "ferrolad-cli cleanup: unknown option " << a << '\n' << kUsage;
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (modes != 1 || files.size() != 1) {
    err << kUsage;
    return 2;
  }
  std::vector<std::string> lines;
  std::string error;
  if (!LoadProgram(files[0], lines, false, error)) {
    err << "ferrolad-cli cleanup: " << files[0] << ": " << error << '\n';
    return 2;
  }
  CleanUp(lines, mode);
  for (const auto& l : lines) out << l << '\n';
  return 0;
}

}  // namespace ferrolad::cli
