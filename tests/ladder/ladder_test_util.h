// Shared helpers of the ladder tests: a scripted user and a grid wired to a real controller model.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/instruction_catalogue.h"
#include "device/device_description.h"
#include "ladder/device_registers.h"
#include "ladder/ladder_grid.h"
#include "ladder/motor_blocks.h"

namespace ferrolad::test {

// Records every message and question; answers questions from a queue (default when empty).
class ScriptedUi : public TLadderUi {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;
  bool defaultAnswer = false;

  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& q) override { return Answer(q); }
  bool AskOkCancel(const std::string& q) override { return Answer(q); }

 private:
  bool Answer(const std::string& q) {
    questions.push_back(q);
    if (answers.empty()) return defaultAnswer;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

inline std::shared_ptr<const TDeviceDescription> Lira2() {
  static auto d = std::make_shared<const TDeviceDescription>(*FindDescriptionByModel(kModelLira2));
  return d;
}

// A grid with a scripted user, the first controller model's registers and an entry condition.
struct Fixture {
  ScriptedUi ui;
  TDeviceLadderRegisters registers{Lira2()};
  TEntryCondition entry;
  TLadderGrid grid{&ui};
  Fixture() {
    grid.Registers = &registers;
    grid.EntryCondition = &entry;
  }
  TLDMCell& At(int r, int c) { return grid.Cell(r, c); }
  // Places instruction `name` at (row, col) with the given operands.
  bool Place(int row, int col, const std::string& name, const std::string& op1 = "",
             const std::string& op2 = "", const std::string& op3 = "", const std::string& op4 = "") {
    grid.CurRow = row;
    grid.CurCol = col;
    return grid.PlaceElement(FindInstructionByName(name), op1, op2, op3, op4);
  }
};

}  // namespace ferrolad::test
