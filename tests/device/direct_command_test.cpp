#include "device/direct_command.h"

#include <gtest/gtest.h>

namespace ferrolad {
namespace {

// Every write is read back with a read of its own kind: coils (5 and 15) with "read coils", registers
// with "read holding registers". A function-15 request cannot be framed as a read.
TEST(DirectCommandReadBackTest, EachWriteIsReadBackWithAReadFunction) {
  struct Case {
    uint8_t write;
    uint8_t count;
    uint8_t read;
  };
  const Case cases[] = {{5, 1, 1}, {15, 1, 1}, {15, 2, 1}, {6, 1, 3}, {16, 1, 3}, {16, 2, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "function " << int(c.write) << " count " << int(c.count));
    const TDC_Record record{c.write, 0x5100, c.count, 1, 1, "CMD"};
    const auto list = BuildDirectCommandList({2, false, false, true, {record}, 0});
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[1].FunctionCode, c.write);
    EXPECT_EQ((*list)[2].FunctionCode, c.read);
    EXPECT_EQ((*list)[2].Address, 0x5100);
    EXPECT_EQ((*list)[2].Count, c.count);
    EXPECT_EQ((*list)[2].Counted, 0);
    EXPECT_TRUE((*list)[2].Data.empty());
  }
}

// Variant 3 writes its own value into every record; the other variants keep each record's value.
TEST(DirectCommandReadBackTest, ValueOfVariantThreeReplacesEachRecordsValue) {
  const TDC_Record first{6, 0x5004, 1, 0x0102, 1, "A"};
  const TDC_Record second{16, 0x5000, 2, 0x03040506, 1, "B"};
  const auto own = BuildDirectCommandList({1, false, false, false, {first, second}, 0x7FFF});
  ASSERT_TRUE(own.has_value());
  ASSERT_EQ(own->size(), 3u);
  EXPECT_EQ((*own)[1].Data, (TBytesArray{0x01, 0x02}));
  EXPECT_EQ((*own)[2].Data, (TBytesArray{0x05, 0x06, 0x03, 0x04}));
  EXPECT_EQ((*own)[2].Name, "B");

  const auto replaced = BuildDirectCommandList({3, false, false, false, {first, second}, -2});
  ASSERT_TRUE(replaced.has_value());
  ASSERT_EQ(replaced->size(), 3u);
  EXPECT_EQ((*replaced)[1].Data, (TBytesArray{0xFF, 0xFE}));
  EXPECT_EQ((*replaced)[2].Data, (TBytesArray{0xFF, 0xFE, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace ferrolad
