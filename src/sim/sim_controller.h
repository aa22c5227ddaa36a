// The simulated controller: register map, program memory, debug engine and motor of one of the
// four models, answering Modbus requests. Thread-safe: every public operation takes one lock.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sim/motor_model.h"
#include "sim/program_record.h"
#include "sim/sim_clock.h"
#include "sim/sim_models.h"

namespace ferrolad::sim {

struct SimOptions {
  SimModel model = SimModel::LiraV2;
  uint8_t slaveId = 1;
  uint32_t hwValue = 0;                // 0: the model's first GET_HW value
  uint32_t fwValue = 0x00080002;       // FW 2.8: low word major, high word minor; reading supported
  uint32_t bootloaderValue = 0x00000001;
  int64_t romBusyUs = 2000;            // ROM state input reads busy this long after each store
  int64_t lineTimeUs = 100;            // time the program counter spends on one line in RUN
  std::shared_ptr<SimClock> clock;     // null: real time
};

enum class ErrorGroup { UserProgram = 1, Modbus = 2, Rom = 3 };
enum class ProgramType { Main = 0, Service = 1 };

// Modbus exception codes the controller answers with.
inline constexpr uint8_t kIllegalFunction = 1, kIllegalAddress = 2, kIllegalValue = 3;

// Operand signal codes as the debug interface carries them.
inline constexpr uint8_t kSignalLow = 0, kSignalHigh = 2, kSignalForcedHigh = 3, kSignalForcedLow = 4;

struct OperandState {
  int32_t value = 0;
  uint8_t signal = kSignalLow;
  bool forcedValue = false;
};

struct SimStats {
  uint64_t frames = 0;          // complete frames seen
  uint64_t answered = 0;        // answers produced (exceptions included)
  uint64_t exceptions = 0;
  uint64_t otherSlave = 0;      // frames for another slave ID, left unanswered
  uint64_t broadcasts = 0;
  uint64_t badFrames = 0;       // malformed text
  uint64_t badLrc = 0;
  uint64_t refusedMotion = 0;   // motion commands while in STOP
  uint64_t storeFailures = 0;   // program lines that could not be stored
};

class SimController {
 public:
  explicit SimController(SimOptions opts = {});

  // One complete ASCII frame (":" … CR LF) in; the answer frame, or nothing when the controller
  // stays silent (other slave ID, broadcast, bad frame or LRC).
  std::optional<std::string> handleFrame(std::string_view frame);
  // The same below the framing: bytes from slave ID to the last data byte, without LRC.
  std::optional<std::vector<uint8_t>> handleAdu(const std::vector<uint8_t>& adu);

  SimStats stats() const;
  SimModel model() const { return info_.model; }
  const SimModelInfo& modelInfo() const { return info_; }
  uint8_t slaveId() const;

  // The RUN/STOP switch on the controller's front; not reachable through Modbus.
  void setRun(bool run);
  bool isRun() const;

  // Inputs X0-X7 (the physical level; a debug force overrides it) and outputs Y0-Y7.
  void setInput(int n, bool level);
  bool input(int n) const;  // effective level
  uint8_t inputs() const;
  void setOutput(int n, bool level);
  uint8_t outputs() const;

  // Errors. Bits of GET_ERRORS: 0 any error, 1 battery, 2 ROM, 3 Modbus, 4 user program.
  void raiseError(ErrorGroup g, uint16_t code, uint16_t line = 0);
  void setBatteryLow(bool low);
  void clearErrors();
  uint8_t errorBits() const;
  uint16_t errorCode(ErrorGroup g) const;
  uint16_t errorLine() const;
  void setSupplyVoltageFault(bool fault);
  void setInternalVoltageFault(bool fault);
  void setDriverErrorCode(uint16_t code);  // GET_ERROR_CODE
  void setFirmware(uint32_t fw);

  // Program memory.
  std::vector<UploadRecord> program(ProgramType t) const;
  void loadProgram(ProgramType t, std::vector<UploadRecord> lines);
  bool romBusy() const;

  // Debug engine.
  bool debugging() const;
  bool suspended() const;
  int currentIndex() const;
  struct Breakpoint {
    uint16_t line = 0;
    bool active = false;
  };
  Breakpoint breakpoint(int i) const;
  void setOperand(char letter, int number, int32_t value, uint8_t signal);
  OperandState operand(char letter, int number) const;

  // Motor and parameters.
  int32_t position() const;
  uint32_t currentSpeed() const;
  uint8_t motorStatus() const;
  int64_t holdingValue(uint16_t address) const;  // value of the parameter starting at `address`

  // Communication parameters as last written (they do not change this simulator's own line).
  bool rtuMode() const;
  int64_t baudRate() const;
  int64_t parity() const;

  std::string statusText() const;

 private:
  struct Param {
    uint16_t address;
    uint8_t words;      // 1 or 2 (low word first)
    int64_t minValue, maxValue;
    bool writable;
    bool splittable;    // halves may be written alone
    int64_t value;
  };
  struct HoldingSlot {
    uint16_t param;
    uint8_t word;
  };
  struct Program {
    std::vector<UploadRecord> lines;
    int capacity;
  };

  void buildMap();
  void addParam(uint16_t address, uint8_t words, int64_t min, int64_t max, int64_t def, bool writable,
                bool splittable = false);
  Param* param(uint16_t address);
  const Param* param(uint16_t address) const;
  int64_t paramValue(uint16_t address) const;

  void sync();
  void runProgram(int64_t lines);
  int nextLine(int pc) const;
  void stepLine();

  std::optional<bool> readCoil(uint16_t a) const;
  std::optional<bool> readDiscrete(uint16_t a) const;
  std::optional<uint16_t> readInput(uint16_t a) const;
  std::optional<uint16_t> readHolding(uint16_t a) const;
  // Coil writes: validation (exception code or 0) and the effect.
  uint8_t checkCoil(uint16_t a, bool on) const;
  void writeCoil(uint16_t a, bool on);
  uint8_t checkHolding(uint16_t start, const std::vector<uint16_t>& words) const;
  void writeHolding(uint16_t start, const std::vector<uint16_t>& words);
  void afterParamWrite(uint16_t address);

  uint8_t outputsLocked() const;
  bool romBusyLocked() const;
  uint8_t errorBitsLocked() const;
  void applyMotion();
  MotorRamps ramps() const;
  bool effectiveInput(int n) const;
  void setInputLocked(int n, std::optional<bool> forced, std::optional<bool> physical);
  void romFailure(uint16_t code);
  void storeLine();
  void beginProgramWrite();
  void copyPacket();
  void operandRead();
  void operandEdit();
  void operandCancel(bool value);
  bool operandSelection(char& letter, int& number, bool& is32) const;
  OperandState operandLocked(char letter, int number, bool is32) const;
  Program& selectedProgram() { return programs_[progService_ ? 1 : 0]; }

  mutable std::mutex mu_;
  const SimModelInfo& info_;
  SimOptions opts_;
  std::shared_ptr<SimClock> clock_;
  int64_t lastUs_ = 0;
  int64_t progUs_ = 0;
  SimStats stats_;

  std::vector<Param> params_;
  std::unordered_map<uint16_t, HoldingSlot> holding_;

  uint8_t slaveId_;
  std::optional<uint8_t> pendingId_;
  bool run_ = false;
  uint8_t physicalInputs_ = 0;
  std::array<std::optional<bool>, 8> forcedInputs_{};
  uint8_t outputs_ = 0;
  std::array<std::optional<bool>, 8> forcedOutputs_{};

  bool batteryLow_ = false, romErr_ = false, modbusErr_ = false, userErr_ = false;
  uint16_t romCode_ = 0, modbusCode_ = 0, userCode_ = 0, errorLine_ = 0;
  bool supplyFault_ = false, internalFault_ = false;
  uint32_t fw_;
  bool rtu_ = false;

  // program memory
  std::array<Program, 2> programs_;
  bool progWriteMode_ = false;  // coil F005h
  bool progService_ = false;    // coil F006h
  int64_t busyUntilUs_ = 0;
  uint16_t linesCopied_ = 0;
  std::array<uint16_t, 255> window_{};

  // debug engine
  bool debugging_ = false, suspended_ = false, singleStep_ = false, skipBreakpoint_ = false;
  int pc_ = 0;
  std::array<bool, 4> bpActive_{};
  bool operandSize32_ = false;
  bool operandError_ = false;
  int32_t operandValueOut_ = 0;
  uint8_t operandSignalOut_ = 0;
  std::map<std::pair<char, int>, OperandState> operands_;

  MotorModel motor_;
};

}  // namespace ferrolad::sim
