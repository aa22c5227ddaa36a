// The simulator on a pseudo-terminal: an independent Modbus client (pymodbus) and the
// "ferrolad-cli sim" command driven through standard input.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "sim/sim_pty.h"
#include "sim_test_util.h"

namespace ferrolad::sim {
namespace {

std::string TempPath(const std::string& stem) {
  return testing::TempDir() + stem + "-" + std::to_string(getpid());
}

// Runs a command, returning its standard output; exit status in `status`.
std::string RunCapture(const std::string& cmd, int& status) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    status = -1;
    return out;
  }
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  status = pclose(p);
  return out;
}

bool HavePymodbus() {
  if (access("/usr/bin/python3", X_OK) != 0) return false;
  int st = 0;
  RunCapture("/usr/bin/python3 -c 'import pymodbus.client, pymodbus.transaction' 2>/dev/null", st);
  return st == 0;
}

const char* kPymodbusScript = R"PY(
import sys
from pymodbus.client import ModbusSerialClient
from pymodbus.transaction import ModbusAsciiFramer
c = ModbusSerialClient(port=sys.argv[1], framer=ModbusAsciiFramer, baudrate=115200, timeout=2)
if not c.connect():
    print("connect=fail"); sys.exit(1)
def show(key, r, attr):
    print(key + "=" + ("error" if r.isError() else ",".join(str(int(x)) for x in getattr(r, attr))))
show("hw", c.read_input_registers(0x8001, 2, slave=1), "registers")
show("fw", c.read_input_registers(0x8003, 2, slave=1), "registers")
show("bl", c.read_input_registers(0x8005, 2, slave=1), "registers")
show("regmap", c.read_input_registers(0x8007, 2, slave=1), "registers")
show("cmdlist", c.read_input_registers(0x8009, 2, slave=1), "registers")
r = c.write_register(0x5004, 250, slave=1)
print("write_accel=" + ("error" if r.isError() else "ok"))
show("accel", c.read_holding_registers(0x5004, 1, slave=1), "registers")
r = c.write_coil(0x6200, True, slave=1)
print("write_coil=" + ("error" if r.isError() else "ok"))
r = c.read_coils(0x6200, 4, slave=1)
print("bp_active=" + ("error" if r.isError() else ",".join(str(int(b)) for b in r.bits[:4])))
r = c.write_registers(0x5000, [0xD4C0, 0x0001], slave=1)
print("write_max=" + ("error" if r.isError() else "ok"))
show("max", c.read_holding_registers(0x5000, 2, slave=1), "registers")
r = c.read_holding_registers(0x5008, 1, slave=1)
print("unmapped=" + (str(r.exception_code) if r.isError() else "answered"))
r = c.write_register(0x5004, 2000, slave=1)
print("out_of_range=" + (str(r.exception_code) if r.isError() else "answered"))
c.close()
)PY";

TEST(SimPty, IndependentPymodbusClient) {
  if (!HavePymodbus()) GTEST_SKIP() << "python3-pymodbus is not installed; install it to run this cross-check";
  SimOptions o;
  o.model = SimModel::Tarn;
  SimController c(o);
  SimPtyServer server(c);
  std::string link = TempPath("ferrolad-sim-pymodbus");
  std::string error;
  ASSERT_TRUE(server.open(link, error)) << error;
  server.start();
  std::string script = TempPath("ferrolad-sim-check") + ".py";
  std::ofstream(script) << kPymodbusScript;
  int st = 0;
  std::string out = RunCapture("/usr/bin/python3 " + script + " " + link + " 2>&1", st);
  std::remove(script.c_str());
  server.stop();
  ASSERT_EQ(st, 0) << out;
  std::map<std::string, std::string> got;
  std::istringstream lines(out);
  for (std::string l; std::getline(lines, l);) {
    auto eq = l.find('=');
    if (eq != std::string::npos) got[l.substr(0, eq)] = l.substr(eq + 1);
  }
  EXPECT_EQ(got["hw"], "3,0") << out;        // 0x00003, low word first
  EXPECT_EQ(got["fw"], "2,8");
  EXPECT_EQ(got["bl"], "1,0");
  EXPECT_EQ(got["regmap"], "2,4");           // 0x40002
  EXPECT_EQ(got["cmdlist"], "2,2");
  EXPECT_EQ(got["write_accel"], "ok");
  EXPECT_EQ(got["accel"], "250");
  EXPECT_EQ(got["write_coil"], "ok");
  EXPECT_EQ(got["bp_active"], "1,0,0,0");
  EXPECT_EQ(got["write_max"], "ok");
  EXPECT_EQ(got["max"], "54464,1");
  EXPECT_EQ(got["unmapped"], "2");
  EXPECT_EQ(got["out_of_range"], "3");
  EXPECT_EQ(c.holdingValue(0x5000), 120000);
  EXPECT_TRUE(c.breakpoint(0).active);
  struct stat sb{};
  EXPECT_NE(lstat(link.c_str(), &sb), 0) << "the link is removed on stop";
}

// A child process with pipes on its standard input and output.
struct Child {
  pid_t pid = -1;
  int in = -1, out = -1;
  std::string buffered;

  bool start(const std::vector<std::string>& argv) {
    int pin[2], pout[2];
    if (pipe(pin) || pipe(pout)) return false;
    pid = fork();
    if (pid == 0) {
      dup2(pin[0], 0);
      dup2(pout[1], 1);
      close(pin[1]);
      close(pout[0]);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    close(pin[0]);
    close(pout[1]);
    in = pin[1];
    out = pout[0];
    return pid > 0;
  }
  void send(const std::string& s) { ASSERT_EQ(write(in, s.data(), s.size()), ssize_t(s.size())); }
  // One line of output, or "" after the time-out.
  std::string line(int timeoutMs = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      auto nl = buffered.find('\n');
      if (nl != std::string::npos) {
        std::string l = buffered.substr(0, nl);
        buffered.erase(0, nl + 1);
        return l;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return "";
      pollfd p{out, POLLIN, 0};
      if (poll(&p, 1, int(left.count())) <= 0) return "";
      char buf[256];
      ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return "";
      buffered.append(buf, size_t(n));
    }
  }
  // Exit status, or -1 when it does not end in time (then it is killed).
  int wait(int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
      int st = 0;
      if (waitpid(pid, &st, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      }
      usleep(10000);
    }
    return -1;
  }
  ~Child() {
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

// Sends one frame over the pty and returns the answer frame ("" on time-out).
std::string AskOverPty(const std::string& path, const std::string& frame) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return "";
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  std::string got;
  if (write(fd, frame.data(), frame.size()) == ssize_t(frame.size())) {
    while (got.size() < 2 || got.substr(got.size() - 2) != "\r\n") {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0) break;
      char buf[128];
      ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, size_t(n));
    }
  }
  close(fd);
  return got;
}

std::string CliPath() { return std::string(FERROLAD_BIN_DIR) + "/ferrolad-cli"; }

TEST(SimCli, StandardInputDrivesTheSimulatorAndQuitStopsIt) {
  if (access(CliPath().c_str(), X_OK) != 0) GTEST_SKIP() << "build ferrolad-cli first: " << CliPath();
  std::string link = TempPath("ferrolad-sim-cli");
  Child child;
  ASSERT_TRUE(child.start({CliPath(), "sim", "--model", "KVDX-Lira ver.3", "--id", "7", "--pty", link}));
  ASSERT_EQ(child.line(), link);
  child.line();  // description
  child.send("run\n");
  EXPECT_EQ(child.line(), "ok");
  child.send("x 3 1\n");
  EXPECT_EQ(child.line(), "ok");
  child.send("status\n");
  std::string status = child.line();
  EXPECT_NE(status.find(" RUN "), std::string::npos) << status;
  EXPECT_NE(status.find("inputs=0x08"), std::string::npos) << status;
  EXPECT_NE(status.find("id=7"), std::string::npos) << status;
  // the same state seen over the line: inputs X0-X7 and RUN/STOP
  auto inputs = test::Unframe(AskOverPty(link, test::Frame(test::ReadReq(7, 2, 0x2000, 8))));
  ASSERT_TRUE(inputs);
  EXPECT_EQ(*inputs, (std::vector<uint8_t>{7, 2, 1, 0x08}));
  auto run = test::Unframe(AskOverPty(link, test::Frame(test::ReadReq(7, 2, 0xF001, 1))));
  ASSERT_TRUE(run);
  EXPECT_EQ(run->back(), 1);
  child.send("frobnicate\n");
  child.send("quit\n");
  EXPECT_EQ(child.line(), "stopped");
  EXPECT_EQ(child.wait(), 0);
  struct stat sb{};
  EXPECT_NE(lstat(link.c_str(), &sb), 0) << "the link is removed";
}

TEST(SimCli, TerminationSignalRemovesTheLink) {
  if (access(CliPath().c_str(), X_OK) != 0) GTEST_SKIP() << "build ferrolad-cli first: " << CliPath();
  std::string link = TempPath("ferrolad-sim-term");
  Child child;
  ASSERT_TRUE(child.start({CliPath(), "sim", "--model", "obel", "--pty", link, "--fw", "0x00090001"}));
  ASSERT_EQ(child.line(), link);
  // the outdated firmware value is what the line reports
  auto fw = test::Unframe(AskOverPty(link, test::Frame(test::ReadReq(1, 4, 0x8003, 2))));
  ASSERT_TRUE(fw);
  EXPECT_EQ(*fw, (std::vector<uint8_t>{1, 4, 4, 0x00, 0x01, 0x00, 0x09}));
  kill(child.pid, SIGTERM);
  EXPECT_EQ(child.wait(), 0);
  struct stat sb{};
  EXPECT_NE(lstat(link.c_str(), &sb), 0);
}

TEST(SimCli, BadUsage) {
  if (access(CliPath().c_str(), X_OK) != 0) GTEST_SKIP() << "build ferrolad-cli first: " << CliPath();
  int st = 0;
  RunCapture(CliPath() + " sim 2>/dev/null", st);
  EXPECT_EQ(WEXITSTATUS(st), 2) << "no model";
  RunCapture(CliPath() + " sim --model KVDX-Nope 2>/dev/null", st);
  EXPECT_EQ(WEXITSTATUS(st), 2);
  RunCapture(CliPath() + " sim --model tarn --id 300 2>/dev/null", st);
  EXPECT_EQ(WEXITSTATUS(st), 2);
  // a regular file at the link path is never replaced
  std::string file = TempPath("ferrolad-sim-file");
  std::ofstream(file) << "keep";
  RunCapture(CliPath() + " sim --model tarn --pty " + file + " </dev/null 2>/dev/null", st);
  EXPECT_EQ(WEXITSTATUS(st), 1);
  std::ifstream f(file);
  std::string content;
  f >> content;
  EXPECT_EQ(content, "keep");
  std::remove(file.c_str());
}

}  // namespace
}  // namespace ferrolad::sim
