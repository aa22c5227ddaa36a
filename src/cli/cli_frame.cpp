// ferrolad-cli frame / lrc: the Modbus ASCII framing of request bytes given in hexadecimal.
#include <optional>
#include <ostream>

#include "cli/cli_commands.h"
#include "comm/modbus_frame.h"

namespace ferrolad::cli {

namespace {

// The byte words of the command line; global options handed on by the dispatcher are skipped.
std::vector<std::string> ByteWords(const Args& args) {
  std::vector<std::string> words;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--port" || a == "--id" || a == "--sim-model") {
      ++i;
      continue;
    }
    if (a == "-v" || a == "--verbose") continue;
    words.push_back(a);
  }
  return words;
}

std::optional<TBytesArray> ParseOrComplain(const char* command, const Args& args, std::ostream& err) {
  const auto words = ByteWords(args);
  if (words.empty()) {
    err << "ferrolad-cli " << command << ": give the bytes in hexadecimal, e.g. " << command << " 01 03 50 04 00 01\n";
    return std::nullopt;
  }
  auto bytes = ParseHexWords(words);
  if (!bytes) {
    for (const auto& w : words) {
      const std::vector<std::string> one = {w};
      if (!ParseHexWords(one)) {
        err << "ferrolad-cli " << command << ": \"" << w << "\" is not a byte in hexadecimal (00..FF)\n";
        break;
      }
    }
  }
  return bytes;
}

}  // namespace

int CmdFrame(const Args& args, std::ostream& out, std::ostream& err) {
  auto bytes = ParseOrComplain("frame", args, err);
  if (!bytes) return 2;
  std::string frame = AsciiFrame(*bytes);
  if (frame.empty()) {
    err << "ferrolad-cli frame: a request needs at least 6 bytes, got " << bytes->size() << "\n";
    return 2;
  }
  frame.resize(frame.size() - 2);
  out << frame << "\\r\\n\n";
  return 0;
}

int CmdLrc(const Args& args, std::ostream& out, std::ostream& err) {
  auto bytes = ParseOrComplain("lrc", args, err);
  if (!bytes) return 2;
  const TBytesArray lrc = {ComputeLrc(*bytes)};
  out << HexText(lrc) << "\n";
  return 0;
}

}  // namespace ferrolad::cli
