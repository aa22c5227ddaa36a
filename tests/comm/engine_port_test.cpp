// Ports under the engine: the termios port on a pseudo-terminal served by the simulator, the receive
// thread's read permission and chunking, port discovery, and connecting and disconnecting.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "comm/connection.h"
#include "comm/port_discovery.h"
#include "engine_fixture.h"
#include "sim/sim_pty.h"

namespace ferrolad::testing {
namespace {

TEST_F(EngineTest, TermiosPortCarriesATransferOverAPseudoTerminal) {
  sim::SimController controller{sim::SimOptions{}};
  sim::SimPtyServer server(controller);
  std::string error;
  ASSERT_TRUE(server.open("", error)) << error;
  server.start();
  EXPECT_TRUE(TComPort::Exists(server.slavePath()));

  auto com = std::make_shared<TComPort>(server.slavePath());
  com->Attach(main, &settings);
  OnMain([&] {
    modbus->SetPort(com);
    ASSERT_TRUE(com->Open()) << com->LastError();
    modbus->ResetForConnect();
  });
  EXPECT_EQ(com->ModemStatus(), 0u) << "a pseudo-terminal has no modem lines";

  // The speed holds on the device (a pseudo-terminal keeps its own character format); a second open
  // is refused unless we are privileged.
  const int other = ::open(server.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (other >= 0) {
    termios tio{};
    ASSERT_EQ(::tcgetattr(other, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_FALSE(tio.c_lflag & ICANON) << "raw mode";
    ::close(other);
    EXPECT_EQ(geteuid(), 0u) << "only root passes the exclusive open";
  } else {
    EXPECT_EQ(errno, EBUSY);
  }

  ASSERT_TRUE(Start(true, "SendReadCommand", {Read(4, kHwAddress, 2), WriteRegister(0x5004, 77), Read(3, 0x5004, 1)}));
  const TTransferOutcome o = WaitOne();
  EXPECT_FALSE(o.Failed);
  EXPECT_EQ(controller.holdingValue(0x5004), 77);
  {
    std::lock_guard lock(mu);
    EXPECT_EQ(lastValue, 77);
  }
  OnMain([&] { com->Close(); });
  EXPECT_FALSE(com->Connected());
  EXPECT_TRUE(TComPort::Exists(server.slavePath())) << "free again after close";
  server.stop();
}

TEST(ComPortTest, OnlyOpenableTerminalsExist) {
  EXPECT_FALSE(TComPort::Exists("/nonexistent/ttyUSB0"));
  const auto file = std::filesystem::temp_directory_path() / "ferrolad-not-a-tty";
  std::ofstream(file) << "x";
  EXPECT_FALSE(TComPort::Exists(file.string()));
  TComPort port(file.string());
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(port.LastError().empty());
  std::filesystem::remove(file);
  EXPECT_EQ(BaudRateOfIndex(12), 115200);
  EXPECT_EQ(BaudRateOfIndex(0), 110);
  EXPECT_EQ(BaudRateOfIndex(13), 0);
}

// A memory port whose receiver records chunks and hands the read permission back, as the response
// checks do after each delivery.
class RecordingPort final : public TMemoryPort {
 public:
  RecordingPort() : TMemoryPort("TEST") {}
  ~RecordingPort() override { Close(); }

 protected:
  bool Transmit(const uint8_t*, size_t) override { return true; }
};

TEST(ReadThreadTest, ReadsOnlyWithPermissionAndInChunks) {
  EventLoopMainThread main{EventLoopMainThread::Mode::OwnThread};
  TCommonDatas settings;
  RecordingPort port;
  port.ReadChunk = 4;
  port.Attach(main, &settings);
  std::mutex mu;
  std::condition_variable cv;
  std::vector<std::string> chunks;
  bool giveBack = false;
  port.SetOnReceive([&](const uint8_t* d, size_t n, uint32_t) {
    EXPECT_TRUE(main.isCurrentThread());
    std::lock_guard lock(mu);
    chunks.emplace_back(reinterpret_cast<const char*>(d), n);
    if (giveBack) port.ReadReady.set();
    cv.notify_all();
  });
  ASSERT_TRUE(port.Open());
  const std::string text = "0123456789";
  port.Receive(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  // Without ReadReady the bytes stay queued (several ReadyWait periods pass).
  {
    std::unique_lock lock(mu);
    EXPECT_FALSE(cv.wait_for(lock, std::chrono::milliseconds(3 * settings.ComHandleTimeout()), [&] { return !chunks.empty(); }));
    giveBack = true;
  }
  port.ReadReady.set();
  std::unique_lock lock(mu);
  ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] {
    size_t n = 0;
    for (const auto& c : chunks) n += c.size();
    return n == text.size();
  }));
  std::string joined;
  for (const auto& c : chunks) {
    EXPECT_LE(c.size(), 4u);
    joined += c;
  }
  EXPECT_EQ(joined, text);
  EXPECT_EQ(chunks.size(), 3u);
}

TEST(PortDiscoveryTest, CandidatesAreOrderedAndPresenceIsProbed) {
  const auto dir = std::filesystem::temp_directory_path() / ("ferrolad-ports-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const char* n : {"ttyS10", "ttyS2", "ttyS1", "ttyUSB0", "other"}) std::ofstream(dir / n) << "";
  const std::string d = dir.string();
  const auto names = CandidatePortNames({d + "/ttyS*", d + "/ttyUSB*", d + "/ttyACM*"}, {"/tmp/mine", d + "/ttyS2"});
  EXPECT_EQ(names, (std::vector<std::string>{d + "/ttyS1", d + "/ttyS2", d + "/ttyS10", d + "/ttyUSB0", "/tmp/mine",
                                             "SIM"}));
  std::filesystem::remove_all(dir);

  auto probe = [](const std::string& n) { return n == "/dev/b"; };
  EXPECT_EQ(PresentPorts({"/dev/a", "/dev/b", "/dev/c", "SIM"}, probe, "/dev/c"),
            (std::vector<std::string>{"/dev/b", "/dev/c", "SIM"}))
      << "the open port is listed although its test open fails";
  for (const auto& p : DefaultPortPatterns()) EXPECT_EQ(p.rfind("/dev/", 0), 0u);
}

TEST(PortDiscoveryTest, ScannerRefreshesTheBoxOnlyOnChange) {
  EventLoopMainThread main{EventLoopMainThread::Mode::OwnThread};
  std::mutex mu;
  std::vector<std::string> present = {"/dev/a", "/dev/b"};
  std::vector<std::vector<std::string>> shown;
  TRenewComPortList scanner(
      main, [&] { return std::vector<std::string>{"/dev/a", "/dev/b", "SIM"}; },
      [&](const std::string& n) {
        std::lock_guard lock(mu);
        return std::find(present.begin(), present.end(), n) != present.end();
      },
      [&](const std::vector<std::string>& names) {
        EXPECT_TRUE(main.isCurrentThread());
        std::lock_guard lock(mu);
        shown.push_back(names);
      });
  scanner.ScanOnce();
  scanner.ScanOnce();
  {
    std::lock_guard lock(mu);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], (std::vector<std::string>{"/dev/a", "/dev/b", "SIM"}));
    present = {"/dev/a"};  // /dev/b unplugged
  }
  scanner.SetOpenPortName("/dev/a");
  scanner.Paused = true;
  scanner.ScanOnce();
  {
    std::lock_guard lock(mu);
    EXPECT_EQ(shown.size(), 1u) << "nothing is shown while paused";
    present.clear();  // even the test open of the open port fails now
  }
  scanner.Paused = false;
  scanner.ScanOnce();
  std::lock_guard lock(mu);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], (std::vector<std::string>{"/dev/a", "SIM"}));
  EXPECT_EQ(scanner.Shown(), shown[1]);
}

class ConnectionTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    OnMain([&] { port->Close(); });
    connection = std::make_unique<TConnection>(*modbus, main, settings);
    connection->ListPorts = [this] { return listed; };
    connection->ProbePort = [this](const std::string& n) { return n == "/dev/fake0" && fakePresent; };
    connection->PortFactory = [this](const std::string& name) -> std::shared_ptr<TPort> {
      if (name != "SIM") return nullptr;
      simPort = std::make_shared<SimMemoryPort>();
      return simPort;
    };
    connection->StartIdentification = [this] { ++identifications; };
    connection->ShowMessage = [this](const std::string& t) { shownMessages.push_back(t); };
    connection->LogVisible = [this] { return logVisible; };
    connection->SetLogVisible = [this](bool v) { logVisibility.push_back(v); };
  }
  void TearDown() override {
    OnMain([&] { connection.reset(); });
    EngineTest::TearDown();
  }

  std::unique_ptr<TConnection> connection;
  std::shared_ptr<SimMemoryPort> simPort;
  std::vector<std::string> listed = {"/dev/fake0", "SIM"};
  bool fakePresent = false;
  bool logVisible = false;
  int identifications = 0;
  std::vector<std::string> shownMessages;
  std::vector<bool> logVisibility;
};

TEST_F(ConnectionTest, ManualRefreshListsPresentPortsAndEmptyBoxSaysSo) {
  OnMain([&] { connection->btnRenewComListClick(); });
  TCommView v = View();
  EXPECT_EQ(v.cbxComPortItems, std::vector<std::string>{"SIM"});
  EXPECT_EQ(v.cbxComPortItemIndex, 0);
  fakePresent = true;
  OnMain([&] { connection->btnRenewComListClick(); });
  EXPECT_EQ(View().cbxComPortItems, (std::vector<std::string>{"SIM", "/dev/fake0"}));
  fakePresent = false;
  listed.clear();
  OnMain([&] {
    connection->btnRenewComListClick();
    connection->btnConnectComPortClick();
  });
  v = View();
  EXPECT_TRUE(v.cbxComPortItems.empty());
  EXPECT_EQ(v.cbxComPortText, "COM port...");
  EXPECT_EQ(v.lblCommunicationState, "Not connected");
  EXPECT_EQ(v.btnConnectComPortCaption, "Connect");
  EXPECT_FALSE(connection->Connected());
  EXPECT_EQ(identifications, 0);
}

TEST_F(ConnectionTest, ConnectAndDisconnectDriveTheView) {
  OnMain([&] {
    connection->btnRenewComListClick();
    modbus->View.UpDownID = 1;
    modbus->ErrorCount = 5;
    connection->btnConnectComPortClick();
  });
  TCommView v = View();
  ASSERT_TRUE(connection->Connected());
  EXPECT_EQ(v.lblPortConnected, "SIM connected");
  EXPECT_TRUE(v.lblPortConnectedVisible);
  EXPECT_EQ(v.lblCommunicationState, "Com port ready");
  EXPECT_EQ(v.shpState, TCommColor::Green);
  EXPECT_EQ(v.btnConnectComPortCaption, "Disconnect");
  EXPECT_FALSE(v.cbxComPortVisible);
  EXPECT_FALSE(v.cbxDeviceModelEnabled);
  EXPECT_EQ(identifications, 1);
  EXPECT_EQ(modbus->ErrorCount.load(), 0);
  EXPECT_EQ(logVisibility, (std::vector<bool>{true, false})) << "a hidden log window is hidden again";

  // A new ID reaches new requests but not the address expected in answers.
  OnMain([&] {
    modbus->View.UpDownID = 300;
    connection->EditIDExit();
  });
  EXPECT_EQ(View().EditID, "255");
  EXPECT_EQ(modbus->IdField.load(), 255);
  EXPECT_EQ(modbus->DeviceID, 1);

  OnMain([&] { connection->btnConnectComPortClick(); });  // now it disconnects
  v = View();
  EXPECT_FALSE(connection->Connected());
  EXPECT_EQ(v.lblCommunicationState, "Not connected");
  EXPECT_EQ(v.btnConnectComPortCaption, "Connect");
  EXPECT_TRUE(v.cbxComPortVisible);
  EXPECT_FALSE(v.lblPortConnectedVisible);
  EXPECT_TRUE(v.cbxDeviceModelEnabled);
}

TEST_F(ConnectionTest, PortThatCannotBeOpenedLeavesTheWindowNotConnected) {
  fakePresent = true;  // listed, but the device itself is not there
  OnMain([&] {
    connection->btnRenewComListClick();
    modbus->View.cbxComPortItemIndex = 0;
    ASSERT_EQ(modbus->View.cbxComPortItems[0], "/dev/fake0");
    connection->btnConnectComPortClick();
  });
  const TCommView v = View();
  EXPECT_FALSE(connection->Connected());
  EXPECT_EQ(v.lblCommunicationState, "Not connected");
  EXPECT_EQ(v.btnConnectComPortCaption, "Connect");
  EXPECT_TRUE(v.cbxDeviceModelEnabled);
  EXPECT_EQ(identifications, 0);
  EXPECT_TRUE(shownMessages.empty()) << "no message box";
}

TEST_F(ConnectionTest, LostConnectionDisconnectsWithAMessage) {
  settings.SetResponseTimeout1(20);
  OnMain([&] {
    connection->btnRenewComListClick();
    connection->btnConnectComPortClick();
  });
  ASSERT_TRUE(connection->Connected());
  simPort->link.dropAnswers(100);
  ASSERT_TRUE(Start(true, "SendReadCommand", {Read(3, 0x5004, 1)}));
  WaitOne();
  std::vector<std::string> seen;
  OnMain([&] { seen = shownMessages; });
  EXPECT_EQ(seen, std::vector<std::string>{TModBus::kConnectionLostMessage});
  EXPECT_FALSE(connection->Connected());
  const TCommView v = View();
  EXPECT_EQ(v.lblCommunicationState, "Not connected");
  EXPECT_EQ(v.btnConnectComPortCaption, "Connect");
}

TEST_F(ConnectionTest, ScannerKeepsTheOpenPortListed) {
  OnMain([&] {
    connection->btnRenewComListClick();
    connection->btnConnectComPortClick();
  });
  ASSERT_TRUE(connection->Connected());
  connection->StartScanner(10'000);
  ASSERT_NE(connection->Scanner(), nullptr);
  EXPECT_EQ(connection->Scanner()->OpenPortName(), "SIM");
  connection->Scanner()->ScanOnce();
  EXPECT_EQ(connection->Scanner()->Found(), std::vector<std::string>{"SIM"});
  OnMain([&] { connection->btnClosePortClick(); });
  EXPECT_EQ(connection->Scanner()->OpenPortName(), "");
}

}  // namespace
}  // namespace ferrolad::testing
