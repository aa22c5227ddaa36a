// The request engine and the device link on a simulated controller, for the program transfer and
// identification tests.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "comm/engine_fixture.h"
#include "core/il_text.h"
#include "core/instruction_catalogue.h"
#include "device/controller_link.h"
#include "device/program_upload.h"

namespace ferrolad::testing {

class LinkTest : public EngineTest {
 protected:
  void SetUp() override {
    sim::SimOptions options;
    options.romBusyUs = 0;  // the repeat-until-ready path costs a whole cycle delay per line
    Rebuild(options);
  }

  void Rebuild(sim::SimOptions options) {
    link.reset();
    Build(options);
    link = std::make_unique<TControllerLink>(*modbus, main, settings);
    OnMain([&] { link->Bind(); });
  }

  void TearDown() override {
    if (link) OnMain([&] { link->StopReading(); });
    EngineTest::TearDown();
    link.reset();
  }

  sim::SimController& Controller() { return port->controller; }

  // Runs the identification chain to its end.
  void Identify() {
    bool started = false;
    OnMain([&] { started = link->StartIdentification(); });
    ASSERT_TRUE(started);
    ASSERT_TRUE(WaitUntil([&] { return link->Ident.Finished || !link->Ident.Running(); }));
  }

  // Uploads and waits for the transfer's end; the outcome and the message the window would show.
  TTransferOutcome Upload(const std::vector<std::string>& lines, TProgramType type, std::string* message = nullptr,
                          TUploadStart* startOut = nullptr) {
    const size_t before = Outcomes().size();
    TUploadStart start;
    OnMain([&] { start = UploadProgram(*modbus, lines, type, 1); });
    if (startOut) *startOut = start;
    if (!start.Started) return {};
    auto all = WaitOutcomes(before + 1, 60000);
    if (all.size() <= before) {
      ADD_FAILURE() << "upload did not end";
      return {};
    }
    const TTransferOutcome outcome = all[before];
    if (message) {
      OnMain([&] {
        std::lock_guard lock(modbus->ResponseLock);
        *message = UploadFailureMessage(outcome, start.Build.Requests, modbus->ResponseValue);
      });
    }
    return outcome;
  }

  // Reads the program back; false when the reading did not end in time.
  bool Download(TProgramType type) {
    bool started = false;
    OnMain([&] { started = link->StartReading(type, 1); });
    if (!started) return false;
    return WaitUntil([&] { return !link->ReadingRunning(); }, 60000);
  }

  std::vector<std::string> Editor() {
    std::vector<std::string> lines;
    OnMain([&] { lines = link->Program.MemoIL; });
    return lines;
  }

  std::vector<TTransferOutcome> Outcomes() {
    std::lock_guard lock(mu);
    return outcomes;
  }

  // Polls a condition on the window thread.
  bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      bool ok = false;
      OnMain([&] { ok = done(); });
      if (ok) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  std::unique_ptr<TControllerLink> link;
};

// A valid operand text for slot `slot` of `entry`, or "" when none of a few candidates passes.
inline std::string SampleOperand(const TInstructions& entry, int slot) {
  static const int64_t kCandidates[] = {1, 0, 2, 5, 10, 100, 1000, 2000};
  for (const TOperand& type : entry.Operands[static_cast<size_t>(slot - 1)].Types) {
    const char letter = LetterFromType(type.OpType);
    for (int64_t v : kCandidates) {
      TSingleOperand op;
      op.OpType = type.OpType;
      op.Value = type.OpType == OpTypeF ? std::bit_cast<uint32_t>(static_cast<float>(v) + 0.5f) : v;
      if (!ValidateOperand(op, slot, entry)) continue;
      if (type.OpType == OpTypeEmpty) return std::to_string(v);
      return std::string(1, letter) + OperandNumberText(letter, op.Value);
    }
  }
  return "";
}

// One canonical line per catalogue mnemonic (END last), plus indexed operands.
inline std::vector<std::string> EveryMnemonicProgram() {
  std::vector<std::string> lines;
  const auto& catalogue = InstructionCatalogue();
  for (size_t i = 1; i < catalogue.size(); ++i) {
    const TInstructions& e = catalogue[i];
    if (e.Name == "END") continue;
    std::string line = e.Name;
    bool ok = true;
    for (int slot = 1; slot <= OperandCount(e); ++slot) {
      const std::string op = SampleOperand(e, slot);
      if (op.empty()) ok = false;
      line += "\t" + op;
    }
    if (ok && ParseLine(line) == ParseOk) lines.push_back(line);
  }
  lines.push_back("MOV\tK100@A1\tD10A3");
  lines.push_back("END");
  return lines;
}

}  // namespace ferrolad::testing
