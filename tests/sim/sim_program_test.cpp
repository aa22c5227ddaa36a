// Program memory: the upload dialogue line by line, the packet reading dialogue, and what the
// controller refuses to store.
#include <gtest/gtest.h>

#include <random>

#include "sim/program_record.h"
#include "sim/sim_controller.h"
#include "sim_test_util.h"

namespace ferrolad::sim {
namespace {

using test::Master;

// A well-formed 42-byte record built from fields, the way a client encodes an instruction line.
struct Operand {
  char type = 0;
  uint32_t value = 0;
  char indexLetter = 0;
  uint8_t indexNumber = 0;
};
UploadRecord Encode(uint16_t code, const std::vector<Operand>& ops) {
  UploadRecord r{};
  r[0] = uint8_t(code >> 8);
  r[1] = uint8_t(code);
  for (size_t i = 0; i < ops.size(); ++i) {
    uint8_t* b = r.data() + 2 + 10 * i;
    b[1] = uint8_t(ops[i].type);
    b[2] = uint8_t(ops[i].value >> 8);
    b[3] = uint8_t(ops[i].value);
    b[4] = uint8_t(ops[i].value >> 24);
    b[5] = uint8_t(ops[i].value >> 16);
    b[7] = uint8_t(ops[i].indexLetter);
    b[9] = ops[i].indexNumber;
  }
  return r;
}

// The same instruction in the read-back layout, written out here independently.
std::vector<uint8_t> ExpectedReadBack(uint16_t code, const std::vector<Operand>& ops) {
  std::vector<uint8_t> r(34, 0);
  r[0] = uint8_t(code >> 8);
  r[1] = uint8_t(code);
  for (size_t i = 0; i < ops.size(); ++i) {
    uint8_t* b = r.data() + 2 + 8 * i;
    b[0] = uint8_t(ops[i].value >> 8);
    b[1] = uint8_t(ops[i].value);
    b[2] = uint8_t(ops[i].value >> 24);
    b[3] = uint8_t(ops[i].value >> 16);
    b[5] = ops[i].indexNumber;
    b[6] = uint8_t(ops[i].indexLetter);
    b[7] = uint8_t(ops[i].type);
  }
  return r;
}

struct Line {
  uint16_t code;
  std::vector<Operand> ops;
};

std::vector<Line> RandomProgram(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  const char types[] = "XYMTCKHFDAB";
  const uint16_t codes[] = {0x4061, 0x4001, 0x2002, 0x2018, 0x3018, 0x8011, 0x6051, 0x4264};
  std::vector<Line> p;
  for (size_t i = 0; i + 1 < n; ++i) {
    Line l{codes[rng() % 8], {}};
    size_t k = rng() % 5;
    for (size_t j = 0; j < k; ++j) {
      Operand o{types[rng() % 11], static_cast<uint32_t>(rng()), 0, 0};
      if (rng() % 3 == 0) {
        o.indexLetter = rng() % 2 ? 'A' : 'B';
        o.indexNumber = uint8_t(rng() % 8);
      }
      l.ops.push_back(o);
    }
    p.push_back(l);
  }
  p.push_back({kEndCode, {}});
  return p;
}

class ProgramMemory : public testing::Test {
 protected:
  ProgramMemory() : c_(Options()), m_{c_} {}
  SimOptions Options() {
    SimOptions o;
    o.clock = clock_;
    o.romBusyUs = 1500;
    return o;
  }
  // Polls the ROM state input until ready, letting time pass in between.
  bool WaitRom() {
    for (int i = 0; i < 50; ++i) {
      int64_t busy = m_.bits(2, 0xF000, 1);
      if (busy == 0) return true;
      if (busy < 0) return false;
      clock_->advanceUs(500);
    }
    return false;
  }
  // The upload dialogue: 7 header requests, then 5 per line. Returns the lines stored before the
  // status input reported a failure.
  size_t Upload(const std::vector<UploadRecord>& lines, bool service = false) {
    if (m_.bits(2, 0xF001, 1) != 0) return 0;
    EXPECT_TRUE(m_.coil(0xF005, true));
    EXPECT_TRUE(m_.coil(0xF006, service));
    EXPECT_TRUE(WaitRom());
    EXPECT_TRUE(m_.coil(0xF003, true));
    EXPECT_TRUE(WaitRom());
    if (m_.bits(2, 0xE000, 1) != 0) return 0;
    for (size_t j = 0; j < lines.size(); ++j) {
      EXPECT_TRUE(m_.setReg(0xF100, uint16_t(j)));
      std::vector<uint16_t> regs;
      for (size_t k = 0; k < 42; k += 2) regs.push_back(uint16_t(lines[j][k] << 8 | lines[j][k + 1]));
      EXPECT_TRUE(m_.setRegs(0xF300, regs));
      EXPECT_TRUE(m_.coil(0xF000, true));
      EXPECT_TRUE(WaitRom());
      if (m_.bits(2, 0xE000, 1) != 0) return j;
    }
    return lines.size();
  }
  // The packet reading dialogue; returns the read-back records up to and including END.
  std::vector<std::vector<uint8_t>> Download(bool service = false, int maxLines = kMainProgramLines) {
    std::vector<std::vector<uint8_t>> out;
    EXPECT_EQ(m_.bits(2, 0xF001, 1), 0);
    EXPECT_TRUE(m_.coil(0xF005, false));
    EXPECT_TRUE(m_.coil(0xF006, service));
    EXPECT_TRUE(WaitRom());
    for (int next = 0; next < maxLines; next += 15) {
      EXPECT_TRUE(WaitRom());
      EXPECT_TRUE(m_.setReg(0xF100, uint16_t(next)));
      EXPECT_TRUE(m_.setReg(0xF400, 15));
      EXPECT_TRUE(m_.coil(0xF007, true));
      EXPECT_TRUE(WaitRom());
      int64_t copied = m_.reg(3, 0xF400);
      std::vector<uint16_t> window;
      for (auto [a, n] : {std::pair{0xF401, 123}, {0xF47C, 123}, {0xF4F7, 9}}) {
        auto part = m_.regs(3, uint16_t(a), uint16_t(n));
        EXPECT_EQ(part.size(), size_t(n));
        window.insert(window.end(), part.begin(), part.end());
      }
      for (int64_t k = 0; k < copied; ++k) {
        std::vector<uint8_t> rec;
        for (int r = 0; r < 17; ++r) {
          rec.push_back(uint8_t(window[size_t(k * 17 + r)] >> 8));
          rec.push_back(uint8_t(window[size_t(k * 17 + r)]));
        }
        out.push_back(rec);
        if (rec[0] == (kEndCode >> 8) && rec[1] == (kEndCode & 0xFF)) return out;
      }
      if (copied == 0) return out;
    }
    return out;
  }

  std::shared_ptr<ManualSimClock> clock_ = std::make_shared<ManualSimClock>();
  SimController c_;
  Master m_;
};

TEST_F(ProgramMemory, ThousandLinesUploadAndReadBackIdentically) {
  auto prog = RandomProgram(1000, 7);
  std::vector<UploadRecord> recs;
  for (const auto& l : prog) recs.push_back(Encode(l.code, l.ops));
  ASSERT_EQ(Upload(recs), recs.size());
  EXPECT_EQ(c_.program(ProgramType::Main), recs);
  auto back = Download();
  ASSERT_EQ(back.size(), prog.size());
  for (size_t i = 0; i < prog.size(); ++i) ASSERT_EQ(back[i], ExpectedReadBack(prog[i].code, prog[i].ops)) << "line " << i;
  EXPECT_TRUE(c_.program(ProgramType::Service).empty());
}

TEST_F(ProgramMemory, RecordExampleKeepsItsBytes) {
  // MOV K3000 D361
  auto rec = Encode(0x2018, {{'K', 3000}, {'D', 361}});
  const UploadRecord expected = {0x20, 0x18, 0, 0x4B, 0x0B, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0x44, 0x01, 0x69};
  EXPECT_EQ(rec, expected);
  auto rb = ToReadBack(rec);
  EXPECT_EQ(std::vector<uint8_t>(rb.begin(), rb.end()), ExpectedReadBack(0x2018, {{'K', 3000}, {'D', 361}}));
  EXPECT_EQ(FromReadBack(rb), rec);
  // an index register and a negative constant survive the round trip
  auto idx = Encode(0x2018, {{'K', 0xFFFFFFFF, 'B', 2}, {'D', 10, 'A', 3}});
  EXPECT_EQ(FromReadBack(ToReadBack(idx)), idx);
}

TEST_F(ProgramMemory, PacketsStopAtTheProgramEnd) {
  auto prog = RandomProgram(20, 3);
  std::vector<UploadRecord> recs;
  for (const auto& l : prog) recs.push_back(Encode(l.code, l.ops));
  ASSERT_EQ(Upload(recs), 20u);
  ASSERT_TRUE(m_.coil(0xF005, false));
  ASSERT_TRUE(m_.setReg(0xF100, 15));
  ASSERT_TRUE(m_.setReg(0xF400, 15));
  ASSERT_TRUE(m_.coil(0xF007, true));
  EXPECT_EQ(m_.bits(2, 0xF000, 1), 1) << "busy while copying";
  ASSERT_TRUE(WaitRom());
  EXPECT_EQ(m_.reg(3, 0xF400), 5);
  EXPECT_EQ(m_.reg(3, 0xF401 + 5 * 17), 0) << "the window beyond the copied lines is empty";
  ASSERT_TRUE(m_.setReg(0xF100, 30));
  ASSERT_TRUE(m_.coil(0xF007, true));
  ASSERT_TRUE(WaitRom());
  EXPECT_EQ(m_.reg(3, 0xF400), 0);
}

TEST_F(ProgramMemory, ServiceProgramIsSeparate) {
  std::vector<UploadRecord> mainProg{Encode(0x8011, {}), Encode(kEndCode, {})};
  std::vector<UploadRecord> service{Encode(0x2002, {{'Y', 1}}), Encode(0x4061, {{'X', 2}}), Encode(kEndCode, {})};
  ASSERT_EQ(Upload(mainProg), 2u);
  ASSERT_EQ(Upload(service, true), 3u);
  EXPECT_EQ(c_.program(ProgramType::Main), mainProg);
  EXPECT_EQ(c_.program(ProgramType::Service), service);
  EXPECT_EQ(Download(true, kServiceProgramLines).size(), 3u);
  EXPECT_EQ(Download(false).size(), 2u);
}

TEST_F(ProgramMemory, RunRefusesStoring) {
  std::vector<UploadRecord> prog{Encode(0x8011, {}), Encode(kEndCode, {})};
  ASSERT_EQ(Upload(prog), 2u);
  c_.setRun(true);
  EXPECT_EQ(m_.bits(2, 0xF001, 1), 1) << "the upload's first check sees RUN";
  // a client that ignores the check still cannot overwrite the program
  ASSERT_TRUE(m_.setReg(0xF100, 0));
  ASSERT_TRUE(m_.setRegs(0xF300, std::vector<uint16_t>(21, 0x1111)));
  ASSERT_TRUE(m_.coil(0xF000, true));
  EXPECT_EQ(m_.bits(2, 0xE000, 1), 1);
  EXPECT_EQ(m_.bits(2, 0xE002, 1), 1) << "ROM error lamp";
  EXPECT_EQ(m_.reg(4, 0xE002), 5) << "Failed to write the instruction to the main program";
  EXPECT_EQ(c_.program(ProgramType::Main), prog);
  ASSERT_TRUE(m_.coil(0xF003, true));
  EXPECT_EQ(m_.reg(4, 0xE002), 3) << "Failed to erase the main program sector";
  EXPECT_EQ(c_.program(ProgramType::Main), prog);
}

TEST_F(ProgramMemory, CapacityOfEachProgram) {
  struct Case { bool service; int capacity; };
  for (auto k : {Case{false, kMainProgramLines}, Case{true, kServiceProgramLines}}) {
    SCOPED_TRACE(k.capacity);
    ASSERT_TRUE(m_.coil(0xF005, true));
    ASSERT_TRUE(m_.coil(0xF006, k.service));
    ASSERT_TRUE(WaitRom());
    ASSERT_TRUE(m_.coil(0xF003, true));
    ASSERT_TRUE(WaitRom());
    ASSERT_TRUE(m_.setRegs(0xF300, std::vector<uint16_t>(21, 0)));
    ASSERT_TRUE(m_.setReg(0xF100, uint16_t(k.capacity - 1)));
    ASSERT_TRUE(m_.coil(0xF000, true));
    ASSERT_TRUE(WaitRom());
    EXPECT_EQ(m_.bits(2, 0xE000, 1), 0) << "the last line fits";
    ASSERT_TRUE(m_.setReg(0xF100, uint16_t(k.capacity)));
    ASSERT_TRUE(m_.coil(0xF000, true));
    EXPECT_EQ(m_.bits(2, 0xE000, 1), 1) << "one beyond does not";
    EXPECT_EQ(c_.program(k.service ? ProgramType::Service : ProgramType::Main).size(), size_t(k.capacity));
    ASSERT_TRUE(m_.coil(0xE000, true));
  }
  EXPECT_EQ(m_.exceptionOf(test::RegReq(1, 0xF100, kMainProgramLines + 1)), kIllegalValue);
}

TEST_F(ProgramMemory, StoreWhileBusyFailsAndEraseStartsClean) {
  ASSERT_TRUE(m_.coil(0xF005, true));
  ASSERT_TRUE(m_.coil(0xF006, false));
  c_.raiseError(ErrorGroup::UserProgram, 0x2012, 3);
  ASSERT_TRUE(m_.coil(0xF003, true));
  EXPECT_EQ(m_.bits(2, 0xF000, 1), 1);
  ASSERT_TRUE(WaitRom());
  EXPECT_EQ(m_.bits(2, 0xE000, 1), 0) << "a fresh program starts without the old program's error";
  ASSERT_TRUE(m_.setReg(0xF100, 0));
  ASSERT_TRUE(m_.coil(0xF000, true));
  ASSERT_TRUE(m_.setReg(0xF100, 1));
  ASSERT_TRUE(m_.coil(0xF000, true));  // without waiting for the ROM
  EXPECT_EQ(m_.bits(2, 0xE000, 1), 1);
  EXPECT_EQ(c_.program(ProgramType::Main).size(), 1u);
}

TEST_F(ProgramMemory, OnlyHeaderEmptiesTheProgram) {
  ASSERT_EQ(Upload({Encode(0x8011, {}), Encode(kEndCode, {})}), 2u);
  ASSERT_EQ(Upload({}), 0u);
  EXPECT_TRUE(c_.program(ProgramType::Main).empty());
  EXPECT_TRUE(Download().empty());
}

}  // namespace
}  // namespace ferrolad::sim
