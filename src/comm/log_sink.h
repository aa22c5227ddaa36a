// What the communication code needs from the transfer log.
#pragma once

#include <string>

namespace ferrolad {

enum class LogEntryKind : int { Send = 0, Recv = 1, Error = 2, Str = 3 };

struct TransferLogSink {
  virtual ~TransferLogSink() = default;
  // Any thread; hands the entry over without waiting.
  virtual void PostLogEntry(LogEntryKind kind, std::string text) = 0;
  // Any thread; the line is appended on the main thread and the caller waits for it.
  virtual void AddLogLine(std::string text) = 0;
};

}  // namespace ferrolad
