// ferrolad-cli sim: a simulated controller on a pseudo-terminal, driven from standard input.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ostream>
#include <sstream>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "sim/sim_pty.h"

namespace ferrolad::cli {

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  char c = 1;
  [[maybe_unused]] auto r = ::write(g_signalPipe[1], &c, 1);
}

std::optional<sim::SimModel> ParseModel(std::string name) {
  if (auto m = sim::ModelByName(name)) return m;
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '.' || c == '-'; }),
             name.end());
  if (name == "lira2" || name == "kvdxliraver2" || name == "lirav2" || name == "liraver2") return sim::SimModel::LiraV2;
  if (name == "lira3" || name == "kvdxliraver3" || name == "lirav3" || name == "liraver3") return sim::SimModel::LiraV3;
  if (name == "tarn" || name == "kvdxtarn") return sim::SimModel::Tarn;
  if (name == "obel" || name == "kvdxobel") return sim::SimModel::Obel;
  return std::nullopt;
}

std::string FaultText(const sim::FaultCounters& f) {
  std::ostringstream s;
  s << "faults: dropped=" << f.dropped << " garbage=" << f.garbage << " badlrc=" << f.badLrc
    << " delayed=" << f.delayed << " wrongid=" << f.wrongId << " wrongfn=" << f.wrongFunction;
  return s.str();
}

// One line of standard input; returns false on "quit".
bool Execute(const std::string& line, sim::SimPtyServer& server, std::ostream& out, std::ostream& err) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string t; in >> t;) w.push_back(t);
  if (w.empty()) return true;
  sim::SimController& c = server.link().controller();
  sim::SimLink& link = server.link();
  long long a = 0, b = 0;
  auto bad = [&] { err << "sim: cannot understand \"" << line << "\"\n" << std::flush; };
  const std::string& cmd = w[0];
  if (cmd == "quit" || cmd == "exit") return false;
  if (cmd == "run" || cmd == "stop") {
    c.setRun(cmd == "run");
  } else if ((cmd == "x" || cmd == "y") && w.size() == 3 && ParseNumber(w[1], 0, 7, a) && ParseNumber(w[2], 0, 1, b)) {
    if (cmd == "x") c.setInput(static_cast<int>(a), b != 0);
    else c.setOutput(static_cast<int>(a), b != 0);
  } else if (cmd == "error" && w.size() == 2 && w[1] == "clear") {
    c.clearErrors();
  } else if (cmd == "error" && w.size() == 3 && w[1] == "battery" && ParseNumber(w[2], 0, 1, a)) {
    c.setBatteryLow(a != 0);
  } else if (cmd == "error" && (w.size() == 3 || w.size() == 4) && ParseNumber(w[2], 0, 0xFFFF, a) &&
             (w.size() == 3 || ParseNumber(w[3], 0, 0xFFFF, b))) {
    sim::ErrorGroup g;
    if (w[1] == "user") g = sim::ErrorGroup::UserProgram;
    else if (w[1] == "rom") g = sim::ErrorGroup::Rom;
    else if (w[1] == "modbus") g = sim::ErrorGroup::Modbus;
    else return bad(), true;
    c.raiseError(g, static_cast<uint16_t>(a), static_cast<uint16_t>(b));
  } else if (cmd == "fault" && w.size() == 2 && w[1] == "off") {
    link.dropAnswers(0);
    link.garbageAnswers(0);
    link.badLrcAnswers(0);
    link.wrongIdAnswers(0);
    link.wrongFunctionAnswers(0);
    link.setAnswerDelayMs(0);
  } else if (cmd == "fault" && w.size() == 3 && ParseNumber(w[2], 0, 1'000'000, a)) {
    int n = static_cast<int>(a);
    if (w[1] == "drop") link.dropAnswers(n);
    else if (w[1] == "garbage") link.garbageAnswers(n);
    else if (w[1] == "badlrc") link.badLrcAnswers(n);
    else if (w[1] == "wrongid") link.wrongIdAnswers(n);
    else if (w[1] == "wrongfn") link.wrongFunctionAnswers(n);
    else if (w[1] == "delay") link.setAnswerDelayMs(n);
    else return bad(), true;
  } else if (cmd == "status") {
    out << c.statusText() << " " << FaultText(link.faultCounters()) << "\n" << std::flush;
    return true;
  } else {
    bad();
    return true;
  }
  out << "ok\n" << std::flush;
  return true;
}

}  // namespace

int CmdSim(const Args& args, std::ostream& out, std::ostream& err) {
  sim::SimOptions opts;
  sim::SimLinkOptions linkOpts;
  std::string pty = "/tmp/ferrolad-sim";
  bool haveModel = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v;
    long long n = 0;
    if (a == "--model" || a == "--sim-model") {
      if (!value(v)) return err << "sim: " << a << " needs a value\n", 2;
      auto m = ParseModel(v);
      if (!m) return err << "sim: unknown model \"" << v << "\"\n", 2;
      opts.model = *m;
      haveModel = true;
    } else if (a == "--id") {
      if (!value(v) || !ParseNumber(v, 1, 247, n)) return err << "sim: --id needs a number 1..247\n", 2;
      opts.slaveId = static_cast<uint8_t>(n);
    } else if (a == "--pty") {
      if (!value(pty)) return err << "sim: --pty needs a path\n", 2;
    } else if (a == "--wire-baud") {
      if (!value(v) || !ParseNumber(v, 0, 10'000'000, n)) return err << "sim: --wire-baud needs a number\n", 2;
      linkOpts.wireBaud = static_cast<int>(n);
    } else if (a == "--turnaround-us") {
      if (!value(v) || !ParseNumber(v, 0, 10'000'000, n)) return err << "sim: --turnaround-us needs a number\n", 2;
      linkOpts.turnaroundUs = static_cast<int>(n);
    } else if (a == "--fw") {
      if (!value(v) || !ParseNumber(v, 0, 0xFFFFFFFFLL, n)) return err << "sim: --fw needs a 32-bit number\n", 2;
      opts.fwValue = static_cast<uint32_t>(n);
    } else if (a == "--port") {
      ++i;  // a global option of other commands
    } else if (a == "-v" || a == "--verbose") {
    } else {
      err << "sim: unknown option \"" << a << "\"\n";
      return 2;
    }
  }
  if (!haveModel) {
    err << "sim: --model is required (\"KVDX-Lira ver.2\", \"KVDX-Lira ver.3\", \"KVDX-Tarn\", \"KVDX-Obel\")\n";
    return 2;
  }

  sim::SimController controller(opts);
  sim::SimPtyServer server(controller, linkOpts);
  std::string error;
  if (!server.open(pty, error)) {
    err << "sim: " << error << "\n";
    return 1;
  }
  if (pipe(g_signalPipe) != 0) {
    err << "sim: cannot create a pipe\n";
    return 1;
  }
  struct sigaction sa{}, oldInt{}, oldTerm{};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &oldInt);
  sigaction(SIGTERM, &sa, &oldTerm);

  server.start();
  out << (pty.empty() ? server.slavePath() : pty) << "\n";
  out << "serving \"" << controller.modelInfo().name << "\" with slave ID " << int(opts.slaveId) << " on "
      << server.slavePath() << "\n"
      << std::flush;

  bool stdinOpen = true;
  std::string pending;
  for (bool go = true; go;) {
    pollfd fds[2] = {{g_signalPipe[0], POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
    int r = poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) break;
    if (fds[1].revents) {
      char buf[256];
      ssize_t n = ::read(0, buf, sizeof buf);
      if (n <= 0) {
        stdinOpen = false;  // keep serving; only a signal ends us now
        continue;
      }
      pending.append(buf, static_cast<size_t>(n));
      for (size_t nl; go && (nl = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        go = Execute(line, server, out, err);
      }
    }
  }
  server.stop();
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  ::close(g_signalPipe[0]);
  ::close(g_signalPipe[1]);
  g_signalPipe[0] = g_signalPipe[1] = -1;
  out << "stopped\n" << std::flush;
  return 0;
}

}  // namespace ferrolad::cli
