// A transfer-log stand-in that records what the communication code logs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "comm/log_sink.h"

namespace ferrolad::testing {

struct RecordingLog : TransferLogSink {
  std::vector<std::pair<LogEntryKind, std::string>> entries;
  std::vector<std::string> lines;
  void PostLogEntry(LogEntryKind kind, std::string text) override { entries.emplace_back(kind, std::move(text)); }
  void AddLogLine(std::string text) override { lines.push_back(std::move(text)); }
  std::vector<std::string> Texts(LogEntryKind kind) const {
    std::vector<std::string> out;
    for (const auto& [k, t] : entries) {
      if (k == kind) out.push_back(t);
    }
    return out;
  }
};

}  // namespace ferrolad::testing
