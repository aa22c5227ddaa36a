#include "comm/port_discovery.h"

#include <glob.h>

#include <algorithm>
#include <cctype>

namespace ferrolad {

const std::vector<std::string>& DefaultPortPatterns() {
  static const std::vector<std::string> patterns = {"/dev/ttyS*", "/dev/ttyUSB*", "/dev/ttyACM*", "/dev/ttyAMA*",
                                                    "/dev/serial/by-id/*"};
  return patterns;
}

namespace {

// "/dev/ttyS10" after "/dev/ttyS9": names compare by their trailing number where the stems agree.
bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    size_t i = s.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
    const std::string digits = s.substr(i);
    return std::make_pair(s.substr(0, i), digits.empty() || digits.size() > 9 ? -1L : std::stol(digits));
  };
  auto [sa, na] = split(a);
  auto [sb, nb] = split(b);
  if (sa != sb || na < 0 || nb < 0) return a < b;
  return na < nb;
}

}  // namespace

std::vector<std::string> CandidatePortNames(const std::vector<std::string>& patterns,
                                            const std::vector<std::string>& extra) {
  std::vector<std::string> names;
  auto add = [&](const std::string& n) {
    if (!n.empty() && std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  };
  for (const auto& pattern : patterns) {
    glob_t g{};
    if (::glob(pattern.c_str(), 0, nullptr, &g) == 0) {
      std::vector<std::string> matches(g.gl_pathv, g.gl_pathv + g.gl_pathc);
      std::sort(matches.begin(), matches.end(), NaturalLess);
      for (const auto& m : matches) add(m);
    }
    ::globfree(&g);
  }
  for (const auto& e : extra) add(e);
  add(kSimPortName);
  return names;
}

std::vector<std::string> PresentPorts(const std::vector<std::string>& candidates,
                                      const std::function<bool(const std::string&)>& probe,
                                      const std::string& openPort) {
  std::vector<std::string> present;
  for (const auto& name : candidates) {
    // The port we hold cannot be opened a second time, yet it is there.
    if (name == kSimPortName || name == openPort || (probe && probe(name))) present.push_back(name);
  }
  return present;
}

TRenewComPortList::TRenewComPortList(MainThread& main, Lister list, Prober probe, Shower show, int intervalMs)
    : gate_(main), list_(std::move(list)), probe_(std::move(probe)), show_(std::move(show)), intervalMs_(intervalMs) {}

TRenewComPortList::~TRenewComPortList() {
  Terminate();
  gate_.Close();
  Join();
}

void TRenewComPortList::SetOpenPortName(const std::string& name) {
  std::lock_guard lock(mu_);
  openPort_ = name;
}

std::string TRenewComPortList::OpenPortName() const {
  std::lock_guard lock(mu_);
  return openPort_;
}

std::vector<std::string> TRenewComPortList::Found() const {
  std::lock_guard lock(mu_);
  return found_;
}

std::vector<std::string> TRenewComPortList::Shown() const {
  std::lock_guard lock(mu_);
  return shown_;
}

void TRenewComPortList::ScanOnce() {
  const std::vector<std::string> found = PresentPorts(list_ ? list_() : std::vector<std::string>{}, probe_, OpenPortName());
  bool changed = false;
  {
    std::lock_guard lock(mu_);
    found_ = found;
    if (!Paused && found_ != shown_) {
      shown_ = found_;
      changed = true;
    }
  }
  if (changed && show_) gate_.RunSync([&] { show_(found); });
}

void TRenewComPortList::Execute() {
  while (!Terminated()) {
    ScanOnce();
    if (!Sleep(intervalMs_)) break;
  }
}

}  // namespace ferrolad
