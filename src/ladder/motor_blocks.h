// Ready-made motor-control rungs: an optional entry-condition contact on the rail and a box that
// writes a constant into the register of a motor parameter (MOV K1000 D361), or SPIN / TORQUE;
// interruption handlers; and the "Set all parameters" actions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/instruction_catalogue.h"
#include "core/operands.h"

namespace ferrolad {

class TLadderGrid;

// The entry condition and the memory of the last placed block. One instance per window.
class TEntryCondition {
 public:
  TEntryCondition();

  bool Active = false;
  TOperandType OperandType = OpTypeM;
  int32_t OperandNumber = 108;
  TInstructions ContactInstr;  // LD, LDI, LDP or LDF
  TOperandType LastOperandType = OpTypeM;
  int32_t LastOperandNumber = 108;
  TInstructions LastContactInstr;
  int32_t LastRow = -1;
  bool JoinValid = false;

  // What the entry-condition controls show (the window mirrors it).
  struct TView {
    std::string GroupCaption = "Entry condition";
    std::vector<std::string> ContactItems;  // load contacts of the catalogue, then "None"
    std::string SelectedContact;
    std::vector<std::string> TypeItems;  // operand letters allowed for the contact
    std::string SelectedType;
    std::vector<int32_t> NumberItems;
    int32_t SelectedNumber = -1;
    bool TypeEnabled = false;
    bool NumberEnabled = false;
    std::string Picture;  // element image of the contact; "" = white with " _____ "
  };
  TView View;

  // Fills the contact list, selects "LDP" and updates the condition.
  void FillContactList();
  // Editing done in the contact box: selects text and updates the condition.
  void SelectContact(const std::string& text);
  // Editing done in the number box.
  void SelectNumber(int32_t number);
  void UpdateEntryCondition(bool wanted);
  void SetEntryContact(const TInstructions& instr);
  void SetEntryOperandType(TOperandType type);
  void RefreshEntryNumbers();
  bool IsSameAsLast() const;
  // The contact's operand as written in IL ("M108", "X10" for input 8).
  std::string OperandText() const;
};

// Values of the "Set all parameters" dialog (texts as typed; clamped to the parameters' ranges).
struct TAllParameters {
  bool SetAcceleration = true;
  std::string Acceleration = "3000";
  bool SetDeceleration = true;
  std::string Deceleration = "3000";
  bool SetMaxSpeed = true;
  std::string MaxSpeed = "3000";
  bool SetMinSpeed = true;
  std::string MinSpeed = "3000";
  bool SetAutoMinSpeed = true;
  bool AutoMinSpeedEnable = true;
  bool SetFullStep = true;
  bool FullStepEnable = true;
  std::string FullStepSpeed = "3000";
  bool SetDirection = true;
  bool DirectionForward = true;

  bool SetAccelerationCurrent = true;
  std::string AccelerationCurrent = "1500";
  bool SetDecelerationCurrent = true;
  std::string DecelerationCurrent = "1500";
  bool SetOperationCurrent = true;
  std::string OperationCurrent = "1500";
  bool SetHoldingCurrent = true;
  std::string HoldingCurrent = "1500";

  bool SetMicrostepping = true;
  int MicrosteppingIndex = 7;  // "1/1" .. "1/32", "1/128", "1/256"
  bool SetGoUntilInput = true;
  int GoUntilInputIndex = 0;  // "0" .. "7"
};

// Microstep combo index to register value: 1/1 .. 1/32 -> 0 .. 5, 1/128 -> 7, 1/256 -> 8.
int MicrostepValue(int index);

// Keeps the digits of a typed value and a "-" in the first position.
std::string DigitsOnly(const std::string& text);

// The interruption rows the interruption "Add" works with (Caption, numbers, Kind, Mnemonic).
struct TInterruptionRow {
  std::string Caption;
  int32_t MinNumber = 0;
  int32_t MaxNumber = 0;
  uint8_t Kind = 0;
  std::string Mnemonic;
};

class TMotorControlBlocks {
 public:
  TMotorControlBlocks(TLadderGrid& grid, TEntryCondition& entry);

  bool JoinConditions = true;  // the "joint" box

  // One rung for the parameter named name (a command-table Caption) with the value text.
  // Returns whether a rung was added.
  bool AddParameterBlock(const std::string& name, const std::string& valueText);
  // A group's "Add": for MOVE, GO TO POS and GO TO DIR POS the TARGET POS rung comes first.
  bool AddGroupParameter(const std::string& name, const std::string& valueText,
                         const std::string& targetText = "0");
  // The interruptions "Add": a handler (label I, IRET after FEND) or EI / DI / IRET / FEND.
  bool AddInterruption(const TInterruptionRow& row, const std::string& numberText);

  // The "Set all parameters" buttons.
  void AddSpeedSettings(const TAllParameters& p);
  void AddCurrentSettings(const TAllParameters& p);
  void AddMicrostepping(const TAllParameters& p);
  void SetGoUntilInput(const TAllParameters& p);
  void AddAllSettings(const TAllParameters& p);

 private:
  bool RowCrossedByLinks() const;
  std::string Clamped(const std::string& caption, const std::string& text) const;

  TLadderGrid& grid_;
  TEntryCondition& entry_;
};

}  // namespace ferrolad
