#include <gtest/gtest.h>

#include "comm/modbus_response.h"
#include "comm/modbus_frame.h"
#include "comm/recording_log.h"
#include "core/common_datas.h"

using namespace ferrolad;
using ferrolad::testing::RecordingLog;

namespace {

// ":" + hex + LRC + CR LF for any number of bytes (answers may be shorter than the 6 a request needs).
std::string Frame(const TBytesArray& bytes) {
  std::string hex;
  for (char c : HexText(bytes)) {
    if (c != ' ') hex += c;
  }
  const TBytesArray lrc = {ComputeLrc(bytes)};
  return ":" + hex + HexText(lrc) + "\r\n";
}

TRWmbrReg Request(uint8_t function, uint16_t address, uint16_t count, TBytesArray data = {}) {
  TRWmbrReg r;
  r.FunctionCode = function;
  r.Address = address;
  r.Count = count;
  r.Data = std::move(data);
  return r;
}

class ResponseTest : public ::testing::Test {
 protected:
  ResponseTest() {
    modbus.Log = &log;
    modbus.Settings = &settings;
    modbus.ReadReady = &readReady;
    modbus.DeviceID = 1;
    modbus.UserCommandPending = 1;
  }
  // What the per-frame worker does before it writes a frame.
  void Expect(const TRWmbrReg& r, uint8_t slave = 1) {
    modbus.CurrentAddress = r.Address;
    ASSERT_TRUE(modbus.SetExpectations(AsciiFrame(BuildRequestBytes(r, slave))));
    modbus.ClearResponse();
    modbus.ResponseEvent.reset();
    modbus.ValueEvent.reset();
    readReady.reset();
    log.entries.clear();
  }
  void ExpectRefused() {
    EXPECT_EQ(modbus.ResponseValid, 0);
    EXPECT_TRUE(modbus.ResponseBytes.empty());
    EXPECT_FALSE(modbus.ResponseEvent.isSet());
    EXPECT_FALSE(modbus.ValueEvent.isSet());
    EXPECT_TRUE(readReady.isSet());
  }
  std::string LastRecv() const {
    auto t = log.Texts(LogEntryKind::Recv);
    return t.empty() ? std::string() : t.back();
  }

  TCommonDatas settings;
  RecordingLog log;
  ManualResetEvent readReady{false, "EventReadReady"};
  ModbusResponseChecker modbus;
};

}  // namespace

TEST_F(ResponseTest, SetExpectationsFromTheFrame) {
  ASSERT_TRUE(modbus.SetExpectations(":010350040003A4\r\n"));
  EXPECT_EQ(modbus.RequestFunction, 3);
  EXPECT_EQ(modbus.RequestAddress, 0x5004);
  EXPECT_EQ(modbus.RequestCount, 3);
  EXPECT_EQ(modbus.ByteCountPos, 6);
  EXPECT_EQ(modbus.BaseLength, 9);
  EXPECT_EQ(modbus.ExpectedResponseLength(), 9);
  ASSERT_TRUE(modbus.SetExpectations(AsciiFrame(BuildRequestBytes(Request(16, 0x5000, 2, {1, 2, 3, 4}), 1))));
  EXPECT_EQ(modbus.RequestFunction, 16);
  EXPECT_EQ(modbus.RequestCount, 0);
  EXPECT_EQ(modbus.ByteCountPos, 0);
  EXPECT_EQ(modbus.BaseLength, 15);
  ASSERT_TRUE(modbus.SetExpectations(AsciiFrame(BuildRequestBytes(Request(5, 0xF005, 1, {0, 1}), 1))));
  EXPECT_EQ(modbus.RequestFunction, 5);
  EXPECT_EQ(modbus.RequestAddress, 0xF005);
  EXPECT_EQ(modbus.RequestCount, 1);
  // An unknown code keeps the shape fields of the frame before.
  ASSERT_TRUE(modbus.SetExpectations(":01070001000000\r\n"));
  EXPECT_EQ(modbus.RequestFunction, 7);
  EXPECT_EQ(modbus.RequestCount, 1);
  EXPECT_EQ(modbus.BaseLength, 15);
  for (const char* bad : {":01G350040001A7\r\n", ":010350X40001A7\r\n", ":0103500400Z1A7\r\n", ":0103", ""}) {
    EXPECT_FALSE(modbus.SetExpectations(bad)) << bad;
  }
}

TEST_F(ResponseTest, GoodReadIsDecodedAndSignalled) {
  Expect(Request(3, 0x5004, 1));
  const std::string answer = Frame({0x01, 0x03, 0x02, 0x12, 0x34});
  modbus.ProcessReceived(answer);
  EXPECT_EQ(modbus.ResponseValid, 1);
  EXPECT_EQ(modbus.ResponseFunction, 3);
  EXPECT_EQ(modbus.ResponseAddress, 0x5004);
  EXPECT_EQ(modbus.ResponseValue, 0x1234);
  EXPECT_EQ(modbus.ResponseBytes, (TBytesArray{0x01, 0x03, 0x02, 0x12, 0x34}));
  EXPECT_TRUE(modbus.ResponseEvent.isSet());
  EXPECT_TRUE(modbus.ValueEvent.isSet());
  EXPECT_TRUE(readReady.isSet());
  EXPECT_TRUE(modbus.ReceiveBuffer.empty());
  ASSERT_EQ(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[0], std::make_pair(LogEntryKind::Str, answer));
  EXPECT_EQ(log.entries[1], std::make_pair(LogEntryKind::Recv, answer));

  // During status polling the frame is logged with a prefix.
  modbus.UserCommandPending = 0;
  Expect(Request(3, 0x5004, 1));
  modbus.ProcessReceived(answer);
  EXPECT_EQ(LastRecv(), "Get state - " + answer);
}

TEST_F(ResponseTest, GoodWritesEchoTheAddress) {
  for (uint8_t function : {5, 6, 15, 16}) {
    SCOPED_TRACE(int(function));
    const uint16_t count = function == 5 || function == 6 ? 1 : 2;
    Expect(Request(function, 0xF005, count, TBytesArray(2 * count, 0)));
    modbus.ProcessReceived(Frame({0x01, function, 0xF0, 0x05, 0x00, static_cast<uint8_t>(count)}));
    EXPECT_EQ(modbus.ResponseValid, 1);
    EXPECT_EQ(modbus.ResponseFunction, function);
    EXPECT_EQ(modbus.ResponseAddress, 0xF005);
    EXPECT_TRUE(modbus.ResponseEvent.isSet());
    EXPECT_FALSE(modbus.ValueEvent.isSet());  // only reads announce a value
  }
}

TEST_F(ResponseTest, ValueDecoding) {
  struct Case {
    const char* name;
    uint8_t function;
    uint16_t count;
    TBytesArray data;  // after the byte count
    int32_t value;
  };
  const Case cases[] = {
      {"no data", 3, 0, {}, 0},
      {"eight bits, bit 0 first", 1, 8, {0x05}, 5},
      {"discrete inputs", 2, 1, {0x01}, 1},
      {"one register", 3, 1, {0xAB, 0xCD}, 0xABCD},
      {"input register", 4, 1, {0x00, 0x07}, 7},
      {"two registers, low word first: 120000", 3, 2, {0xD4, 0xC0, 0x00, 0x01}, 120000},
      {"32-bit negative", 3, 2, {0xFF, 0xFE, 0xFF, 0xFF}, -2},
      {"three bytes", 1, 24, {0x01, 0x02, 0x03}, 0x0102},
      {"three registers: value 0", 3, 3, {0, 1, 0, 2, 0, 3}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Expect(Request(c.function, 0x1000, c.count));
    modbus.ResponseValue = 12345;
    TBytesArray answer = {0x01, c.function, static_cast<uint8_t>(c.data.size())};
    answer.insert(answer.end(), c.data.begin(), c.data.end());
    modbus.ProcessReceived(Frame(answer));
    ASSERT_EQ(modbus.ResponseValid, 1);
    EXPECT_EQ(modbus.ResponseValue, c.value);
    EXPECT_EQ(modbus.ResponseBytes, answer);
    EXPECT_TRUE(modbus.ValueEvent.isSet());
  }
}

TEST_F(ResponseTest, EveryErrorKindWithItsText) {
  struct Case {
    const char* name;
    TRWmbrReg request;
    std::string received;
    std::string text;  // the logged message, without the received text
  };
  const TRWmbrReg read = Request(3, 0x5004, 1);
  const TRWmbrReg write = Request(6, 0x5010, 1, {0, 5});
  const std::string exception = Frame({0x01, 0x83, 0x02});
  const std::string good = Frame({0x01, 0x03, 0x02, 0x12, 0x34});
  std::string lowerCase = good;
  lowerCase[9] = 'a';  // the second data byte becomes "a4"
  std::string badLrc = good;
  badLrc[good.size() - 3] = badLrc[good.size() - 3] == '0' ? '1' : '0';
  const Case cases[] = {
      {"exception", read, exception,
       "Wrong response: Modbus error " + exception +
           "Mobas error occurred: \r\nRequest cmd = 0x03; Request start address = 0x5004; Registaers number = 1\r\n"
           "Error code = 2 = Illegal Data Address"},
      {"write answer too short", write, ":0106\r\n", "Wrong response: data length errore "},
      {"fewer data than the byte count", read, Frame({0x01, 0x03, 0x02, 0x12}), "Wrong response: data length errore "},
      {"other slave", read, Frame({0x02, 0x03, 0x02, 0x12, 0x34}), "Wrong response: ID error "},
      {"other address echoed", write, Frame({0x01, 0x06, 0x50, 0x11, 0x00, 0x05}), "Wrong response: Register address error"},
      {"other function", read, Frame({0x01, 0x04, 0x02, 0x12, 0x34}), "Wrong response: command error"},
      {"lower-case digits", read, lowerCase, "Wrong response: error in Modbus packet"},
      {"ID not hex", read, ":0G03021234B4\r\n", "Wrong response: error in Modbus packet"},
      {"function not hex", read, ":01X3021234B4\r\n", "Wrong response: error in Modbus packet"},
      {"byte count not hex", read, ":0103Z21234B4\r\n", "Wrong response: error in Modbus packet"},
      {"echoed address not hex", write, ":01065Q100005XX\r\n", "Wrong response: error in Modbus packet"},
      {"LRC not hex", read, ":0103021234QQ\r\n", "Wrong response: error in Modbus packet"},
      {"LRC mismatch", read, badLrc, "Wrong response: error LRC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Expect(c.request);
    modbus.ProcessReceived(c.received);
    ExpectRefused();
    const std::string expected = c.text.rfind("Wrong response: Modbus error ", 0) == 0 ? c.text : c.text + c.received;
    EXPECT_EQ(LastRecv(), expected);
  }
}

TEST_F(ResponseTest, ReportResponseErrorTexts) {
  // A cut frame always ends with CR LF, so kind 2 is only ever reported directly.
  const std::string r = ":0103";
  const std::pair<int, std::string> cases[] = {
      {2, "Wrong response - wrong terminated symbols :0103"}, {3, "Wrong response: data length errore :0103"},
      {4, "Wrong response: ID error :0103"},                  {5, "Wrong response: Register address error:0103"},
      {6, "Wrong response: command error:0103"},              {7, "Wrong response: error in Modbus packet:0103"},
      {8, "Wrong response: error LRC:0103"},
  };
  for (const auto& [kind, text] : cases) {
    modbus.ResponseBytes = {1, 2};
    log.entries.clear();
    modbus.ReportResponseError(kind, r);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0], std::make_pair(LogEntryKind::Recv, text));
    EXPECT_TRUE(modbus.ResponseBytes.empty());
  }
  modbus.ResponseBytes = {1};
  log.entries.clear();
  modbus.ReportResponseError(9, r);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_TRUE(modbus.ResponseBytes.empty());
}

TEST_F(ResponseTest, DescribeException) {
  modbus.SetExpectations(":01105000000204D4C0000104\r\n");
  const std::string head =
      "Mobas error occurred: \r\nRequest cmd = 0x10; Request start address = 0x5000; Registaers number = 0\r\n";
  EXPECT_EQ(modbus.DescribeException(":019004xx\r\n"), head + "Error code = 4 = Slave Device Failure");
  EXPECT_EQ(modbus.DescribeException(":01900Axx\r\n"), head + "Error code = 10");
  EXPECT_EQ(modbus.DescribeException(":0190\r\n"), head);
  const char* names[] = {" = Illegal Function",  " = Illegal Data Address", " = Illegal Data Value",
                         " = Slave Device Failure", " = Acknowledge",        " = Slave Device Busy",
                         " = Negative Acknowledge", " = Memory Parity Error"};
  for (int code = 1; code <= 8; ++code) {
    const std::string received = ":0190" + std::string(1, '0') + std::to_string(code) + "00\r\n";
    EXPECT_EQ(modbus.DescribeException(received), head + "Error code = " + std::to_string(code) + names[code - 1]);
  }
}

TEST_F(ResponseTest, SlaveIdIsHexadecimal) {
  modbus.DeviceID = 10;
  Expect(Request(3, 0x5004, 1), 10);
  const std::string answer = Frame({0x0A, 0x03, 0x02, 0x00, 0x01});
  ASSERT_EQ(answer.substr(0, 3), ":0A");
  modbus.ProcessReceived(answer);
  EXPECT_EQ(modbus.ResponseValid, 1);
}

TEST_F(ResponseTest, SplitChunksWaitForTheEnd) {
  Expect(Request(3, 0x5004, 2));
  const std::string answer = Frame({0x01, 0x03, 0x04, 0xD4, 0xC0, 0x00, 0x01});
  for (size_t i = 0; i + 1 < answer.size(); ++i) {
    readReady.reset();
    modbus.ProcessReceived(answer.substr(i, 1));
    EXPECT_TRUE(readReady.isSet()) << i;  // every delivery lets the port read on
    ASSERT_EQ(modbus.ResponseValid, 0) << i;
  }
  modbus.ProcessReceived(answer.substr(answer.size() - 1));
  EXPECT_EQ(modbus.ResponseValid, 1);
  EXPECT_EQ(modbus.ResponseValue, 120000);
  // The last Str entry quotes the whole text handed over, remainder included.
  EXPECT_EQ(log.Texts(LogEntryKind::Str).back(), answer);
}

TEST_F(ResponseTest, TwoFramesInOneChunk) {
  Expect(Request(3, 0x5004, 1));
  const std::string first = Frame({0x01, 0x03, 0x02, 0x00, 0x11});
  const std::string second = Frame({0x01, 0x03, 0x02, 0x00, 0x22});
  modbus.ProcessReceived(first + second);
  EXPECT_EQ(modbus.ResponseValue, 0x11);
  EXPECT_EQ(modbus.ReceiveBuffer, second);
  EXPECT_TRUE(log.Texts(LogEntryKind::Recv).size() == 1u);  // nothing reported damaged
  Expect(Request(3, 0x5004, 1));
  modbus.ProcessReceived("");
  EXPECT_EQ(modbus.ResponseValid, 1);
  EXPECT_EQ(modbus.ResponseValue, 0x22);
  EXPECT_TRUE(modbus.ReceiveBuffer.empty());
}

TEST_F(ResponseTest, DamagedCharactersBeforeAFrameAreCut) {
  const std::string good = Frame({0x01, 0x03, 0x02, 0x00, 0x33});
  const std::string cases[] = {
      "xyz",            // plain garbage
      "\r\n",           // a stray line end
      ":0103020",       // a frame cut short by a newer one
  };
  for (const auto& garbage : cases) {
    SCOPED_TRACE(garbage);
    modbus.ReceiveBuffer.clear();
    Expect(Request(3, 0x5004, 1));
    modbus.ProcessReceived(garbage);
    modbus.ProcessReceived(good);
    EXPECT_EQ(modbus.ResponseValid, 1);
    EXPECT_EQ(modbus.ResponseValue, 0x33);
    EXPECT_TRUE(modbus.ReceiveBuffer.empty());
    const auto recv = log.Texts(LogEntryKind::Recv);
    ASSERT_EQ(recv.size(), 2u);
    EXPECT_EQ(recv[0], "One or more of data packets are damaged:" + garbage + good);
    EXPECT_EQ(recv[1], good);
  }
  // Several broken starts and stray line ends in one delivery: each is reported, the line recovers.
  modbus.ReceiveBuffer.clear();
  Expect(Request(3, 0x5004, 1));
  modbus.ProcessReceived("#:01:\r\n:01");
  for (int i = 0; i < 3 && modbus.ResponseValid == 0; ++i) modbus.ProcessReceived(i == 0 ? good : "");
  EXPECT_EQ(modbus.ResponseValid, 1);
  EXPECT_EQ(modbus.ResponseValue, 0x33);
  EXPECT_EQ(LastRecv(), good);
}

TEST_F(ResponseTest, GarbageWithoutColonIsKeptButBounded) {
  Expect(Request(3, 0x5004, 1));
  modbus.ProcessReceived("abc");
  EXPECT_EQ(modbus.ReceiveBuffer, "abc");
  EXPECT_TRUE(readReady.isSet());
  modbus.ProcessReceived(std::string(10000, 'x'));
  EXPECT_EQ(modbus.ReceiveBuffer.size(), ModbusResponseChecker::kReceiveBufferCap);
  EXPECT_EQ(log.Texts(LogEntryKind::Error).back(), "Receive buffer overflow: 5907 characters dropped");
  // A frame start without an end cannot grow without bound either.
  modbus.ReceiveBuffer.clear();
  modbus.ProcessReceived(":" + std::string(5000, '0'));
  EXPECT_LE(modbus.ReceiveBuffer.size(), ModbusResponseChecker::kReceiveBufferCap);
  // The line recovers with the next good frame.
  modbus.ProcessReceived("\r\n" + Frame({0x01, 0x03, 0x02, 0x00, 0x44}));
  modbus.ProcessReceived("");
  EXPECT_EQ(modbus.ResponseValid, 1);
  EXPECT_EQ(modbus.ResponseValue, 0x44);
}

TEST_F(ResponseTest, WriteLogOffSilencesTrafficButNotErrors) {
  settings.SetWriteLog(false);
  Expect(Request(3, 0x5004, 1));
  modbus.ProcessReceived(Frame({0x01, 0x03, 0x02, 0x00, 0x01}));
  EXPECT_EQ(modbus.ResponseValid, 1);
  EXPECT_TRUE(log.entries.empty());
  Expect(Request(3, 0x5004, 1));
  modbus.ProcessReceived(Frame({0x02, 0x03, 0x02, 0x00, 0x01}));
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].first, LogEntryKind::Recv);
}
