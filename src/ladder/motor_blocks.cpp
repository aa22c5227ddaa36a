#include "ladder/motor_blocks.h"

#include <algorithm>
#include <charconv>

#include "ladder/ladder_grid.h"

namespace ferrolad {

namespace {

bool ParseInt(const std::string& text, int64_t& out) {
  if (text.empty()) return false;
  const char* b = text.data();
  const char* e = b + text.size();
  auto [p, ec] = std::from_chars(b, e, out);
  return ec == std::errc() && p == e;
}

}  // namespace

// ---- TEntryCondition ------------------------------------------------------------------------

TEntryCondition::TEntryCondition()
    : ContactInstr(FindInstructionByName("LDP")), LastContactInstr(ContactInstr) {}

void TEntryCondition::FillContactList() {
  View.ContactItems.clear();
  for (const auto& e : InstructionCatalogue()) {
    if (e.LinkClass == LinkLoad && e.Code != 0) View.ContactItems.push_back(e.Name);
  }
  View.ContactItems.push_back("None");
  View.SelectedContact = "LDP";
  UpdateEntryCondition(true);
}

void TEntryCondition::SelectContact(const std::string& text) {
  if (std::find(View.ContactItems.begin(), View.ContactItems.end(), text) == View.ContactItems.end()) return;
  View.SelectedContact = text;
  UpdateEntryCondition(text != "None");
}

void TEntryCondition::SelectNumber(int32_t number) {
  if (std::find(View.NumberItems.begin(), View.NumberItems.end(), number) == View.NumberItems.end()) return;
  View.SelectedNumber = number;
  OperandNumber = number;
}

void TEntryCondition::UpdateEntryCondition(bool wanted) {
  Active = wanted && !View.SelectedContact.empty();
  if (Active) {
    View.GroupCaption = "Entry condition - " + View.SelectedContact;
    View.TypeEnabled = View.NumberEnabled = true;
    SetEntryContact(FindInstructionByName(View.SelectedContact));
  } else {
    View.GroupCaption = "Entry condition - none";
    View.TypeEnabled = View.NumberEnabled = false;
    View.Picture.clear();
  }
}

void TEntryCondition::SetEntryContact(const TInstructions& instr) {
  if (instr.Name == "Unknown" || instr.Operands[0].Types.empty()) {
    UpdateEntryCondition(false);
    return;
  }
  ContactInstr = instr;
  View.TypeItems.clear();
  bool currentAllowed = false;
  bool mAllowed = false;
  for (const auto& t : instr.Operands[0].Types) {
    View.TypeItems.emplace_back(1, LetterFromType(t.OpType));
    currentAllowed = currentAllowed || t.OpType == OperandType;
    mAllowed = mAllowed || t.OpType == OpTypeM;
  }
  TOperandType type = instr.Operands[0].Types.front().OpType;
  if (currentAllowed) {
    type = OperandType;
  } else if (instr.Name == "LDP" && mAllowed) {
    type = OpTypeM;
  }
  View.SelectedType = std::string(1, LetterFromType(type));
  View.Picture = ElementImage(static_cast<int>(instr.ElementKind));
  SetEntryOperandType(type);
}

void TEntryCondition::SetEntryOperandType(TOperandType type) {
  OperandType = type;
  if (type == OpTypeNull) {
    UpdateEntryCondition(false);
    return;
  }
  RefreshEntryNumbers();
}

void TEntryCondition::RefreshEntryNumbers() {
  View.NumberItems.clear();
  int64_t highest = -1;
  for (const auto& t : ContactInstr.Operands[0].Types) {
    if (t.OpType == OperandType) highest = t.MaxNumber;
  }
  for (int64_t n = 0; n <= highest; ++n) {
    TSingleOperand op;
    op.OpType = OperandType;
    op.Value = n;
    if (ValidateOperand(op, 1, ContactInstr.Code)) View.NumberItems.push_back(static_cast<int32_t>(n));
  }
  if (View.NumberItems.empty()) {
    UpdateEntryCondition(false);
    return;
  }
  auto listed = [&](int32_t n) {
    return std::find(View.NumberItems.begin(), View.NumberItems.end(), n) != View.NumberItems.end();
  };
  if (listed(OperandNumber)) {
    View.SelectedNumber = OperandNumber;
  } else if (ContactInstr.Name == "LDP" && OperandType == OpTypeM && listed(108)) {
    View.SelectedNumber = OperandNumber = 108;
  } else {
    View.SelectedNumber = OperandNumber = View.NumberItems.front();
  }
}

bool TEntryCondition::IsSameAsLast() const {
  return ContactInstr.Code == LastContactInstr.Code && OperandType == LastOperandType &&
         OperandNumber == LastOperandNumber;
}

std::string TEntryCondition::OperandText() const {
  return ferrolad::OperandText(LetterFromType(OperandType), OperandNumber);
}

// ---- Helpers --------------------------------------------------------------------------------

int MicrostepValue(int index) { return index > 5 ? index + 1 : index; }

std::string DigitsOnly(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c >= '0' && c <= '9') || (c == '-' && i == 0)) out.push_back(c);
  }
  return out;
}

// ---- TMotorControlBlocks --------------------------------------------------------------------

TMotorControlBlocks::TMotorControlBlocks(TLadderGrid& grid, TEntryCondition& entry) : grid_(grid), entry_(entry) {}

bool TMotorControlBlocks::RowCrossedByLinks() const {
  if (grid_.CurRow <= 0) return false;
  for (int c = 4; c < grid_.ColCount; ++c) {
    if (grid_.HasLineDown(grid_.CurRow, c) || grid_.HasLineUp(grid_.CurRow, c)) return true;
  }
  return false;
}

bool TMotorControlBlocks::AddParameterBlock(const std::string& name, const std::string& valueText) {
  TLadderGrid& g = grid_;
  g.SyncSelection();
  if (entry_.LastRow + 1 != g.CurRow) entry_.JoinValid = false;
  if (!g.Registers) return false;
  const TLadderRegister d = g.Registers->FindByCaption(name);
  if (!d.Found) return false;
  std::string mnemonic;
  if (name == "SPIN") {
    mnemonic = "SPIN";
  } else if (name == "TORQUE") {
    mnemonic = "TORQUE";
  } else if (d.DRegister == 0) {
    return false;  // no data register: a MOV would overwrite the user's D0
  } else if (d.BitWidth == 1 || d.BitWidth == 16) {
    mnemonic = "MOV";
  } else if (d.BitWidth == 32) {
    mnemonic = "DMOV";
  } else {
    return false;
  }
  const TInstructions instr = FindInstructionByName(mnemonic);
  const std::string value = "K" + valueText;
  if (!TLadderGrid::IsStorableText(value)) return false;

  if (entry_.Active) {
    if (JoinConditions && entry_.IsSameAsLast() && entry_.JoinValid) {
      g.InsertRow();
      g.AddVerticalLine(g.CurRow - 1, 4);
    } else {
      if (RowCrossedByLinks()) {
        g.Ui().ShowMessage("Impossible to place the instruction here");
        return false;
      }
      g.InsertRow();
      g.CurCol = FirstColumn;
      g.PlaceSingle(entry_.ContactInstr, entry_.OperandText());
    }
  } else {
    if (RowCrossedByLinks()) {
      g.Ui().ShowMessage("Impossible to place the instruction here");
      return false;
    }
    g.InsertRow();
    g.CurCol = g.ColCount - 3;
  }
  std::string reg = "D";
  reg += std::to_string(d.DRegister);
  g.PlaceBox(instr, value, reg, "", "");
  entry_.LastContactInstr = entry_.ContactInstr;
  entry_.LastOperandType = entry_.OperandType;
  entry_.LastOperandNumber = entry_.OperandNumber;
  entry_.JoinValid = true;
  entry_.LastRow = g.CurRow;
  if (g.CurRow == g.RowCount - 1) g.AppendRow();
  g.CurRow += 1;
  g.SyncSelection();
  return true;
}

bool TMotorControlBlocks::AddGroupParameter(const std::string& name, const std::string& valueText,
                                            const std::string& targetText) {
  grid_.ClearPreview(grid_.CurRow);
  const std::string value = DigitsOnly(valueText);
  if (name.empty() || value.empty()) return false;
  if (name == "MOVE" || name == "GO TO POS" || name == "GO TO DIR POS") {
    int64_t target = 0;
    if (!ParseInt(DigitsOnly(targetText), target)) target = 0;
    target = std::clamp<int64_t>(target, -2147483647, 2147483647);
    AddParameterBlock("TARGET POS", std::to_string(target));
  }
  const bool ok = AddParameterBlock(name, value);
  grid_.ClearPreview(grid_.CurRow - 1);
  grid_.ClearPreview(grid_.CurRow);
  return ok;
}

bool TMotorControlBlocks::AddInterruption(const TInterruptionRow& row, const std::string& numberText) {
  TLadderGrid& g = grid_;
  const TInstructions instr = FindInstructionByName(row.Mnemonic);
  if (instr.Code == 0) return false;
  g.SyncSelection();
  if (row.Kind < 4) {
    auto findRow = [&](const char* value) {
      for (int r = 0; r < g.RowCount; ++r) {
        for (int c = std::max(0, g.ColCount - 5); c < g.ColCount; ++c) {
          if (g.Cell(r, c).Value == value) return r;
        }
      }
      return -1;
    };
    const TInstructions fend = FindInstructionByName("FEND");
    int f = findRow("FEND");
    if (f < 0) {
      const int e = findRow("END");
      if (e < 0) {
        g.CurRow = g.RowCount - 1;
        g.CurCol = FirstColumn;
        g.PlaceBox(fend, "", "", "", "");
        g.AppendRow();
      } else {
        g.CurRow = e;
        g.CurCol = FirstColumn;
        g.InsertRow();
        g.PlaceBox(fend, "", "", "", "");
      }
      f = g.CurRow;
    } else if (f == g.RowCount - 1) {
      g.AppendRow();
    }
    g.CurRow = f + 1;
    g.InsertRow();
    g.CurCol = FirstColumn;
    g.PlaceBox(FindInstructionByName("IRET"), "", "", "", "");
    g.InsertRow();
    int64_t number = row.MinNumber;
    if (!ParseInt(DigitsOnly(numberText), number)) number = row.MinNumber;
    number = std::clamp<int64_t>(number, row.MinNumber, row.MaxNumber);
    g.PlaceLabel(instr, std::to_string(number));
  } else {
    if (RowCrossedByLinks()) {
      g.Ui().ShowMessage("Impossible to place the instruction here");
      return false;
    }
    g.InsertRow();
    g.CurCol = FirstColumn;
    g.PlaceBox(instr, "", "", "", "");
  }
  entry_.JoinValid = false;
  if (g.CurRow == g.RowCount - 1) g.AppendRow();
  g.CurRow += 1;
  g.SyncSelection();
  return true;
}

std::string TMotorControlBlocks::Clamped(const std::string& caption, const std::string& text) const {
  if (!grid_.Registers) return DigitsOnly(text);
  const TLadderRegister d = grid_.Registers->FindByCaption(caption);
  int64_t v = 0;
  if (!ParseInt(DigitsOnly(text), v)) v = d.MinValue;
  v = std::clamp<int64_t>(v, d.MinValue, std::max(d.MinValue, d.MaxValue));
  return std::to_string(v);
}

void TMotorControlBlocks::AddSpeedSettings(const TAllParameters& p) {
  if (p.SetAcceleration) AddParameterBlock("ACCEL", Clamped("ACCEL", p.Acceleration));
  if (p.SetDeceleration) AddParameterBlock("DECEL", Clamped("DECEL", p.Deceleration));
  if (p.SetMaxSpeed) AddParameterBlock("MAX SPEED", Clamped("MAX SPEED", p.MaxSpeed));
  if (p.SetMinSpeed) AddParameterBlock("MIN SPEED", Clamped("MIN SPEED", p.MinSpeed));
  if (p.SetAutoMinSpeed) AddParameterBlock("CALCULATE MIN SPEED", p.AutoMinSpeedEnable ? "1" : "0");
  if (p.SetFullStep) {
    if (p.FullStepEnable) {
      AddParameterBlock("FULL STEP ENABLE", "1");
      AddParameterBlock("FULL STEP SPEED", Clamped("FULL STEP SPEED", p.FullStepSpeed));
    } else {
      AddParameterBlock("FULL STEP ENABLE", "0");
    }
  }
  if (p.SetDirection) AddParameterBlock("DIRECTION", p.DirectionForward ? "1" : "0");
}

void TMotorControlBlocks::AddCurrentSettings(const TAllParameters& p) {
  if (p.SetAccelerationCurrent)
    AddParameterBlock("ACCEL CURRENT", Clamped("ACCEL CURRENT", p.AccelerationCurrent));
  if (p.SetDecelerationCurrent)
    AddParameterBlock("DECEL CURRENT", Clamped("DECEL CURRENT", p.DecelerationCurrent));
  if (p.SetOperationCurrent) AddParameterBlock("WORK CURRENT", Clamped("WORK CURRENT", p.OperationCurrent));
  if (p.SetHoldingCurrent) AddParameterBlock("HOLD CURRENT", Clamped("HOLD CURRENT", p.HoldingCurrent));
  AddParameterBlock("TORQUE", "");
}

void TMotorControlBlocks::AddMicrostepping(const TAllParameters& p) {
  if (p.SetMicrostepping) AddParameterBlock("MICROSTEP", std::to_string(MicrostepValue(p.MicrosteppingIndex)));
}

void TMotorControlBlocks::SetGoUntilInput(const TAllParameters& p) {
  if (p.SetGoUntilInput) AddParameterBlock("GO_UNTIL INPUT NUM", std::to_string(p.GoUntilInputIndex));
}

void TMotorControlBlocks::AddAllSettings(const TAllParameters& p) {
  AddSpeedSettings(p);
  AddCurrentSettings(p);
  AddMicrostepping(p);
  SetGoUntilInput(p);
}

}  // namespace ferrolad
