// ferrolad-cli info, status, upload, download, errors and clear-errors through the real engine,
// against the built-in SIM port and a simulator served on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "sim/sim_pty.h"

namespace {

using ferrolad::sim::SimController;
using ferrolad::sim::SimOptions;
using ferrolad::sim::SimPtyServer;

struct Result {
  int rc;
  std::string out, err;
};

Result Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int rc = ferrolad::cli::Run(args, out, err);
  return {rc, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A simulated controller on a pseudo-terminal that outlives single commands.
class CliDevice : public ::testing::Test {
 protected:
  void Serve(SimOptions options = {}) {
    options.romBusyUs = 0;
    controller = std::make_unique<SimController>(options);
    server = std::make_unique<SimPtyServer>(*controller);
    std::string error;
    ASSERT_TRUE(server->open("", error)) << error;
    server->start();
  }
  void SetUp() override { Serve(); }
  void TearDown() override {
    if (server) server->stop();
    for (const auto& f : files) std::remove(f.c_str());
  }
  Result On(std::vector<std::string> args) {
    args.insert(args.end(), {"--port", server->slavePath()});
    return Cli(args);
  }
  std::string File(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + "ferrolad_cli_device_" + name;
    std::ofstream(path, std::ios::binary) << text;
    files.push_back(path);
    return path;
  }
  std::unique_ptr<SimController> controller;
  std::unique_ptr<SimPtyServer> server;
  std::vector<std::string> files;
};

TEST(CliDeviceSim, InfoPrintsModelVersionsAndTheTwentyParameters) {
  const std::pair<const char*, const char*> models[] = {
      {"lira2", "KVDX-Lira ver.2"}, {"lira3", "KVDX-Lira ver.3"}, {"tarn", "KVDX-Tarn"}, {"obel", "KVDX-Obel"}};
  for (const auto& [model, name] : models) {
    SCOPED_TRACE(model);
    const Result r = Cli({"--port", "SIM", "--sim-model", model, "info"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Has(r.out, std::string("Model: ") + name + "\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "Versions: HW")) << r.out;
    size_t parameters = 0;
    for (size_t at = r.out.find("\n  GET_"); at != std::string::npos; at = r.out.find("\n  GET_", at + 1)) ++parameters;
    EXPECT_EQ(parameters, 20u) << r.out;
    EXPECT_FALSE(Has(r.out, "(no answer)")) << r.out;
    EXPECT_TRUE(Has(r.out, "GET_ACCEL @0x5004 = 100\n")) << r.out;
  }
}

TEST_F(CliDevice, StatusShowsTheIndicators) {
  controller->setInput(0, true);
  controller->setInput(2, true);
  controller->setOutput(7, true);
  controller->setRun(true);
  controller->raiseError(ferrolad::sim::ErrorGroup::UserProgram, 0x2012, 7);
  const Result r = On({"status"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Inputs:  X0=yellow X1=silver X2=yellow X3=silver")) << r.out;
  EXPECT_TRUE(Has(r.out, "Y6=silver Y7=yellow\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Run/Stop: RUN mode (red)\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Errors: Error occurred (red)\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Error in user program (red) line: 7 code: 0x2012 - 2012: Unknown command")) << r.out;
  EXPECT_TRUE(Has(r.out, "Position: 0\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Speed: 0\n")) << r.out;
  EXPECT_FALSE(Has(r.out, "Supply voltage")) << "Lira ver.2 has no voltage lamps";
}

TEST_F(CliDevice, UploadThenDownloadGivesTheProgramBack) {
  const std::string program = "// blinker\nLD\tX0\nOUT\tY0\n\nMOV\tK100@A1\tD10A3\nEND\n";
  const Result up = On({"upload", File("up.il", program)});
  ASSERT_EQ(up.rc, 0) << up.err;
  EXPECT_TRUE(Has(up.out, "Commands transferred: 4\n")) << up.out;
  EXPECT_TRUE(Has(up.out, "Data transfer result:  successful")) << up.out;
  EXPECT_EQ(controller->program(ferrolad::sim::ProgramType::Main).size(), 4u);

  const Result down = On({"download"});
  ASSERT_EQ(down.rc, 0) << down.err;
  EXPECT_EQ(down.out, "LD\tX0\nOUT\tY0\nMOV\tK100@A1\tD10A3\nEND\n//Totally 4 commands were read from the controller\n");

  // Service program, written to a file with CR LF.
  ASSERT_EQ(On({"upload", "--service", File("svc.il", "LD M1\nEND\n")}).rc, 0);
  const std::string out = ::testing::TempDir() + "ferrolad_cli_device_svc_out.il";
  files.push_back(out);
  const Result file = On({"download", "--service", "-o", out});
  ASSERT_EQ(file.rc, 0) << file.err;
  std::ifstream in(out, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, "LD\tM1\r\nEND\r\n//Totally 2 commands were read from the controller\r\n");
}

TEST_F(CliDevice, UploadFailures) {
  controller->setRun(true);
  const Result run = On({"upload", File("run.il", "LD X0\nEND\n")});
  EXPECT_EQ(run.rc, 1);
  EXPECT_TRUE(Has(run.err, "Controller is in Run mode\n")) << run.err;
  EXPECT_TRUE(Has(run.err, "Data transfer not finished, line: 0")) << run.err;
  EXPECT_TRUE(controller->program(ferrolad::sim::ProgramType::Main).empty());
  controller->setRun(false);

  const auto framesBefore = controller->stats().frames;
  const Result wrong = On({"upload", File("wrong.il", "LD X0\n// c\n\nOUT Y0\nLD X99\nEND\n")});
  EXPECT_EQ(wrong.rc, 1);
  EXPECT_TRUE(Has(wrong.err, "There is a wrong command in the list: \"LD X99\". Line: 4\n")) << wrong.err;
  EXPECT_TRUE(Has(wrong.err, "// wrong parameter 1: -> LD X99")) << wrong.err;
  EXPECT_EQ(controller->stats().frames, framesBefore);

  const Result missing = On({"upload", ::testing::TempDir() + "no_such_file.il"});
  EXPECT_EQ(missing.rc, 2);
}

TEST_F(CliDevice, DownloadFailures) {
  // No END: the lines read come out after the comment, and the command fails.
  ASSERT_EQ(On({"upload", File("noend.il", "LD X0\nOUT Y0\n")}).rc, 0);
  const Result noEnd = On({"download"});
  EXPECT_EQ(noEnd.rc, 1);
  EXPECT_EQ(noEnd.out, "//Program reading error. There is not end of the user program.\nLD\tX0\nOUT\tY0\n");
  EXPECT_TRUE(Has(noEnd.err, "Program reading failed - no END instruction")) << noEnd.err;

  controller->setRun(true);
  const Result run = On({"download"});
  EXPECT_EQ(run.rc, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Has(run.err, "Reading impossible. Change the controller to STOP mode")) << run.err;
}

TEST_F(CliDevice, OldFirmwareCannotReadAndUnknownHardwareIsRefused) {
  SimOptions old;
  old.fwValue = 0x00070002;
  server->stop();
  Serve(old);
  const Result d = On({"download"});
  EXPECT_EQ(d.rc, 1);
  EXPECT_TRUE(Has(d.err, "User program reading is not supported for this version of the firmware")) << d.err;

  SimOptions unknown;
  unknown.hwValue = 0x5;
  server->stop();
  Serve(unknown);
  const Result i = On({"info"});
  EXPECT_EQ(i.rc, 1);
  EXPECT_TRUE(Has(i.err, "Unknown device. HW version 5 . DEV_ID=5; HW_VERSION=0\n")) << i.err;
  EXPECT_EQ(i.out, "");
}

TEST_F(CliDevice, ErrorsAndClearErrors) {
  Result r = On({"errors"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "Errors: No errors (green)\n");

  controller->setBatteryLow(true);
  controller->raiseError(ferrolad::sim::ErrorGroup::UserProgram, 0x2036, 12);
  r = On({"errors"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Errors: Error occurred (red)\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "  CR2032 discharged (red)")) << r.out;
  EXPECT_TRUE(Has(r.out, "  ROM - no error (green)\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "line: 12 code: 0x2036 - 2036: Instruction DIV, division by zero of an integer\n")) << r.out;

  r = On({"clear-errors"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(controller->errorBits() & 0x10, 0);
  EXPECT_TRUE(Has(r.out, "User program - no error (green)")) << r.out;
}

}  // namespace
