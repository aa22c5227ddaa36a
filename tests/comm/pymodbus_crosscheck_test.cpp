// Cross-check of the framing and the response checks against an independent Modbus ASCII slave
// (pymodbus), joined through a pair of pseudo-terminals made by socat.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "comm/modbus_response.h"
#include "comm/modbus_frame.h"
#include "comm/recording_log.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace ferrolad;
using ferrolad::testing::RecordingLog;
using namespace std::chrono_literals;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// A child process that is terminated (and reaped) when the object goes.
class Child {
 public:
  explicit Child(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(10ms);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

bool Runs(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

class PymodbusCrossCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Runs(std::string(kPython) + " -c 'import pymodbus, serial_asyncio'"))
      GTEST_SKIP() << "/usr/bin/python3 cannot import pymodbus (Debian package python3-pymodbus): cross-check skipped";
    if (!Runs("command -v socat")) GTEST_SKIP() << "socat is not installed: cross-check skipped";
    dir_ = fs::temp_directory_path() / ("ferrolad_pymodbus_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const std::string a = (dir_ / "A").string(), b = (dir_ / "B").string();
    socat_ = std::make_unique<Child>(std::vector<std::string>{
        "/usr/bin/socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
    ASSERT_TRUE(socat_->started());
    for (int i = 0; i < 500 && !(fs::exists(a) && fs::exists(b)); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(a) && fs::exists(b)) << "socat made no pseudo-terminals";
    server_ = std::make_unique<Child>(std::vector<std::string>{
        kPython, std::string(FERROLAD_SOURCE_DIR) + "/tests/comm/pymodbus_ascii_server.py", b});
    ASSERT_TRUE(server_->started());
    fd_ = ::open(a.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd_, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd_, &tio), 0);
    ::cfmakeraw(&tio);  // plain raw: a pty may refuse 7E1
    ::cfsetspeed(&tio, B115200);
    ASSERT_EQ(::tcsetattr(fd_, TCSANOW, &tio), 0);
    modbus.Log = &log;
    modbus.ReadReady = &readReady;
    modbus.DeviceID = 1;
    modbus.UserCommandPending = 1;
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    server_.reset();
    socat_.reset();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Sends the frame of `bytes` and feeds what comes back to the checker until a good answer or a
  // refused frame; the first exchange is retried while the server is still starting.
  bool Exchange(const TBytesArray& bytes, uint16_t address) {
    const std::string frame = AsciiFrame(bytes);
    if (frame.empty() || !modbus.SetExpectations(frame)) return false;
    modbus.CurrentAddress = address;
    for (int attempt = 0; attempt < (first_ ? 20 : 1); ++attempt) {
      modbus.ClearResponse();
      modbus.ResponseEvent.reset();
      modbus.ValueEvent.reset();
      log.entries.clear();
      if (::write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return false;
      const auto deadline = std::chrono::steady_clock::now() + (first_ ? 500ms : 5s);
      while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buf[1000];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) continue;
        readReady.reset();
        modbus.ProcessReceived(std::string_view(buf, static_cast<size_t>(n)));
        if (modbus.ResponseEvent.isSet()) {
          first_ = false;
          return true;
        }
        if (log.Texts(LogEntryKind::Recv).size() >= 2) {  // the frame and a refusal
          first_ = false;
          return false;
        }
      }
    }
    return false;
  }
  TBytesArray Build(uint8_t function, uint16_t address, uint16_t count, TBytesArray data = {}) {
    TRWmbrReg r;
    r.FunctionCode = function;
    r.Address = address;
    r.Count = count;
    r.Data = std::move(data);
    return BuildRequestBytes(r, 1);
  }
  int32_t Read(uint8_t function, uint16_t address, uint16_t count) {
    EXPECT_TRUE(Exchange(Build(function, address, count), address)) << "read " << int(function) << " at " << address;
    EXPECT_EQ(modbus.ResponseFunction, function);
    EXPECT_EQ(modbus.ResponseAddress, address);
    return modbus.ResponseValue;
  }

  fs::path dir_;
  std::unique_ptr<Child> socat_, server_;
  int fd_ = -1;
  bool first_ = true;
  RecordingLog log;
  ManualResetEvent readReady;
  ModbusResponseChecker modbus;
};

}  // namespace

TEST_F(PymodbusCrossCheck, EveryFunctionCode) {
  EXPECT_EQ(Read(1, 0, 8), 0x0D);  // coils 1,0,1,1,0,0,0,0: bit 0 is the first coil
  EXPECT_EQ(Read(2, 0, 4), 0x06);
  EXPECT_EQ(Read(3, 0, 1), 0x1234);
  EXPECT_EQ(modbus.ResponseBytes, (TBytesArray{0x01, 0x03, 0x02, 0x12, 0x34}));
  EXPECT_EQ(Read(3, 1, 2), 120000);  // low word first
  EXPECT_EQ(Read(4, 0, 1), 7);
  EXPECT_EQ(Read(4, 0, 3), 0);  // three registers: no single value
  EXPECT_EQ(modbus.ResponseBytes, (TBytesArray{0x01, 0x04, 0x06, 0, 7, 0, 8, 0, 9}));

  ASSERT_TRUE(Exchange(Build(5, 10, 1, {0x00, 0x01}), 10));
  EXPECT_EQ(modbus.ResponseFunction, 5);
  EXPECT_EQ(modbus.ResponseAddress, 10);
  EXPECT_EQ(Read(1, 10, 1), 1);

  ASSERT_TRUE(Exchange(Build(6, 20, 1, {0xBE, 0xEF}), 20));
  EXPECT_EQ(modbus.ResponseFunction, 6);
  EXPECT_EQ(Read(3, 20, 1), 0xBEEF);

  // Write multiple coils in the standard layout (10 coils in 2 bytes).
  ASSERT_TRUE(Exchange(TBytesArray{0x01, 0x0F, 0x00, 0x20, 0x00, 0x0A, 0x02, 0b10100101, 0b00000010}, 0x20));
  EXPECT_EQ(modbus.ResponseFunction, 15);
  EXPECT_EQ(modbus.ResponseAddress, 0x20);
  EXPECT_EQ(Read(1, 0x20, 10), 0xA502);

  ASSERT_TRUE(Exchange(Build(16, 30, 2, {0xD4, 0xC0, 0x00, 0x01}), 30));
  EXPECT_EQ(modbus.ResponseFunction, 16);
  EXPECT_EQ(modbus.ResponseAddress, 30);
  EXPECT_EQ(Read(3, 30, 2), 120000);
}

TEST_F(PymodbusCrossCheck, ExceptionAnswerForAnUnmappedAddress) {
  ASSERT_TRUE(Exchange(Build(3, 0, 1), 0));  // the server is up
  EXPECT_FALSE(Exchange(Build(3, 0x5004, 1), 0x5004));
  EXPECT_EQ(modbus.ResponseValid, 0);
  EXPECT_FALSE(modbus.ResponseEvent.isSet());
  const auto recv = log.Texts(LogEntryKind::Recv);
  ASSERT_EQ(recv.size(), 2u);
  EXPECT_EQ(recv[0], ":0183027A\r\n");
  EXPECT_EQ(recv[1],
            "Wrong response: Modbus error :0183027A\r\nMobas error occurred: \r\n"
            "Request cmd = 0x03; Request start address = 0x5004; Registaers number = 1\r\n"
            "Error code = 2 = Illegal Data Address");
}
