#include <gtest/gtest.h>

#include "comm/modbus.h"
#include "comm/modbus_frame.h"

using namespace ferrolad;

namespace {
TRWmbrReg Request(uint8_t function, uint16_t address, uint16_t count, TBytesArray data = {}) {
  TRWmbrReg r;
  r.FunctionCode = function;
  r.Address = address;
  r.Count = count;
  r.Data = std::move(data);
  return r;
}
}  // namespace

TEST(ModbusFrame, RequestBytes) {
  struct Case {
    const char* name;
    TRWmbrReg request;
    uint8_t slave;
    TBytesArray bytes;
    uint8_t requestedItems;
  };
  const Case cases[] = {
      {"read holding register", Request(3, 0x5004, 1), 1, {0x01, 0x03, 0x50, 0x04, 0x00, 0x01}, 1},
      {"read coils, items = low byte of count", Request(1, 0x0010, 0x0123), 5, {0x05, 0x01, 0x00, 0x10, 0x01, 0x23}, 0x23},
      {"read inputs", Request(2, 0xF001, 1), 247, {0xF7, 0x02, 0xF0, 0x01, 0x00, 0x01}, 1},
      {"read input registers", Request(4, 0x1234, 2), 1, {0x01, 0x04, 0x12, 0x34, 0x00, 0x02}, 2},
      {"coil on", Request(5, 0xF005, 1, {0x00, 0x01}), 1, {0x01, 0x05, 0xF0, 0x05, 0xFF, 0x00}, 0},
      {"coil off", Request(5, 0xF005, 1, {0x00, 0x00}), 1, {0x01, 0x05, 0xF0, 0x05, 0x00, 0x00}, 0},
      {"coil: only the low byte counts", Request(5, 0xF005, 1, {0x01, 0x00}), 1, {0x01, 0x05, 0xF0, 0x05, 0x00, 0x00}, 0},
      {"coil without data", Request(5, 0xF005, 1, {0x01}), 1, {0x01, 0x05, 0xF0, 0x05, 0x00, 0x00}, 0},
      {"single register", Request(6, 0x5010, 1, {0x12, 0x34}), 1, {0x01, 0x06, 0x50, 0x10, 0x12, 0x34}, 0},
      {"write 120000 as two registers, low word first", Request(16, 0x5000, 2, {0xD4, 0xC0, 0x00, 0x01}), 1,
       {0x01, 0x10, 0x50, 0x00, 0x00, 0x02, 0x04, 0xD4, 0xC0, 0x00, 0x01}, 0},
      {"odd data padded", Request(16, 0x5000, 1, {0x07}), 1, {0x01, 0x10, 0x50, 0x00, 0x00, 0x01, 0x02, 0x07, 0x00}, 0},
      {"multiple coils", Request(15, 0x0100, 1, {0x00, 0x01}), 1, {0x01, 0x0F, 0x01, 0x00, 0x00, 0x01, 0x02, 0x00, 0x01}, 0},
      {"data longer than 2 x count refused", Request(16, 0x5000, 1, {1, 2, 3, 4}), 1, {}, 0},
      {"data shorter than 2 x count refused", Request(16, 0x5000, 2, {1, 2}), 1, {}, 0},
      {"byte count over 255 refused", Request(16, 0x5000, 128, TBytesArray(256, 0)), 1, {}, 0},
      {"unknown code: zero tail", Request(7, 0xABCD, 9), 1, {0x01, 0x07, 0xAB, 0xCD, 0x00, 0x00}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t items = 0xEE;
    EXPECT_EQ(BuildRequestBytes(c.request, c.slave, &items), c.bytes);
    EXPECT_EQ(items, c.requestedItems);
  }
  TModBus modbus;
  modbus.BuildRequestBytes(Request(3, 0, 7), 1);
  EXPECT_EQ(modbus.RequestedItems, 7);
  modbus.BuildRequestBytes(Request(6, 0, 1, {0, 1}), 1);
  EXPECT_EQ(modbus.RequestedItems, 0);
}

TEST(ModbusFrame, LrcAndAsciiFrame) {
  const TBytesArray read = {0x01, 0x03, 0x50, 0x04, 0x00, 0x01};
  EXPECT_EQ(ComputeLrc(read), 0xA7);
  EXPECT_EQ(ComputeLrc(TBytesArray{}), 0x00);
  EXPECT_EQ(ComputeLrc(TBytesArray{0x80, 0x80}), 0x00);
  EXPECT_EQ(ComputeLrc(TBytesArray{0x01}), 0xFF);
  EXPECT_EQ(AsciiFrame(read), ":010350040001A7\r\n");
  const TBytesArray write = {0x01, 0x10, 0x50, 0x00, 0x00, 0x02, 0x04, 0xD4, 0xC0, 0x00, 0x01};
  const std::string frame = AsciiFrame(write);
  EXPECT_EQ(frame, ":01105000000204D4C0000104\r\n");
  EXPECT_EQ(frame.size(), 2 * write.size() + 5);
  EXPECT_EQ(AsciiFrame(TBytesArray{0x01, 0x03, 0x50, 0x04, 0x00}), "");  // fewer than 6 bytes: refused
  EXPECT_EQ(AsciiFrame(TBytesArray{0xAB, 0xCD, 0xEF, 0x0A, 0xFF, 0x00}), ":ABCDEF0AFF0090\r\n");
}

TEST(ModbusFrame, HexWords) {
  const std::vector<std::string> good = {"01", "3", "0xA7", "ff", "0XFE"};
  EXPECT_EQ(ParseHexWords(good), (TBytesArray{0x01, 0x03, 0xA7, 0xFF, 0xFE}));
  for (const char* bad : {"", "100", "0x", "g1", "-1", "0x123", " 1"}) {
    const std::vector<std::string> words = {"01", bad};
    EXPECT_EQ(ParseHexWords(words), std::nullopt) << bad;
  }
  EXPECT_EQ(HexText(TBytesArray{0x01, 0xAB}), "01 AB");
}
