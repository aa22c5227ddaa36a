// ferrolad-cli: the core of Ferrolad without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ferrolad::cli {

// One sub-command. `args` holds everything after the command name (global options included,
// each command takes what it understands). Output goes to `out`, diagnostics to `err`.
using CommandFn = int (*)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct CliCommand {
  const char* name;
  const char* usage;  // e.g. "check [--numbers] FILE..."
  const char* help;   // one or two sentences for --help
  CommandFn run;
};

// The table of every command, in the order --help lists them.
const std::vector<CliCommand>& Commands();

// Runs a whole command line; returns the process exit status.
int Run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);
int Main(int argc, char** argv);

}  // namespace ferrolad::cli
