// ferrolad-cli compile FILE.ld [-o FILE.il] [--log debug.log]: a ladder diagram file to instruction list.
#include <ostream>

#include "cli/cli_commands.h"
#include "compiler/ld_to_il.h"
#include "core/il_text.h"
#include "ladder/ladder_file.h"

namespace ferrolad::cli {

namespace {

// Reports what the file reader would show in a message box; bad cell lines are not skipped:
// compiling a diagram with cells left out would give a program the user never drew.
class CompileLadderUi : public TLadderUi {
 public:
  explicit CompileLadderUi(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& text) override { err_ << text << "\n"; }
  bool AskYesNo(const std::string& q) override {
    err_ << q << "\n";
    return false;
  }
  bool AskOkCancel(const std::string& q) override {
    err_ << q << "\n";
    return false;
  }

 private:
  std::ostream& err_;
};

int Usage(std::ostream& err) {
  err << "Usage: ferrolad-cli compile FILE.ld [-o FILE.il] [--log debug.log]\n";
  return 2;
}

}  // namespace

int CmdCompile(const Args& args, std::ostream& out, std::ostream& err) {
  std::string input;
  std::string output;
  std::string log;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--output" || a == "--log") {
      if (i + 1 >= args.size()) return Usage(err);
      (a == "--log" ? log : output) = args[++i];
    } else if (a == "--port" || a == "--id" || a == "--sim-model") {
      ++i;  // global options of other commands
    } else if (a == "-v" || a == "--verbose") {
    } else if (!a.empty() && a[0] == '-') {
      err << "ferrolad-cli compile: unknown option " << a << "\n";
      return Usage(err);
    } else if (input.empty()) {
      input = a;
    } else {
      return Usage(err);
    }
  }
  if (input.empty()) return Usage(err);

  CompileLadderUi ui(err);
  TLadderGrid grid(&ui);
  if (LoadLadderFile(grid, input) != TLadderLoadResult::Loaded) {
    err << "ferrolad-cli compile: cannot read " << input << "\n";
    return 2;
  }
  TCompileOptions options;
  if (!log.empty()) {
    options.AddCompilationInfoToLog = true;
    options.LogFile = log;
  }
  const TCompileResult r = CompileLadder(grid, options);
  if (!r.Ok()) {
    err << input << ": " << r.Message;
    if (r.ErrorCode > 0) {
      // Columns as the editor shows them: the rail is column 1.
      err << " (fragment " << r.FragmentCount + 1 << ", row " << r.ErrorCell.Row << ", column "
          << r.ErrorCell.Col - 2 << ")";
    }
    err << "\n";
    return 1;
  }
  if (output.empty()) {
    for (const auto& line : r.Lines) out << line << "\n";
    return 0;
  }
  std::string error;
  if (!SaveProgram(output, r.Lines, error)) {
    err << "ferrolad-cli compile: " << output << ": " << error << "\n";
    return 2;
  }
  out << r.Message << "\n";
  return 0;
}

}  // namespace ferrolad::cli
