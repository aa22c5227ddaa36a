// Register map of the four models: every named command answers as its row says, identification,
// ranges, exceptions and slave addressing.
#include <gtest/gtest.h>

#include <map>

#include "sim/sim_controller.h"
#include "sim_test_util.h"

namespace ferrolad::sim {
namespace {

using test::Master;

std::string Label(const testing::TestParamInfo<SimModel>& p) {
  switch (p.param) {
    case SimModel::LiraV2: return "LiraV2";
    case SimModel::LiraV3: return "LiraV3";
    case SimModel::Tarn: return "Tarn";
    case SimModel::Obel: return "Obel";
  }
  return "x";
}

class ModelMap : public testing::TestWithParam<SimModel> {
 protected:
  SimOptions opts() {
    SimOptions o;
    o.model = GetParam();
    o.clock = std::make_shared<ManualSimClock>();
    return o;
  }
};

bool IsWrite(uint8_t fc) { return fc == 5 || fc == 6 || fc == 15 || fc == 16; }

// Every row, sent as the client sends it (reads with the row's count, writes with the row's
// default), gets a well-formed normal answer.
TEST_P(ModelMap, EveryRowAnswersWithItsDefault) {
  for (const auto& row : CommandRows(GetParam())) {
    SCOPED_TRACE(row.name);
    SimController c(opts());
    Master m{c};
    std::vector<uint8_t> req;
    switch (row.functionCode) {
      case 1: case 2: case 3: case 4:
        if (row.count == 0) {  // an address marker only: a zero quantity is malformed
          EXPECT_EQ(m.exceptionOf(test::ReadReq(1, row.functionCode, row.address, 0)), kIllegalValue);
          req = test::ReadReq(1, row.functionCode, row.address, 1);
        } else {
          req = test::ReadReq(1, row.functionCode, row.address, row.count);
        }
        break;
      case 5: req = test::CoilReq(1, row.address, row.defaultValue != 0); break;
      case 6: req = test::RegReq(1, row.address, uint16_t(row.defaultValue)); break;
      case 16:
        req = row.count == 2 ? test::RegsReq(1, row.address, test::Words32(row.defaultValue))
                             : test::RegsReq(1, row.address, {uint16_t(row.defaultValue)});
        break;
      default: FAIL() << "unexpected function code";
    }
    auto a = m.ask(req);
    ASSERT_TRUE(a) << "no answer";
    ASSERT_EQ((*a)[1], row.functionCode) << "exception " << int(a->size() > 2 ? (*a)[2] : 0);
    if (IsWrite(row.functionCode)) {
      EXPECT_TRUE(m.echoes(req));
    } else {
      uint16_t qty = uint16_t(req[4] << 8 | req[5]);
      size_t bytes = row.functionCode <= 2 ? (qty + 7) / 8 : qty * 2;
      EXPECT_EQ((*a)[2], bytes);
      EXPECT_EQ(a->size(), 3 + bytes);
    }
  }
}

// Parameter rows: the power-on value is the writing row's default, within the row's range.
TEST_P(ModelMap, ParametersStartAtTheirDefaults) {
  SimController c(opts());
  Master m{c};
  const auto info = ModelInfo(GetParam());
  struct Case { const char* get; int64_t expected; };
  const std::vector<Case> cases = {
      {"GET_MAX_SPEED", 100}, {"GET_MIN_SPEED", 100}, {"GET_ACCEL", 100}, {"GET_DECEL", 100},
      {"GET_FS_SPEED", 100}, {"GET_FS_SW_EN", 1}, {"GET_CMINSPEED", 1}, {"GET_DIR", 1}, {"GET_MICRO", 0},
      {"GET_SW_INPUT", 0}, {"GET_ERROR_SET_HIZ", 3}, {"GET_CMD_RUN", 0}, {"GET_BAUDRATE", 115200},
      {"GET_PARITY", 2}, {"GET_ID", 1},
      {"GET_RUN_CUR", std::clamp<int64_t>(1500, info.minCurrent, info.maxCurrent)},
      {"GET_HOLD_CUR", std::clamp<int64_t>(1200, info.minCurrent, info.maxCurrent)},
  };
  for (const auto& k : cases) {
    auto row = FindRow(GetParam(), k.get);
    ASSERT_TRUE(row) << k.get;
    int64_t v = row->count == 2 ? m.reg32(3, row->address) : m.reg(3, row->address);
    EXPECT_EQ(v, k.expected) << k.get;
  }
}

// Every writing row accepts its own limits (read back equal) and refuses a value outside every
// row that writes the same register.
TEST_P(ModelMap, WriteRowsKeepTheirRanges) {
  std::map<uint16_t, std::pair<int64_t, int64_t>> unionRange;
  const auto rows = CommandRows(GetParam());
  for (const auto& r : rows) {
    if (r.functionCode != 6 && r.functionCode != 16) continue;
    auto [it, fresh] = unionRange.try_emplace(r.address, r.minValue, r.maxValue);
    if (!fresh) it->second = {std::min(it->second.first, r.minValue), std::max(it->second.second, r.maxValue)};
  }
  for (const auto& r : rows) {
    if (r.functionCode != 6 && r.functionCode != 16) continue;
    // The window and the packet size are buffers, and the debug value register is split.
    if (r.address >= 0xF400 || r.address == 0x6002) continue;
    SCOPED_TRACE(r.name);
    const bool wide = r.count == 2;
    auto write = [&](Master& m, int64_t v) {
      if (r.functionCode == 6) return m.exceptionOf(test::RegReq(1, r.address, uint16_t(v)));
      return m.exceptionOf(wide ? test::RegsReq(1, r.address, test::Words32(v)) : test::RegsReq(1, r.address, {uint16_t(v)}));
    };
    for (int64_t v : {r.minValue, r.maxValue}) {
      if (!wide && v > 0xFFFF) continue;
      SimController c(opts());
      Master m{c};
      ASSERT_EQ(write(m, v), 0) << v;
      if (r.address == 0x8103) m.id = uint8_t(v);  // a new slave ID answers from now on
      EXPECT_EQ(wide ? m.reg32(3, r.address) : m.reg(3, r.address), v);
    }
    auto [lo, hi] = unionRange[r.address];
    SimController c(opts());
    Master m{c};
    if (wide ? lo > INT32_MIN : lo > 0) {
      EXPECT_EQ(write(m, lo - 1), kIllegalValue);
    }
    if (wide ? hi < INT32_MAX : hi < 0xFFFF) {
      EXPECT_EQ(write(m, hi + 1), kIllegalValue);
    }
  }
}

TEST_P(ModelMap, ActionCoilsTakeOnlyOn) {
  SimController c(opts());
  Master m{c};
  for (const auto& r : CommandRows(GetParam())) {
    if (r.functionCode != 5) continue;
    SCOPED_TRACE(r.name);
    EXPECT_EQ(m.exceptionOf(test::CoilReq(1, r.address, false)), r.minValue == 1 ? kIllegalValue : 0);
  }
}

TEST_P(ModelMap, Identification) {
  SimController c(opts());
  Master m{c};
  const auto& info = ModelInfo(GetParam());
  EXPECT_EQ(m.reg32(4, 0x8001), int64_t(info.hwValues[0]));
  EXPECT_EQ(m.reg32(4, 0x8003), 0x00080002);
  EXPECT_EQ(m.reg32(4, 0x8005), 1);
  EXPECT_EQ(m.reg32(4, 0x8007), int64_t(info.regMapVersion));
  EXPECT_EQ(m.reg(4, 0x8009), info.cmdListVersion);
  EXPECT_EQ(m.reg(4, 0x800A), info.operandListVersion);
}

TEST_P(ModelMap, LaterModelRowsOnlyOnLaterModels) {
  SimController c(opts());
  Master m{c};
  const auto& info = ModelInfo(GetParam());
  auto expect = [](bool present) { return present ? 0 : int(kIllegalAddress); };
  EXPECT_EQ(m.exceptionOf(test::RegsReq(1, 0x5048, test::Words32(100))), expect(info.hasEmergencyDecel));
  EXPECT_EQ(m.exceptionOf(test::ReadReq(1, 3, 0x5048, 2)), expect(info.hasEmergencyDecel));
  EXPECT_EQ(m.exceptionOf(test::ReadReq(1, 1, 0x5030, 1)), expect(info.hasSupplyVoltage));
  EXPECT_EQ(m.exceptionOf(test::ReadReq(1, 1, 0x502F, 1)), expect(info.hasInternalVoltage));
  if (info.hasInternalVoltage) {
    c.setInternalVoltageFault(true);
    EXPECT_EQ(m.bits(1, 0x502F, 1), 1);
  }
}

TEST_P(ModelMap, CurrentRangeFollowsTheModel) {
  SimController c(opts());
  Master m{c};
  const auto& info = ModelInfo(GetParam());
  for (uint16_t a : {0x5012, 0x5013, 0x5014, 0x5015}) {
    EXPECT_EQ(m.exceptionOf(test::RegReq(1, a, uint16_t(info.minCurrent - 1))), kIllegalValue);
    EXPECT_EQ(m.exceptionOf(test::RegReq(1, a, uint16_t(info.maxCurrent + 1))), kIllegalValue);
    EXPECT_EQ(m.exceptionOf(test::RegReq(1, a, uint16_t(info.maxCurrent))), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(AllModels, ModelMap,
                         testing::Values(SimModel::LiraV2, SimModel::LiraV3, SimModel::Tarn, SimModel::Obel), Label);

TEST(SimMap, ExceptionCodes) {
  SimController c;
  Master m{c};
  struct Case { const char* what; std::vector<uint8_t> req; int code; };
  const std::vector<Case> cases = {
      {"function 7", {1, 7}, kIllegalFunction},
      {"function 0x17", {1, 0x17, 0x50, 0, 0, 1, 0x50, 0, 0, 1, 2, 0, 0}, kIllegalFunction},
      {"function 0x2B", {1, 0x2B, 0x0E, 1, 0}, kIllegalFunction},
      {"gap in the parameters", test::ReadReq(1, 3, 0x5008, 1), kIllegalAddress},
      {"read across the gap", test::ReadReq(1, 3, 0x5006, 3), kIllegalAddress},
      {"output Y8", test::ReadReq(1, 2, 0x1000, 9), kIllegalAddress},
      {"coil 0", test::ReadReq(1, 1, 0x0000, 1), kIllegalAddress},
      {"input register 0x8000", test::ReadReq(1, 4, 0x8000, 1), kIllegalAddress},
      {"write to a read-only register", test::RegReq(1, 0x5027, 1), kIllegalAddress},
      {"write to an input-only coil", test::CoilReq(1, 0x5030, true), kIllegalAddress},
      {"half of a 32-bit value", test::RegReq(1, 0x5000, 500), kIllegalAddress},
      {"upper half of a 32-bit value", test::RegsReq(1, 0x5001, {0, 1}), kIllegalAddress},
      {"quantity 0", test::ReadReq(1, 3, 0x5004, 0), kIllegalValue},
      {"quantity 126", test::ReadReq(1, 3, 0xF401, 126), kIllegalValue},
      {"2001 bits", test::ReadReq(1, 2, 0x2000, 2001), kIllegalValue},
      {"coil value 0x1234", {1, 5, 0xF0, 0x05, 0x12, 0x34}, kIllegalValue},
      {"byte count mismatch", {1, 16, 0x50, 0x04, 0, 1, 4, 0, 5, 0, 0}, kIllegalValue},
      {"short read", {1, 3, 0x50, 0x04, 0}, kIllegalValue},
      {"ACCEL 1001", test::RegReq(1, 0x5004, 1001), kIllegalValue},
      {"ACCEL 0", test::RegReq(1, 0x5004, 0), kIllegalValue},
      {"MAX_SPEED 7", test::RegsReq(1, 0x5000, test::Words32(7)), kIllegalValue},
      {"ABS_POS -2^31", test::RegsReq(1, 0x5006, test::Words32(INT32_MIN)), kIllegalValue},
      {"ID 248", test::RegsReq(1, 0x8103, {248}), kIllegalValue},
      {"SW_INPUT 8", test::RegReq(1, 0x5011, 8), kIllegalValue},
  };
  for (const auto& k : cases) EXPECT_EQ(m.exceptionOf(k.req), k.code) << k.what;
  // A refused multi-register write changes nothing, not even its valid part.
  EXPECT_EQ(m.exceptionOf(test::RegsReq(1, 0x5004, {500, 2000})), kIllegalValue);
  EXPECT_EQ(m.reg(3, 0x5004), 100);
}

TEST(SimMap, ThirtyTwoBitValuesTravelLowWordFirst) {
  SimController c;
  Master m{c};
  // 120000 = 0x0001D4C0 goes out as D4 C0 00 01
  ASSERT_TRUE(m.echoes({1, 16, 0x50, 0x00, 0, 2, 4, 0xD4, 0xC0, 0x00, 0x01}));
  EXPECT_EQ(c.holdingValue(0x5000), 120000);
  auto a = m.ask(test::ReadReq(1, 3, 0x5000, 2));
  ASSERT_TRUE(a);
  EXPECT_EQ(*a, (std::vector<uint8_t>{1, 3, 4, 0xD4, 0xC0, 0x00, 0x01}));
  ASSERT_TRUE(m.setRegs(0x5006, test::Words32(-5)));
  EXPECT_EQ(m.reg32(3, 0x5006), -5);
}

TEST(SimMap, OtherSlaveIsSilentAndBroadcastWritesQuietly) {
  SimController c;
  Master m{c};
  EXPECT_FALSE(m.ask(test::ReadReq(2, 3, 0x5004, 1)));
  EXPECT_FALSE(m.ask(test::ReadReq(2, 7, 0, 0)));  // not even an exception
  EXPECT_EQ(c.stats().otherSlave, 2u);
  EXPECT_FALSE(m.ask(test::RegReq(0, 0x5004, 321)));
  EXPECT_EQ(m.reg(3, 0x5004), 321);
  EXPECT_EQ(c.stats().broadcasts, 1u);
}

TEST(SimMap, NewSlaveIdAfterTheAnswerToItsWrite) {
  SimController c;
  Master m{c};
  auto a = m.ask(test::RegsReq(1, 0x8103, {5}));
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[0], 1) << "the answer still carries the old ID";
  EXPECT_FALSE(m.ask(test::ReadReq(1, 3, 0x8103, 1)));
  m.id = 5;
  EXPECT_EQ(m.reg(3, 0x8103), 5);
  EXPECT_EQ(c.slaveId(), 5);
}

TEST(SimMap, BadFramesGetNoAnswer) {
  SimController c;
  std::string good = test::Frame(test::ReadReq(1, 3, 0x5004, 1));
  std::string badLrc = good;
  badLrc[good.size() - 3] = badLrc[good.size() - 3] == '0' ? '1' : '0';
  EXPECT_TRUE(c.handleFrame(good));
  EXPECT_FALSE(c.handleFrame(badLrc));
  EXPECT_FALSE(c.handleFrame(":01035004000\r\n"));   // odd digit count
  EXPECT_FALSE(c.handleFrame(":0103500400G1A7\r\n")); // not hexadecimal
  EXPECT_FALSE(c.handleFrame(":010350040001A7\n"));   // no CR
  auto s = c.stats();
  EXPECT_EQ(s.badLrc, 1u);
  EXPECT_EQ(s.badFrames, 3u);
  // lower-case digits from a lenient master are still understood; answers are upper case
  std::string lower = good;
  for (auto& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
  auto a = c.handleFrame(lower);
  ASSERT_TRUE(a);
  EXPECT_EQ(*a, ":010302006496\r\n");
}

TEST(SimMap, ErrorsAndClearErrors) {
  SimController c;
  Master m{c};
  EXPECT_EQ(m.bits(2, 0xE000, 5), 0);
  c.raiseError(ErrorGroup::UserProgram, 0x2012, 7);
  EXPECT_EQ(m.bits(2, 0xE000, 5), 0x11);
  EXPECT_EQ(m.regs(4, 0xE002, 3), (std::vector<uint16_t>{0, 0, 0x2012}));
  EXPECT_EQ(m.reg(4, 0xE084), 7);
  c.raiseError(ErrorGroup::Rom, 5);
  c.setBatteryLow(true);
  EXPECT_EQ(m.bits(2, 0xE000, 5), 0x17);
  ASSERT_TRUE(m.coil(0xE000, true));
  EXPECT_EQ(m.bits(2, 0xE000, 5), 0x03) << "the battery stays low";
  EXPECT_EQ(m.regs(4, 0xE002, 3), (std::vector<uint16_t>{0, 0, 0}));
  EXPECT_EQ(m.reg(4, 0xE084), 0);
}

TEST(SimMap, InputsOutputsAndRunStop) {
  SimController c;
  Master m{c};
  c.setInput(0, true);
  c.setInput(2, true);
  c.setOutput(7, true);
  EXPECT_EQ(m.bits(2, 0x2000, 8), 0x05);
  EXPECT_EQ(m.bits(2, 0x1000, 8), 0x80);
  EXPECT_EQ(m.bits(2, 0x2002, 1), 1);
  EXPECT_EQ(m.bits(2, 0xF001, 1), 0);
  c.setRun(true);
  EXPECT_EQ(m.bits(2, 0xF001, 1), 1);
}

TEST(SimMap, CommunicationParametersAreKept) {
  SimController c;
  Master m{c};
  ASSERT_TRUE(m.coil(0x8100, true));
  ASSERT_TRUE(m.setRegs(0x8100, test::Words32(9600)));
  ASSERT_TRUE(m.setRegs(0x8102, {1}));
  EXPECT_EQ(m.bits(1, 0x8100, 1), 1);
  EXPECT_EQ(m.reg32(3, 0x8100), 9600);
  EXPECT_EQ(m.reg(3, 0x8102), 1);
  EXPECT_TRUE(c.rtuMode());
  // this simulator keeps speaking ASCII on its own line whatever is stored
  EXPECT_EQ(m.reg(3, 0x5004), 100);
}

}  // namespace
}  // namespace ferrolad::sim
