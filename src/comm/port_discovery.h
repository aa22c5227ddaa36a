// Which ports the port box offers: serial devices found by name patterns, the built-in "SIM", and
// paths the user added; a port counts as present when a test open succeeds or it is the open port.
// TRenewComPortList rescans in the background (every 5 s) and refreshes the box when the list changed.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/main_gate.h"
#include "comm/worker_thread.h"
#include "core/main_thread.h"

namespace ferrolad {

inline constexpr const char* kSimPortName = "SIM";

// /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyAMA*, /dev/serial/by-id/*.
const std::vector<std::string>& DefaultPortPatterns();
// Names matching the patterns (sorted, each pattern's matches in turn), then the extra paths not yet
// listed, then "SIM".
std::vector<std::string> CandidatePortNames(const std::vector<std::string>& patterns,
                                            const std::vector<std::string>& extra);

// Present ports among the candidates: probe(name) succeeds, or name is the open port. "SIM" is always
// present.
std::vector<std::string> PresentPorts(const std::vector<std::string>& candidates,
                                      const std::function<bool(const std::string&)>& probe,
                                      const std::string& openPort);

class TRenewComPortList final : public TWorkerThread {
 public:
  using Lister = std::function<std::vector<std::string>()>;
  using Prober = std::function<bool(const std::string&)>;
  using Shower = std::function<void(const std::vector<std::string>&)>;  // window thread

  TRenewComPortList(MainThread& main, Lister list, Prober probe, Shower show, int intervalMs = 5000);
  ~TRenewComPortList() override;

  // One pass: Found rebuilt; when not Paused and Found differs from Shown, Shown := Found and the
  // box is refreshed on the window thread.
  void ScanOnce();

  void SetOpenPortName(const std::string& name);
  std::string OpenPortName() const;
  std::atomic<bool> Paused{false};
  std::vector<std::string> Found() const;
  std::vector<std::string> Shown() const;

 protected:
  void Execute() override;

 private:
  MainGate gate_;
  Lister list_;
  Prober probe_;
  Shower show_;
  int intervalMs_;
  mutable std::mutex mu_;
  std::vector<std::string> found_, shown_;
  std::string openPort_;
};

}  // namespace ferrolad
