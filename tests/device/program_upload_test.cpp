#include <gtest/gtest.h>

#include "core/program_upload.h"
#include "program_link_fixture.h"

namespace ferrolad {
namespace {

struct Expect {
  uint8_t fc;
  uint16_t address;
  uint16_t count;
  TBytesArray data;
  uint8_t verify, repeat, counted;
};

void ExpectRequest(const TRWmbrReg& r, const Expect& e, size_t index) {
  SCOPED_TRACE("request " + std::to_string(index));
  EXPECT_EQ(r.FunctionCode, e.fc);
  EXPECT_EQ(r.Address, e.address);
  EXPECT_EQ(r.Count, e.count);
  if (!e.data.empty() || e.fc != 16) {
    EXPECT_EQ(r.Data, e.data);
  }
  EXPECT_EQ(r.Verify, e.verify);
  EXPECT_EQ(r.ExpectedValue, 0);
  EXPECT_EQ(r.RepeatUntilMatch, e.repeat);
  EXPECT_EQ(r.Counted, e.counted);
}

TEST(BuildUploadRequests, HeaderThenFiveRequestsPerInstructionLine) {
  const std::vector<std::string> lines = {"// header comment", "", "  LD\tX0", "; other comment",
                                          "OUT Y1 // trailing", "\tEND"};
  for (TProgramType type : {TProgramType::Main, TProgramType::Service}) {
    const TUploadRequests b = BuildUploadRequests(lines, type);
    ASSERT_TRUE(b.Built()) << b.Error;
    ASSERT_EQ(b.Requests.size(), 7u + 5u * 3u);
    EXPECT_EQ(b.InstructionLines, 3);
    const uint8_t service = type == TProgramType::Service ? 1 : 0;
    const std::vector<Expect> header = {
        {2, 0xF001, 1, {}, 1, 0, 0},         {5, 0xF005, 1, {0, 1}, 0, 0, 0}, {5, 0xF006, 1, {0, service}, 0, 0, 0},
        {2, 0xF000, 1, {}, 1, 1, 0},         {5, 0xF003, 1, {0, 1}, 0, 0, 0}, {2, 0xF000, 1, {}, 1, 1, 0},
        {2, 0xE000, 1, {}, 1, 0, 0},
    };
    for (size_t i = 0; i < header.size(); ++i) ExpectRequest(b.Requests[i], header[i], i);
    for (uint8_t j = 0; j < 3; ++j) {
      const size_t at = 7 + 5 * j;
      const std::vector<Expect> line = {{6, 0xF100, 1, {0, j}, 0, 0, 0}, {16, 0xF300, 21, {}, 0, 0, 1},
                                        {5, 0xF000, 1, {0, 1}, 0, 0, 0}, {2, 0xF000, 1, {}, 1, 1, 0},
                                        {2, 0xE000, 1, {}, 1, 0, 0}};
      for (size_t k = 0; k < line.size(); ++k) ExpectRequest(b.Requests[at + k], line[k], at + k);
    }
  }
  // The record of "OUT Y1" (the comment is cut off): code, then the Y operand block.
  TInstructionRecord out{};
  ASSERT_EQ(ParseLine("OUT Y1 ", out), ParseOk);
  const TUploadRequests b = BuildUploadRequests(lines, TProgramType::Main);
  EXPECT_EQ(b.Requests[7 + 5 + 1].Data, TBytesArray(out.begin(), out.end()));
  EXPECT_EQ(b.Requests[7 + 5 + 1].Data[3], 'Y');
}

TEST(BuildUploadRequests, CommentsOnlyUploadTheHeaderAndNoLinesNothing) {
  EXPECT_EQ(BuildUploadRequests({"// a", "", "; b"}, TProgramType::Main).Requests.size(), 7u);
  const TUploadRequests none = BuildUploadRequests({}, TProgramType::Main);
  EXPECT_TRUE(none.Requests.empty());
  EXPECT_TRUE(none.Error.empty());
}

TEST(BuildUploadRequests, WrongThirdInstructionLineSendsNothingAndIsMarked) {
  struct Case {
    std::string wrong;
    std::string mark;
    std::string instruction;
  };
  const std::vector<Case> cases = {
      {"LD X999", "// wrong parameter 1: -> ", "LD X999"},
      {"FOO X0", "// wrong command: -> ", "FOO X0"},
      {"MOV K1 // missing", "// wrong parameters number: -> ", "MOV K1 "},
      {"END X0", "", "END X0"},  // text after an instruction without operands: no mark
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wrong);
    std::vector<std::string> lines = {"LD X0", "// note", "OUT Y0", "", c.wrong, "END"};
    const TUploadRequests b = BuildUploadRequests(lines, TProgramType::Main);
    EXPECT_TRUE(b.Requests.empty());
    EXPECT_FALSE(b.Built());
    EXPECT_EQ(b.WrongLine, 4);
    EXPECT_EQ(b.Error, "There is a wrong command in the list: \"" + c.instruction + "\". Line: 4");
    ASSERT_TRUE(MarkWrongLine(lines, b));
    EXPECT_EQ(lines[4], c.mark + c.wrong);
    EXPECT_EQ(lines[0], "LD X0");
  }
}

TEST(BuildUploadRequests, LineIndexLimit) {
  std::vector<std::string> lines(kMaxUploadLineIndex + 1, "LD X0");
  const TUploadRequests fits = BuildUploadRequests(lines, TProgramType::Main);
  ASSERT_TRUE(fits.Built());
  const TRWmbrReg& lastIndex = fits.Requests[fits.Requests.size() - 5];
  EXPECT_EQ(lastIndex.Data, (TBytesArray{0xE9, 0x69}));  // 59753
  lines.push_back("LD X1");
  const TUploadRequests tooLong = BuildUploadRequests(lines, TProgramType::Main);
  EXPECT_EQ(tooLong.Error, "Too long program");
  EXPECT_TRUE(tooLong.Requests.empty());
}

TEST(UploadFailureMessage, RunModeOnlyForTheRunStopCheckAnsweredWithRun) {
  const TUploadRequests b = BuildUploadRequests({"LD X0"}, TProgramType::Main);
  TTransferOutcome o;
  o.Failed = true;
  o.Terminated = true;
  o.Line = 0;
  o.Message = "Data transfer not finished, line: 0";
  EXPECT_EQ(UploadFailureMessage(o, b.Requests, 1), "Controller is in Run mode");
  EXPECT_EQ(UploadFailureMessage(o, b.Requests, 2), "");
  o.Line = 6;  // status input E000h read 1
  o.Message = "Data transfer not finished, line: 6";
  EXPECT_EQ(UploadFailureMessage(o, b.Requests, 1), "");
  o.Line = 0;
  o.Message = "No response to command sequence 1, line: 0";
  EXPECT_EQ(UploadFailureMessage(o, b.Requests, 1), "");
  EXPECT_EQ(FailedCheckText(2, 0xF001, 1), "02#F001#1");
  EXPECT_EQ(FailedCheckText(16, 0xE0, -3), "10#00E0#-3");
}

using ProgramUpload = testing::LinkTest;

TEST_F(ProgramUpload, UploadThenDownloadOfEveryMnemonicGivesTheSameText) {
  const std::vector<std::string> program = testing::EveryMnemonicProgram();
  // Every mnemonic once (END last), plus one line with indexed operands.
  ASSERT_EQ(program.size(), InstructionCatalogue().size());
  const TTransferOutcome up = Upload(program, TProgramType::Main);
  EXPECT_FALSE(up.Failed) << up.Message;
  EXPECT_EQ(up.CommandsTransferred, static_cast<int>(program.size()));
  EXPECT_EQ(Controller().program(sim::ProgramType::Main).size(), program.size());
  EXPECT_EQ(View().lblCommandsTransfered, "Commands transferred: " + std::to_string(program.size()));
  EXPECT_EQ(View().lblCommunicationResult, "Data transfer result:  successful");

  Identify();
  ASSERT_TRUE(Download(TProgramType::Main));
  std::vector<std::string> expected = program;
  expected.push_back("//Totally " + std::to_string(program.size()) + " commands were read from the controller");
  EXPECT_EQ(Editor(), expected);
}

TEST_F(ProgramUpload, ServiceProgramGoesToItsOwnMemory) {
  const std::vector<std::string> service = {"LD\tM1", "OUT\tY2", "END"};
  EXPECT_FALSE(Upload(service, TProgramType::Service).Failed);
  EXPECT_EQ(Controller().program(sim::ProgramType::Service).size(), 3u);
  EXPECT_TRUE(Controller().program(sim::ProgramType::Main).empty());
  Identify();
  ASSERT_TRUE(Download(TProgramType::Service));
  EXPECT_EQ(Editor(), (std::vector<std::string>{"LD\tM1", "OUT\tY2", "END",
                                                "//Totally 3 commands were read from the controller"}));
}

TEST_F(ProgramUpload, WrongLineSendsNothing) {
  TUploadStart start;
  const size_t framesBefore = Controller().stats().frames;
  Upload({"LD X0", "OUT Y0", "LD X99", "END"}, TProgramType::Main, nullptr, &start);
  EXPECT_FALSE(start.Started);
  EXPECT_EQ(start.Build.WrongLine, 2);
  EXPECT_EQ(start.Build.MarkedLine, "// wrong parameter 1: -> LD X99");
  EXPECT_EQ(Controller().stats().frames, framesBefore);
}

TEST_F(ProgramUpload, ControllerInRunRefusesWithRunModeMessage) {
  Controller().loadProgram(sim::ProgramType::Main, {});
  Controller().setRun(true);
  std::string message;
  const TTransferOutcome o = Upload({"LD X0", "END"}, TProgramType::Main, &message);
  EXPECT_TRUE(o.Failed);
  EXPECT_EQ(o.Line, 0);
  EXPECT_EQ(o.Message, "Data transfer not finished, line: 0");
  EXPECT_EQ(message, "Controller is in Run mode");
  EXPECT_TRUE(Controller().program(sim::ProgramType::Main).empty());
  EXPECT_EQ(o.CommandsTransferred, 0);
}

TEST_F(ProgramUpload, FullMemoryFailsAtTheLineThatDoesNotFit) {
  std::vector<std::string> lines(sim::kServiceProgramLines + 1, "LD X0");
  std::string message;
  const TTransferOutcome o = Upload(lines, TProgramType::Service, &message);
  EXPECT_TRUE(o.Failed);
  // The status input of the line after the last that fits reads 1.
  const int line = 7 + 5 * sim::kServiceProgramLines + 4;
  EXPECT_EQ(o.Line, line);
  EXPECT_EQ(o.Message, "Data transfer not finished, line: " + std::to_string(line));
  EXPECT_EQ(message, "");
  EXPECT_EQ(Controller().program(sim::ProgramType::Service).size(), static_cast<size_t>(sim::kServiceProgramLines));
  EXPECT_NE(Controller().errorBits() & 0x04, 0);  // ROM error
}

TEST_F(ProgramUpload, BusyRomIsWaitedFor) {
  sim::SimOptions options;
  options.romBusyUs = 3000;
  settings.SetGeneralTimeout(2);  // the pause between re-reads of the ROM state
  Rebuild(options);
  const TTransferOutcome o = Upload({"LD X0", "OUT Y0", "END"}, TProgramType::Main);
  EXPECT_FALSE(o.Failed) << o.Message;
  EXPECT_EQ(Controller().program(sim::ProgramType::Main).size(), 3u);
}

}  // namespace
}  // namespace ferrolad
