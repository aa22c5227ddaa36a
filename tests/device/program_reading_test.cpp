#include <gtest/gtest.h>

#include <algorithm>

#include "core/read_record.h"
#include "device/device_view.h"
#include "device/packet_read_thread.h"
#include "device/program_reading.h"
#include "program_link_fixture.h"
#include "sim/program_record.h"

namespace ferrolad {
namespace {

sim::UploadRecord Record(const std::string& line) {
  TInstructionRecord r{};
  EXPECT_EQ(ParseLine(line, r), ParseOk) << line;
  return r;
}

sim::ReadBackRecord ReadBack(const std::string& line) { return sim::ToReadBack(Record(line)); }

uint16_t EndCode() { return FindInstructionByName("END").Code; }

TEST(DecodeInstruction, GivesTheCanonicalTextAndTheWatchOperands) {
  struct Case {
    std::string line;
    std::string text;
    std::vector<std::pair<char, uint16_t>> watch;
  };
  const std::vector<Case> cases = {
      {"MOV K100@A1 D10A3", "MOV\tK100@A1\tD10A3", {{'D', 10}}},
      {"LD X17", "LD\tX17", {{'X', 15}}},
      {"MOV H1F D1", "MOV\tH1F\tD1", {{'D', 1}}},
      {"MOV K-1 D2", "MOV\tK-1\tD2", {{'D', 2}}},
      {"DEADD F1.5 D4 D6", "DEADD\tF1.5\tD4\tD6", {{'D', 4}, {'D', 6}}},
      {"P 5", "P\t5", {{0, 5}}},
      {"CJ P5", "CJ\tP5", {}},
      {"END", "END", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const sim::ReadBackRecord rb = ReadBack(c.line);
    TDebugInstruction out;
    bool end = false;
    ASSERT_TRUE(DecodeInstruction(rb, EndCode(), out, end));
    EXPECT_EQ(out.Text, c.text);
    EXPECT_EQ(end, c.line == "END");
    ASSERT_EQ(out.Operands.size(), c.watch.size());
    for (size_t i = 0; i < c.watch.size(); ++i) {
      EXPECT_EQ(out.Operands[i].OpLetter, c.watch[i].first);
      EXPECT_EQ(out.Operands[i].Number, c.watch[i].second);
      EXPECT_TRUE(out.Operands[i].Active);
    }
    // The text parses back to the record it came from.
    TInstructionRecord again{};
    ASSERT_EQ(ParseLine(out.Text, again), ParseOk);
    EXPECT_EQ(again, Record(c.line));
  }
}

TEST(DecodeInstruction, RefusesUnknownCodesAndWrongSizes) {
  sim::ReadBackRecord rb = ReadBack("LD X0");
  rb[0] = 0x7F;
  rb[1] = 0xFE;
  TDebugInstruction out;
  out.Text = "untouched";
  bool end = false;
  EXPECT_FALSE(DecodeInstruction(rb, EndCode(), out, end));
  EXPECT_EQ(out.Text, "untouched");
  const sim::ReadBackRecord good = ReadBack("LD X0");
  EXPECT_FALSE(DecodeInstruction(std::span<const uint8_t>(good).first(33), EndCode(), out, end));
  EXPECT_FALSE(end);
  // Every model's decoder seam gives the same text, and nothing for a record it cannot decode.
  for (const TDeviceDescription& model : DeviceDescriptions()) {
    const std::vector<uint8_t> bytes(good.begin(), good.end());
    EXPECT_EQ(model.InstructionTextBuilder(bytes), "LD\tX0");
    EXPECT_EQ(model.InstructionTextBuilder(std::vector<uint8_t>(rb.begin(), rb.end())), "");
  }
}

TEST(ShowReadProgram, SummaryAndDifferenceLines) {
  TFastReadingProcess r;
  TDebugInstruction one;
  one.Text = "END";
  r.Instructions = {one};
  r.ResultCode = ReadResultSuccess;
  r.LinesInPacket = 1;
  r.LinesThroughPacket = 1;
  r.DecodedInPacket = 1;
  TProgramReadingView v;
  ShowReadProgram(r, true, v);
  EXPECT_EQ(v.MemoIL, (std::vector<std::string>{"END", "//Totally 1 command was read from the controller"}));

  // The controller delivered 16 lines, one was converted: three more lines; in debug mode a fourth.
  r.LinesThroughPacket = 16;
  TProgramReadingView d;
  d.DebugMode = true;
  ShowReadProgram(r, true, d);
  EXPECT_EQ(d.MemoIL, (std::vector<std::string>{
                          "END", "//Totally 16 commands were read from the controller",
                          "//Totally 1 command was successfully converted",
                          "//Commands quantities are differ. The list above does not contain a complete instruction set.",
                          "//Try again. If the error repeats, it is recommended to change timeout settings and repeat "
                          "reading.",
                          "//Debugging is impossible."}));
  EXPECT_TRUE(d.DebuggingImpossible);
  EXPECT_EQ(d.MemoParamValues.size(), 5u);

  TProgramReadingView failed;
  r.ResultCode = ReadResultFailed;
  r.Instructions.clear();
  ShowReadProgram(r, false, failed);
  EXPECT_EQ(failed.MemoIL,
            (std::vector<std::string>{
                "Unable to read the program. Update settings in the application file \"ferrolad.txt\"",
                "The program was not read completely."}));
}

TEST(DecideDownload, OrderOfTheChecks) {
  int asked = 0;
  auto yes = [&] { ++asked; return true; };
  auto cancel = [&] { ++asked; return false; };
  EXPECT_EQ(DecideDownload(true, false, true, yes).Step, TDownloadStep::Busy);
  EXPECT_EQ(asked, 0);
  const TDownloadDecision c = DecideDownload(false, false, true, cancel);
  EXPECT_EQ(c.Step, TDownloadStep::Cancelled);
  EXPECT_EQ(c.Message, "User program was not read. The commands list is not empty.");
  const TDownloadDecision u = DecideDownload(false, false, false, yes);
  EXPECT_EQ(u.Step, TDownloadStep::Unsupported);
  EXPECT_TRUE(u.ClearEditor);
  EXPECT_EQ(u.Message, "User program reading is not supported for this version of the firmware ");
  const TDownloadDecision s = DecideDownload(false, true, true, cancel);
  EXPECT_EQ(s.Step, TDownloadStep::Start);
  EXPECT_FALSE(s.ClearEditor);
  EXPECT_EQ(asked, 2);
  // Firmware 2.8 reads, 2.7 does not, and nothing read yet does not.
  EXPECT_TRUE(ReadingSupportedFor(0x00080002));
  EXPECT_FALSE(ReadingSupportedFor(0x00070002));
  EXPECT_FALSE(ReadingSupportedFor(0x00080000));
  EXPECT_FALSE(ReadingSupportedFor(0));
}

TEST(PacketRequests, WindowPiecesFollowTheReadLimit) {
  const TDeviceDescription& model = *FindDescriptionByModel(kModelLira2);
  struct Case {
    int limit;
    std::vector<std::pair<uint16_t, uint16_t>> pieces;
  };
  std::vector<std::pair<uint16_t, uint16_t>> sixteen;
  for (int i = 0; i < 16; ++i) sixteen.push_back({static_cast<uint16_t>(0xF401 + 16 * i), i == 15 ? 15 : 16});
  const std::vector<Case> cases = {{123, {{0xF401, 123}, {0xF47C, 123}, {0xF4F7, 9}}},
                                   {200, {{0xF401, 123}, {0xF47C, 123}, {0xF4F7, 9}}},
                                   {16, sixteen}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    const auto list = TPacketReadThread::PacketRequests(model, 30, 15, c.limit);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 6 + c.pieces.size());
    EXPECT_EQ((*list)[1].Address, 0xF100);
    EXPECT_EQ((*list)[1].Data, (TBytesArray{0, 30}));
    EXPECT_EQ((*list)[2].Data, (TBytesArray{0, 15}));
    EXPECT_EQ((*list)[3].Data, (TBytesArray{0, 1}));
    EXPECT_EQ((*list)[4].RepeatUntilMatch, 1);
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      EXPECT_EQ((*list)[6 + i].FunctionCode, 3);
      EXPECT_EQ((*list)[6 + i].Address, c.pieces[i].first);
      EXPECT_EQ((*list)[6 + i].Count, c.pieces[i].second);
    }
  }
  TDeviceDescription missing = model;
  std::erase_if(missing.Fields, [](const TFieldDescr& f) { return f.Command.Name == "START_PACKET_RW_PROG"; });
  EXPECT_FALSE(TPacketReadThread::PacketRequests(missing, 0, 15, 123));
  const auto one = TPacketReadThread::PartOneRequests(model, TProgramType::Service);
  ASSERT_TRUE(one);
  ASSERT_EQ(one->size(), 4u);
  EXPECT_EQ((*one)[0].Address, 0xF001);
  EXPECT_EQ((*one)[0].Verify, 1);
  EXPECT_EQ((*one)[1].Data, (TBytesArray{0, 0}));
  EXPECT_EQ((*one)[2].Data, (TBytesArray{0, 1}));
  EXPECT_EQ((*one)[3].RepeatUntilMatch, 1);
}

class ProgramReading : public testing::LinkTest {
 protected:
  void Load(const std::vector<std::string>& lines, sim::ProgramType type = sim::ProgramType::Main) {
    std::vector<sim::UploadRecord> records;
    for (const auto& l : lines) records.push_back(Record(l));
    Controller().loadProgram(type, records);
  }
  std::vector<std::string> Numbered(int n, bool withEnd) {
    std::vector<std::string> lines;
    for (int i = 0; i < n - (withEnd ? 1 : 0); ++i) lines.push_back("LD\tM" + std::to_string(i));
    if (withEnd) lines.push_back("END");
    return lines;
  }
  size_t SentCount(const TRWmbrReg& r) { return log.Count(testing::kSend, testing::Sent(r)); }
};

TEST_F(ProgramReading, TwentyLinesInTwoPackets) {
  const auto program = Numbered(20, true);
  Load(program);
  Identify();
  ASSERT_TRUE(Download(TProgramType::Main));
  auto expected = program;
  expected.push_back("//Totally 20 commands were read from the controller");
  EXPECT_EQ(Editor(), expected);
  EXPECT_EQ(SentCount(testing::WriteRegister(0xF100, 0)), 1u);
  EXPECT_EQ(SentCount(testing::WriteRegister(0xF100, 15)), 1u);
  EXPECT_EQ(SentCount(testing::WriteRegister(0xF100, 30)), 0u);
  OnMain([&] {
    EXPECT_EQ(link->Program.lblProgramReadingCounter, "Commands: 20");
    EXPECT_FALSE(link->Program.pnlProgramReadingVisible);
    EXPECT_EQ(link->Program.MemoILColor, TEditorColor::White);
    EXPECT_TRUE(link->Program.PageControlEnabled);
  });
}

TEST_F(ProgramReading, EndOnTheFifteenthLineNeedsOnePacket) {
  Load(Numbered(15, true));
  Identify();
  ASSERT_TRUE(Download(TProgramType::Main));
  EXPECT_EQ(Editor().back(), "//Totally 15 commands were read from the controller");
  EXPECT_EQ(SentCount(testing::WriteRegister(0xF100, 15)), 0u);
}

TEST_F(ProgramReading, SlowModeReadsTheWindowInSixteenPieces) {
  settings.SetSlowMode(true);
  settings.SetMaxReadRegisters(16);
  Load(Numbered(17, true));
  Identify();
  ASSERT_TRUE(Download(TProgramType::Main));
  EXPECT_EQ(Editor().size(), 18u);
  EXPECT_EQ(Editor().back(), "//Totally 17 commands were read from the controller");
  // Two packets, each read in 15 pieces of 16 registers and one of 15.
  EXPECT_EQ(SentCount(testing::Read(3, 0xF401, 16)), 2u);
  EXPECT_EQ(SentCount(testing::Read(3, 0xF4F1, 15)), 2u);
  EXPECT_EQ(SentCount(testing::Read(3, 0xF401, 123)), 0u);
}

TEST_F(ProgramReading, ProgramWithoutEnd) {
  const auto program = Numbered(18, false);
  Load(program);
  Identify();
  ASSERT_TRUE(Download(TProgramType::Main));
  auto expected = program;
  expected.insert(expected.begin(), "//Program reading error. There is not end of the user program.");
  EXPECT_EQ(Editor(), expected);
  EXPECT_TRUE(WaitLog(testing::kError, "Program reading failed - no END instruction"));
}

TEST_F(ProgramReading, UnknownCodeShowsOnlyTheComment) {
  std::vector<sim::UploadRecord> records = {Record("LD X0"), Record("OUT Y0"), Record("END")};
  records[1][0] = 0x7F;
  records[1][1] = 0xFE;
  Controller().loadProgram(sim::ProgramType::Main, records);
  Identify();
  ASSERT_TRUE(Download(TProgramType::Main));
  EXPECT_EQ(Editor(), (std::vector<std::string>{
                          "//Program reading error. There is a wrong or unknown command in the user program."}));
  EXPECT_TRUE(WaitLog(testing::kError, "Program reading failed - imposible to convert data to instructions"));
}

TEST_F(ProgramReading, ControllerInRunGivesNoText) {
  Load(Numbered(3, true));
  Identify();
  Controller().setRun(true);
  ASSERT_TRUE(Download(TProgramType::Main));
  EXPECT_TRUE(Editor().empty());
  EXPECT_TRUE(WaitLog(testing::kError, "Data transfer not finished, line: 0"));
  EXPECT_TRUE(WaitLog(testing::kError, "Reading impossible. Change the controller to STOP mode"));
}

TEST_F(ProgramReading, NoWindowDataEndsWithTheFailureComment) {
  Load(Numbered(3, true));
  Identify();
  // The first window read of the packet gets no answer at all.
  settings.SetComReadTimeout(5);
  settings.SetComHandleTimeout(5);
  settings.SetResponseTimeout1(20);
  size_t windowReads = 0;
  log.SetHook([&](int kind, const std::string& text) {
    if (kind == testing::kSend && text == testing::Sent(testing::Read(3, 0xF401, 123)) && windowReads++ == 0) {
      port->link.dropAnswers(3);
    }
  });
  ASSERT_TRUE(Download(TProgramType::Main));
  log.SetHook(nullptr);
  const auto editor = Editor();
  ASSERT_GE(editor.size(), 1u);
  EXPECT_EQ(editor.front(), "//Program reading error.");
}

}  // namespace
}  // namespace ferrolad
