#include <cstring>
#include <iostream>

#include "cli/cli.h"
#include "cli/cli_commands.h"

namespace ferrolad::cli {

const std::vector<CliCommand>& Commands() {
  // Add one row per command; keep the list in the order a user would look for them.
  static const std::vector<CliCommand> table = {
      {"check", "check [--numbers] FILE...",
       "Checks instruction-list files: prints FILE:LINE: CODE: TEXT for every wrong line; --numbers also prints the program with its instruction numbers.",
       CmdCheck},
      {"cleanup", "cleanup --clear|--comment FILE",
       "Prints the program with empty lines removed and wrong lines deleted (--clear) or marked as comments (--comment).",
       CmdCleanup},
      {"frame", "frame HEX...", "Prints the Modbus ASCII frame of request bytes given in hexadecimal (CR LF shown as \\r\\n).", CmdFrame},
      {"lrc", "lrc HEX...", "Prints the LRC (two's complement of the byte sum) of bytes given in hexadecimal.", CmdLrc},
      {"read", "read FC ADDRESS COUNT  (with --port PATH|SIM [--sim-model NAME] [--id N] [-v])",
       "Reads COUNT registers or bits from ADDRESS with function FC (1-4) and prints the decoded answer; -v prints the transfer log.",
       CmdRead},
      {"write", "write FC ADDRESS VALUE...  (with --port PATH|SIM [--sim-model NAME] [--id N] [-v])",
       "Writes with function FC (5, 6, 15 or 16) at ADDRESS, one 16-bit word per VALUE; -v prints the transfer log.",
       CmdWrite},
      {"info", "info  (with --port PATH|SIM [--sim-model NAME] [--id N] [-v])",
       "Identifies the controller and prints its model, versions and the parameters read at connect.", CmdInfo},
      {"status", "status  (with --port ...)",
       "Runs one full status polling cycle and prints the indicators: X/Y lamps, RUN/STOP, errors, motor state, position, speed, voltages.",
       CmdStatus},
      {"upload", "upload FILE [--service]  (with --port ...)",
       "Uploads an instruction-list file as the main (or service) program, showing \"Commands transferred: n\" and the transfer result.",
       CmdUpload},
      {"download", "download [--service] [-o FILE]  (with --port ...)",
       "Reads the main (or service) program back and prints it as instruction list with its summary lines, or writes it to FILE.",
       CmdDownload},
      {"errors", "errors  (with --port ...)", "Reads and prints the controller's error indicators with their codes and texts.",
       CmdErrors},
      {"clear-errors", "clear-errors  (with --port ...)", "Clears the controller's errors, then prints the error indicators.",
       CmdClearErrors},
      {"sim", "sim --model NAME [--id N] [--pty PATH] [--wire-baud B] [--fw VALUE]",
       "Serves a simulated controller on a pseudo-terminal until interrupted; standard input takes run, stop, x N 0|1, error, fault, status, quit.",
       CmdSim},
      {"compile", "compile FILE.ld [-o FILE.il] [--log debug.log]",
       "Compiles a ladder diagram file to instruction list (printed, or written to FILE.il); on a compile error prints the message with fragment, row and column and exits 1.",
       CmdCompile},
      {"ladder", "ladder show FILE",
       "Prints a ladder diagram file as text: one line per row, one fixed-width field per cell (element and operand).",
       CmdLadder},
  };
  return table;
}

static void PrintHelp(std::ostream& out) {
  out << "Usage: ferrolad-cli COMMAND [ARGS...]\n\nCommands:\n";
  for (const auto& c : Commands()) {
    out << "  " << c.usage << "\n      " << c.help << "\n";
  }
  out << "\nExit status: 0 on success, 1 when the command found a fault, 2 on bad usage or unreadable input.\n";
}

// Options that may stand before the command name; they are handed on to the command.
static bool IsGlobalOption(const std::string& a, bool& takesValue) {
  takesValue = a == "--port" || a == "--id" || a == "--sim-model";
  return takesValue || a == "-v" || a == "--verbose";
}

int Run(const std::vector<std::string>& all, std::ostream& out, std::ostream& err) {
  std::vector<std::string> globals;
  size_t i = 0;
  for (bool takesValue = false; i < all.size() && IsGlobalOption(all[i], takesValue); ++i) {
    globals.push_back(all[i]);
    if (takesValue) {
      if (i + 1 >= all.size()) {
        err << "ferrolad-cli: " << all[i] << " needs a value\n";
        return 2;
      }
      globals.push_back(all[++i]);
    }
  }
  std::vector<std::string> argv(all.begin() + static_cast<long>(i), all.end());
  if (argv.empty() || argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
    PrintHelp(argv.empty() ? err : out);
    return argv.empty() ? 2 : 0;
  }
  for (const auto& c : Commands()) {
    if (argv[0] == c.name) {
      std::vector<std::string> rest(argv.begin() + 1, argv.end());
      rest.insert(rest.end(), globals.begin(), globals.end());
      if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
        out << "Usage: ferrolad-cli " << c.usage << "\n" << c.help << "\n";
        return 0;
      }
      return c.run(rest, out, err);
    }
  }
  err << "ferrolad-cli: unknown command \"" << argv[0] << "\" (see ferrolad-cli --help)\n";
  return 2;
}

int Main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return Run(args, std::cout, std::cerr);
}

}  // namespace ferrolad::cli
