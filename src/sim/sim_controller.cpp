#include "sim/sim_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/slave_codec.h"

namespace ferrolad::sim {

namespace {

// Holding registers.
constexpr uint16_t kMaxSpeed = 0x5000, kMinSpeed = 0x5002, kAccel = 0x5004, kDecel = 0x5005,
                   kAbsPos = 0x5006, kMicro = 0x5009, kDir = 0x500A, kFsSpeed = 0x500B, kFsSwEn = 0x500D,
                   kTargetPos = 0x500E, kCmd = 0x5010, kSwInput = 0x5011, kAccCur = 0x5012,
                   kDecCur = 0x5013, kRunCur = 0x5014, kHoldCur = 0x5015, kCMinSpeed = 0x5016,
                   kErrorSetHiz = 0x5017, kErrorCode = 0x5027, kEmergencyDecel = 0x5048;
constexpr uint16_t kOperandType = 0x6000, kOperandIndex = 0x6001, kOperandValue = 0x6002,
                   kOperandSignal = 0x6004, kBreakpointLine = 0x6200;
constexpr uint16_t kBaud = 0x8100, kParity = 0x8102, kSlaveIdReg = 0x8103;
constexpr uint16_t kLineNumber = 0xF100, kRecord = 0xF300, kLinesQty = 0xF400, kWindow = 0xF401;
constexpr int kRecordRegs = 21, kReadBackRegs = 17, kWindowRegs = 255, kLinesPerPacket = 15;

// Coils.
constexpr uint16_t kCoilDir = 0x500A, kCoilInternalVoltage = 0x502F, kCoilSupplyVoltage = 0x5030,
                   kCoilApply = 0x5100, kCoilTorque = 0x5101, kCoilHardStop = 0x5102,
                   kCoilHardHiz = 0x5103, kCoilSlowStop = 0x5104, kCoilSlowHiz = 0x5105;
constexpr uint16_t kCoilOperandRead = 0x6000, kCoilOperandEdit = 0x6001, kCoilOperandSize = 0x6002,
                   kCoilCancelValue = 0x6003, kCoilCancelSignal = 0x6004;
constexpr uint16_t kCoilDebug = 0x6100, kCoilSuspend = 0x6101, kCoilSingleStep = 0x6102,
                   kCoilBreakpoint = 0x6200;
constexpr uint16_t kCoilRtu = 0x8100, kCoilClearErrors = 0xE000, kCoilStore = 0xF000,
                   kCoilBeginWrite = 0xF003, kCoilWriteMode = 0xF005, kCoilService = 0xF006,
                   kCoilPacket = 0xF007;

bool IsBitLetter(char c) { return c == 'X' || c == 'Y' || c == 'M' || c == 'T' || c == 'C'; }
bool IsWordLetter(char c) { return c == 'T' || c == 'C' || c == 'D' || c == 'A' || c == 'B'; }

int MaxOperandNumber(char c) {
  switch (c) {
    case 'X': case 'Y': case 'M': return 127;
    case 'T': return 63;
    case 'C': return 65;
    case 'D': return 391;
    case 'A': case 'B': return 7;
    default: return -1;
  }
}

int32_t ToInt32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

std::vector<uint8_t> Exception(uint8_t slave, uint8_t fc, uint8_t code) {
  return {slave, static_cast<uint8_t>(fc | 0x80), code};
}

}  // namespace

SimController::SimController(SimOptions opts)
    : info_(ModelInfo(opts.model)), opts_(std::move(opts)), slaveId_(opts_.slaveId), fw_(opts_.fwValue) {
  clock_ = opts_.clock ? opts_.clock : std::make_shared<SteadySimClock>();
  if (opts_.hwValue == 0) opts_.hwValue = info_.hwValues[0];
  if (opts_.lineTimeUs <= 0) opts_.lineTimeUs = 1;
  lastUs_ = clock_->nowUs();
  programs_[0].capacity = kMainProgramLines;
  programs_[1].capacity = kServiceProgramLines;
  buildMap();
}

void SimController::addParam(uint16_t address, uint8_t words, int64_t min, int64_t max, int64_t def,
                             bool writable, bool splittable) {
  auto idx = static_cast<uint16_t>(params_.size());
  params_.push_back({address, words, min, max, writable, splittable, def});
  for (uint8_t w = 0; w < words; ++w) holding_[static_cast<uint16_t>(address + w)] = {idx, w};
}

void SimController::buildMap() {
  // Ranges and defaults come from this model's command rows; a register written by several rows
  // accepts the union of their ranges.
  struct Acc {
    uint8_t words = 1;
    int64_t min = INT64_MAX, max = INT64_MIN, def = 0;
    bool writable = false, hasDefault = false;
  };
  std::map<uint16_t, Acc> acc;
  for (const auto& r : CommandRows(info_.model)) {
    if (r.functionCode != 3 && r.functionCode != 6 && r.functionCode != 16) continue;
    if (r.address >= kWindow && r.address < kWindow + kWindowRegs) continue;  // the window is special
    if (r.address == kLinesQty || r.address == kOperandValue) continue;
    Acc& a = acc[r.address];
    if (r.count == 2) a.words = 2;
    const bool write = r.functionCode == 6 || r.functionCode == 16;
    // the first writing row's default is the power-on value (GET_PARITY says 0, SET_PARITY 2)
    if (!a.hasDefault || (write && !a.writable)) {
      a.def = r.defaultValue;
      a.hasDefault = true;
    }
    if (write) {
      a.writable = true;
      a.min = std::min(a.min, r.minValue);
      a.max = std::max(a.max, r.maxValue);
    }
  }
  for (auto& [addr, a] : acc) {
    int64_t lo = a.writable ? a.min : 0, hi = a.writable ? a.max : 0xFFFF;
    if (a.words == 1) hi = std::min<int64_t>(hi, 0xFFFF);
    addParam(addr, a.words, lo, hi, a.def, a.writable);
  }
  param(kSlaveIdReg)->value = slaveId_;
  // Registers the tables do not name one by one.
  for (int i = 1; i < 4; ++i) addParam(static_cast<uint16_t>(kBreakpointLine + i), 1, 0, 0xFFFF, 0, true);
  addParam(kOperandValue, 2, INT32_MIN, INT32_MAX, 0, true, /*splittable=*/true);
  addParam(kLinesQty, 1, 0, kLinesPerPacket, 0, true);
  for (int i = 0; i < kRecordRegs; ++i) addParam(static_cast<uint16_t>(kRecord + i), 1, 0, 0xFFFF, 0, true);
  for (int i = 0; i < kWindowRegs; ++i) addParam(static_cast<uint16_t>(kWindow + i), 1, 0, 0xFFFF, 0, true);
}

SimController::Param* SimController::param(uint16_t address) {
  auto it = holding_.find(address);
  return it == holding_.end() ? nullptr : &params_[it->second.param];
}
const SimController::Param* SimController::param(uint16_t address) const {
  auto it = holding_.find(address);
  return it == holding_.end() ? nullptr : &params_[it->second.param];
}
int64_t SimController::paramValue(uint16_t address) const {
  const Param* p = param(address);
  return p ? p->value : 0;
}

// ---------------------------------------------------------------------------------------------
// Time

MotorRamps SimController::ramps() const {
  return {paramValue(kMaxSpeed), paramValue(kMinSpeed), paramValue(kAccel), paramValue(kDecel)};
}

void SimController::sync() {
  int64_t now = clock_->nowUs();
  int64_t dt = now - lastUs_;
  if (dt <= 0) return;
  lastUs_ = now;
  motor_.advance(static_cast<double>(dt) / 1e6, ramps());
  if (run_ && !(debugging_ && suspended_)) {
    progUs_ += dt;
    int64_t lines = progUs_ / opts_.lineTimeUs;
    progUs_ %= opts_.lineTimeUs;
    if (lines > 0) runProgram(lines);
  } else {
    progUs_ = 0;
  }
}

int SimController::nextLine(int pc) const {
  const auto& lines = programs_[0].lines;
  if (pc < 0 || pc + 1 >= static_cast<int>(lines.size())) return 0;
  if (RecordCode(lines[static_cast<size_t>(pc)]) == kEndCode) return 0;
  return pc + 1;
}

void SimController::runProgram(int64_t lines) {
  const auto& prog = programs_[0].lines;
  if (prog.empty()) {
    pc_ = 0;
    return;
  }
  // One pass over the cycle reaches every line that can be reached, so a long idle time is folded.
  int64_t cycle = static_cast<int64_t>(prog.size());
  if (lines > 2 * cycle) lines = cycle + lines % cycle;
  for (int64_t i = 0; i < lines; ++i) {
    if (debugging_ && !skipBreakpoint_) {
      for (int b = 0; b < 4; ++b) {
        if (bpActive_[static_cast<size_t>(b)] && paramValue(static_cast<uint16_t>(kBreakpointLine + b)) == pc_) {
          suspended_ = true;
          progUs_ = 0;
          return;
        }
      }
    }
    skipBreakpoint_ = false;
    pc_ = nextLine(pc_);
  }
}

void SimController::stepLine() {
  pc_ = nextLine(pc_);
  skipBreakpoint_ = false;
}

// ---------------------------------------------------------------------------------------------
// Frames

std::optional<std::string> SimController::handleFrame(std::string_view frame) {
  std::vector<uint8_t> adu;
  FrameStatus st = ParseAsciiFrame(frame, adu);
  if (st != FrameStatus::Ok) {
    std::lock_guard lock(mu_);
    ++stats_.frames;
    ++(st == FrameStatus::BadLrc ? stats_.badLrc : stats_.badFrames);
    return std::nullopt;
  }
  auto answer = handleAdu(adu);
  if (!answer) return std::nullopt;
  return BuildAsciiFrame(*answer);
}

std::optional<std::vector<uint8_t>> SimController::handleAdu(const std::vector<uint8_t>& adu) {
  std::lock_guard lock(mu_);
  ++stats_.frames;
  if (adu.size() < 2) {
    ++stats_.badFrames;
    return std::nullopt;
  }
  const uint8_t slave = adu[0], fc = adu[1];
  const bool broadcast = slave == 0;
  if (!broadcast && slave != slaveId_) {
    ++stats_.otherSlave;
    return std::nullopt;
  }
  sync();
  auto u16 = [&](size_t i) { return static_cast<uint16_t>(adu[i] << 8 | adu[i + 1]); };
  auto fail = [&](uint8_t code) -> std::optional<std::vector<uint8_t>> {
    if (broadcast) return std::nullopt;
    ++stats_.answered;
    ++stats_.exceptions;
    return Exception(slave, fc, code);
  };

  std::vector<uint8_t> out{slave, fc};
  switch (fc) {
    case 1:
    case 2: {
      if (adu.size() != 6) return fail(kIllegalValue);
      if (broadcast) return std::nullopt;
      uint16_t start = u16(2), qty = u16(4);
      if (qty < 1 || qty > 2000) return fail(kIllegalValue);
      if (start + qty > 0x10000) return fail(kIllegalAddress);
      std::vector<uint8_t> bits(static_cast<size_t>((qty + 7) / 8), 0);
      for (uint16_t i = 0; i < qty; ++i) {
        auto a = static_cast<uint16_t>(start + i);
        auto b = fc == 1 ? readCoil(a) : readDiscrete(a);
        if (!b) return fail(kIllegalAddress);
        if (*b) bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | (1u << (i % 8)));
      }
      out.push_back(static_cast<uint8_t>(bits.size()));
      out.insert(out.end(), bits.begin(), bits.end());
      break;
    }
    case 3:
    case 4: {
      if (adu.size() != 6) return fail(kIllegalValue);
      if (broadcast) return std::nullopt;
      uint16_t start = u16(2), qty = u16(4);
      if (qty < 1 || qty > 125) return fail(kIllegalValue);
      if (start + qty > 0x10000) return fail(kIllegalAddress);
      out.push_back(static_cast<uint8_t>(qty * 2));
      for (uint16_t i = 0; i < qty; ++i) {
        auto a = static_cast<uint16_t>(start + i);
        auto v = fc == 3 ? readHolding(a) : readInput(a);
        if (!v) return fail(kIllegalAddress);
        out.push_back(static_cast<uint8_t>(*v >> 8));
        out.push_back(static_cast<uint8_t>(*v & 0xFF));
      }
      break;
    }
    case 5: {
      if (adu.size() != 6) return fail(kIllegalValue);
      uint16_t a = u16(2), v = u16(4);
      if (v != 0xFF00 && v != 0x0000) return fail(kIllegalValue);
      if (uint8_t e = checkCoil(a, v == 0xFF00)) return fail(e);
      writeCoil(a, v == 0xFF00);
      out.assign(adu.begin(), adu.end());
      break;
    }
    case 6: {
      if (adu.size() != 6) return fail(kIllegalValue);
      uint16_t a = u16(2);
      std::vector<uint16_t> words{u16(4)};
      if (uint8_t e = checkHolding(a, words)) return fail(e);
      writeHolding(a, words);
      out.assign(adu.begin(), adu.end());
      break;
    }
    case 15: {
      if (adu.size() < 7) return fail(kIllegalValue);
      uint16_t start = u16(2), qty = u16(4);
      uint8_t n = adu[6];
      if (qty < 1 || qty > 1968 || n != (qty + 7) / 8 || adu.size() != 7u + n) return fail(kIllegalValue);
      if (start + qty > 0x10000) return fail(kIllegalAddress);
      auto bit = [&](uint16_t i) { return ((adu[7 + i / 8] >> (i % 8)) & 1) != 0; };
      for (uint16_t i = 0; i < qty; ++i)
        if (uint8_t e = checkCoil(static_cast<uint16_t>(start + i), bit(i))) return fail(e);
      for (uint16_t i = 0; i < qty; ++i) writeCoil(static_cast<uint16_t>(start + i), bit(i));
      out.insert(out.end(), adu.begin() + 2, adu.begin() + 6);
      break;
    }
    case 16: {
      if (adu.size() < 7) return fail(kIllegalValue);
      uint16_t start = u16(2), qty = u16(4);
      uint8_t n = adu[6];
      if (qty < 1 || qty > 123 || n != qty * 2 || adu.size() != 7u + n) return fail(kIllegalValue);
      if (start + qty > 0x10000) return fail(kIllegalAddress);
      std::vector<uint16_t> words;
      for (uint16_t i = 0; i < qty; ++i) words.push_back(u16(7 + 2 * i));
      if (uint8_t e = checkHolding(start, words)) return fail(e);
      writeHolding(start, words);
      out.insert(out.end(), adu.begin() + 2, adu.begin() + 6);
      break;
    }
    default:
      return fail(kIllegalFunction);
  }
  std::optional<std::vector<uint8_t>> answer;
  if (broadcast) {
    ++stats_.broadcasts;
  } else {
    ++stats_.answered;
    answer = std::move(out);
  }
  // A new slave ID is taken into use only after the answer to its write has been built.
  if (pendingId_) {
    slaveId_ = *pendingId_;
    pendingId_.reset();
  }
  return answer;
}

// ---------------------------------------------------------------------------------------------
// Reads

bool SimController::effectiveInput(int n) const {
  const auto& f = forcedInputs_[static_cast<size_t>(n)];
  return f ? *f : ((physicalInputs_ >> n) & 1) != 0;
}

std::optional<bool> SimController::readCoil(uint16_t a) const {
  switch (a) {
    case kCoilDir: return paramValue(kDir) != 0;
    case kCoilInternalVoltage:
      if (!info_.hasInternalVoltage) return std::nullopt;
      return internalFault_;
    case kCoilSupplyVoltage:
      if (!info_.hasSupplyVoltage) return std::nullopt;
      return supplyFault_;
    case kCoilApply: case kCoilTorque: case kCoilHardStop: case kCoilHardHiz: case kCoilSlowStop:
    case kCoilSlowHiz: case kCoilOperandRead: case kCoilOperandEdit: case kCoilCancelValue:
    case kCoilCancelSignal: case kCoilClearErrors: case kCoilStore: case kCoilBeginWrite: case kCoilPacket:
      return false;  // one-shot actions
    case kCoilOperandSize: return operandSize32_;
    case kCoilDebug: return debugging_;
    case kCoilSuspend: return suspended_;
    case kCoilSingleStep: return singleStep_;
    case kCoilRtu: return rtu_;
    case kCoilWriteMode: return progWriteMode_;
    case kCoilService: return progService_;
    default:
      if (a >= kCoilBreakpoint && a < kCoilBreakpoint + 4) return bpActive_[a - kCoilBreakpoint];
      return std::nullopt;
  }
}

std::optional<bool> SimController::readDiscrete(uint16_t a) const {
  if (a >= 0x1000 && a < 0x1008) return ((outputsLocked() >> (a - 0x1000)) & 1) != 0;
  if (a >= 0x2000 && a < 0x2008) return effectiveInput(a - 0x2000);
  if (a >= 0xE000 && a < 0xE005) return ((errorBitsLocked() >> (a - 0xE000)) & 1) != 0;
  switch (a) {
    case 0xF000: return romBusyLocked();
    case 0xF001: return run_;
    case 0x6000: return operandError_;
    case 0x6100: return debugging_;
    case 0x6101: return suspended_;
    default: return std::nullopt;
  }
}

std::optional<uint16_t> SimController::readInput(uint16_t a) const {
  auto lo = [](uint32_t v) { return static_cast<uint16_t>(v & 0xFFFF); };
  auto hi = [](uint32_t v) { return static_cast<uint16_t>(v >> 16); };
  uint32_t speed = static_cast<uint32_t>(std::lround(motor_.speed()));
  auto opValue = static_cast<uint32_t>(operandValueOut_);
  switch (a) {
    case 0x5037: return motor_.statusBits();
    case 0x5047: return lo(speed);
    case 0x5048: return hi(speed);
    case 0x6002: return lo(opValue);
    case 0x6003: return hi(opValue);
    case 0x6004: return operandSignalOut_;
    case 0x6100: return static_cast<uint16_t>(pc_);
    case 0x8001: return lo(opts_.hwValue);
    case 0x8002: return hi(opts_.hwValue);
    case 0x8003: return lo(fw_);
    case 0x8004: return hi(fw_);
    case 0x8005: return lo(opts_.bootloaderValue);
    case 0x8006: return hi(opts_.bootloaderValue);
    case 0x8007: return lo(info_.regMapVersion);
    case 0x8008: return hi(info_.regMapVersion);
    case 0x8009: return info_.cmdListVersion;
    case 0x800A: return info_.operandListVersion;
    case 0xE002: return romCode_;
    case 0xE003: return modbusCode_;
    case 0xE004: return userCode_;
    case 0xE084: return errorLine_;
    default: return std::nullopt;
  }
}

std::optional<uint16_t> SimController::readHolding(uint16_t a) const {
  if (a == kLinesQty) return linesCopied_;
  if (a >= kWindow && a < kWindow + kWindowRegs) return window_[a - kWindow];
  if (a == kEmergencyDecel + 0 || a == kEmergencyDecel + 1) {
    if (!info_.hasEmergencyDecel) return std::nullopt;
  }
  auto it = holding_.find(a);
  if (it == holding_.end()) return std::nullopt;
  const Param& p = params_[it->second.param];
  auto v = static_cast<uint32_t>(static_cast<uint64_t>(p.address == kAbsPos ? motor_.position() : p.value));
  return static_cast<uint16_t>(it->second.word == 0 ? (v & 0xFFFF) : (v >> 16));
}

// ---------------------------------------------------------------------------------------------
// Writes

uint8_t SimController::checkCoil(uint16_t a, bool on) const {
  switch (a) {
    case kCoilApply: case kCoilTorque: case kCoilHardStop: case kCoilHardHiz: case kCoilSlowStop:
    case kCoilSlowHiz: case kCoilOperandRead: case kCoilOperandEdit: case kCoilCancelValue:
    case kCoilCancelSignal:
      return on ? 0 : kIllegalValue;  // action coils only take "on"
    case kCoilDir: case kCoilOperandSize: case kCoilDebug: case kCoilSuspend: case kCoilSingleStep:
    case kCoilRtu: case kCoilClearErrors: case kCoilStore: case kCoilBeginWrite: case kCoilWriteMode:
    case kCoilService: case kCoilPacket:
      return 0;
    default:
      if (a >= kCoilBreakpoint && a < kCoilBreakpoint + 4) return 0;
      return kIllegalAddress;  // unmapped or read-only
  }
}

void SimController::writeCoil(uint16_t a, bool on) {
  switch (a) {
    case kCoilDir: param(kDir)->value = on ? 1 : 0; break;
    case kCoilApply: applyMotion(); break;
    case kCoilTorque: motor_.energize(); break;
    case kCoilHardStop: motor_.hardStop(); break;
    case kCoilHardHiz: motor_.hardHiz(); break;
    case kCoilSlowStop: motor_.slowStop(); break;
    case kCoilSlowHiz: motor_.slowHiz(); break;
    case kCoilOperandRead: operandRead(); break;
    case kCoilOperandEdit: operandEdit(); break;
    case kCoilOperandSize: operandSize32_ = on; break;
    case kCoilCancelValue: operandCancel(true); break;
    case kCoilCancelSignal: operandCancel(false); break;
    case kCoilDebug:
      debugging_ = on;
      if (!on) suspended_ = singleStep_ = false;
      break;
    case kCoilSuspend:
      if (!debugging_) break;
      if (on) {
        suspended_ = true;
      } else if (singleStep_) {
        // one step: the line at the program counter executes, then execution holds again
        if (run_) stepLine();
        suspended_ = true;
      } else if (suspended_) {
        suspended_ = false;
        skipBreakpoint_ = true;  // resuming from a breakpoint executes that line first
      }
      break;
    case kCoilSingleStep: singleStep_ = on; break;
    case kCoilRtu: rtu_ = on; break;
    case kCoilClearErrors:
      if (on) {
        romErr_ = modbusErr_ = userErr_ = false;
        romCode_ = modbusCode_ = userCode_ = errorLine_ = 0;
      }
      break;
    case kCoilStore: if (on) storeLine(); break;
    case kCoilBeginWrite: if (on) beginProgramWrite(); break;
    case kCoilWriteMode: progWriteMode_ = on; break;
    case kCoilService: progService_ = on; break;
    case kCoilPacket: if (on) copyPacket(); break;
    default:
      if (a >= kCoilBreakpoint && a < kCoilBreakpoint + 4) bpActive_[a - kCoilBreakpoint] = on;
      break;
  }
}

uint8_t SimController::checkHolding(uint16_t start, const std::vector<uint16_t>& words) const {
  // Every register must be mapped and writable, and 32-bit values are written whole.
  size_t i = 0;
  while (i < words.size()) {
    auto a = static_cast<uint16_t>(start + i);
    if ((a == kEmergencyDecel || a == kEmergencyDecel + 1) && !info_.hasEmergencyDecel) return kIllegalAddress;
    auto it = holding_.find(a);
    if (it == holding_.end()) return kIllegalAddress;
    const Param& p = params_[it->second.param];
    if (!p.writable) return kIllegalAddress;
    if (p.words == 2 && !p.splittable) {
      if (it->second.word != 0 || i + 1 >= words.size()) return kIllegalAddress;
      int32_t v = ToInt32(static_cast<int64_t>(words[i]) | static_cast<int64_t>(words[i + 1]) << 16);
      if (v < p.minValue || v > p.maxValue) return kIllegalValue;
      i += 2;
      continue;
    }
    if (p.words == 1 && (words[i] < p.minValue || words[i] > p.maxValue)) return kIllegalValue;
    ++i;
  }
  return 0;
}

void SimController::writeHolding(uint16_t start, const std::vector<uint16_t>& words) {
  size_t i = 0;
  while (i < words.size()) {
    auto a = static_cast<uint16_t>(start + i);
    const HoldingSlot slot = holding_.at(a);
    Param& p = params_[slot.param];
    if (p.words == 2 && !p.splittable) {
      p.value = ToInt32(static_cast<int64_t>(words[i]) | static_cast<int64_t>(words[i + 1]) << 16);
      i += 2;
    } else if (p.words == 2) {
      auto v = static_cast<uint32_t>(static_cast<uint64_t>(p.value));
      // A lone low word is the whole value (clients write it with one register); a stale high
      // word must not leak into it. The high word, written next, completes a 32-bit value.
      v = slot.word == 0 ? words[i] : ((v & 0xFFFFu) | static_cast<uint32_t>(words[i]) << 16);
      p.value = static_cast<int32_t>(v);
      ++i;
    } else {
      p.value = words[i];
      ++i;
    }
    if (a >= kWindow && a < kWindow + kWindowRegs) window_[a - kWindow] = words[i - 1];
    afterParamWrite(p.address);
  }
}

void SimController::afterParamWrite(uint16_t address) {
  switch (address) {
    case kAbsPos: motor_.setPosition(ToInt32(paramValue(kAbsPos))); break;
    case kSlaveIdReg: pendingId_ = static_cast<uint8_t>(paramValue(kSlaveIdReg)); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Motion

void SimController::applyMotion() {
  if (!run_) {
    ++stats_.refusedMotion;
    return;
  }
  const int64_t cmd = paramValue(kCmd);
  const int dir = paramValue(kDir) != 0 ? 1 : -1;
  const int32_t target = ToInt32(paramValue(kTargetPos));
  const int32_t pos = motor_.position();
  switch (cmd) {
    case 0: motor_.startRun(dir); break;
    case 1: {
      int64_t t = target;
      motor_.startMove(t < 0 ? -dir : dir, static_cast<double>(t < 0 ? -t : t));
      break;
    }
    case 2:
    case 4: {
      int64_t delta = (cmd == 2 ? static_cast<int64_t>(target) : 0) - pos;
      motor_.startMove(delta < 0 ? -1 : 1, static_cast<double>(delta < 0 ? -delta : delta));
      break;
    }
    case 3: {
      // the position counter wraps, so a target behind is reached the long way round
      uint32_t dist = dir > 0 ? static_cast<uint32_t>(target) - static_cast<uint32_t>(pos)
                              : static_cast<uint32_t>(pos) - static_cast<uint32_t>(target);
      motor_.startMove(dir, static_cast<double>(dist));
      break;
    }
    default: {
      int in = static_cast<int>(paramValue(kSwInput));
      motor_.startGoUntil(dir, static_cast<int>(cmd), effectiveInput(in));
      break;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Program memory

bool SimController::romBusy() const {
  std::lock_guard lock(mu_);
  return romBusyLocked();
}

bool SimController::romBusyLocked() const { return clock_->nowUs() < busyUntilUs_; }

void SimController::romFailure(uint16_t code) {
  ++stats_.storeFailures;
  romErr_ = true;
  romCode_ = code;
}

void SimController::beginProgramWrite() {
  if (run_ || !progWriteMode_ || romBusyLocked()) {
    romFailure(progService_ ? 4 : 3);
    return;
  }
  selectedProgram().lines.clear();
  // A fresh program makes the old program's faults moot; the store checks must start clean.
  romErr_ = userErr_ = false;
  romCode_ = userCode_ = errorLine_ = 0;
  if (!progService_) pc_ = 0;
  busyUntilUs_ = clock_->nowUs() + opts_.romBusyUs;
}

void SimController::storeLine() {
  Program& prog = selectedProgram();
  const auto line = static_cast<int>(paramValue(kLineNumber));
  if (run_ || !progWriteMode_ || romBusyLocked() || line >= prog.capacity) {
    romFailure(progService_ ? 6 : 5);
    return;
  }
  UploadRecord rec{};
  for (int i = 0; i < kRecordRegs; ++i) {
    auto w = static_cast<uint16_t>(paramValue(static_cast<uint16_t>(kRecord + i)));
    rec[static_cast<size_t>(2 * i)] = static_cast<uint8_t>(w >> 8);
    rec[static_cast<size_t>(2 * i + 1)] = static_cast<uint8_t>(w & 0xFF);
  }
  if (prog.lines.size() <= static_cast<size_t>(line)) prog.lines.resize(static_cast<size_t>(line) + 1);
  prog.lines[static_cast<size_t>(line)] = rec;
  busyUntilUs_ = clock_->nowUs() + opts_.romBusyUs;
}

void SimController::copyPacket() {
  const Program& prog = programs_[progService_ ? 1 : 0];
  const int64_t first = paramValue(kLineNumber);
  const int64_t wanted = std::min<int64_t>(paramValue(kLinesQty), kLinesPerPacket);
  const int64_t avail = static_cast<int64_t>(prog.lines.size()) - first;
  const int64_t n = std::clamp<int64_t>(avail, 0, wanted);
  window_.fill(0);
  for (int64_t k = 0; k < n; ++k) {
    ReadBackRecord rb = ToReadBack(prog.lines[static_cast<size_t>(first + k)]);
    for (int r = 0; r < kReadBackRegs; ++r)
      window_[static_cast<size_t>(k * kReadBackRegs + r)] =
          static_cast<uint16_t>(rb[static_cast<size_t>(2 * r)] << 8 | rb[static_cast<size_t>(2 * r + 1)]);
  }
  linesCopied_ = static_cast<uint16_t>(n);
  busyUntilUs_ = clock_->nowUs() + opts_.romBusyUs;
}

// ---------------------------------------------------------------------------------------------
// Debug operands

bool SimController::operandSelection(char& letter, int& number, bool& is32) const {
  letter = static_cast<char>(paramValue(kOperandType) & 0xFF);
  number = static_cast<int>(paramValue(kOperandIndex));
  is32 = operandSize32_;
  int max = MaxOperandNumber(letter);
  if (max < 0 || number > max) return false;
  if (is32 && (letter != 'D' || number + 1 > max)) return false;  // only D pairs are 32-bit
  return true;
}

OperandState SimController::operandLocked(char letter, int number, bool is32) const {
  OperandState s;
  if ((letter == 'X' || letter == 'Y') && number < 8) {
    const auto& forced = letter == 'X' ? forcedInputs_ : forcedOutputs_;
    const auto& f = forced[static_cast<size_t>(number)];
    bool level = letter == 'X' ? effectiveInput(number) : ((outputsLocked() >> number) & 1) != 0;
    s.signal = f ? (*f ? kSignalForcedHigh : kSignalForcedLow) : (level ? kSignalHigh : kSignalLow);
    return s;
  }
  auto it = operands_.find({letter, number});
  if (it != operands_.end()) s = it->second;
  if (letter == 'D') {
    auto lo = static_cast<uint16_t>(s.value);
    if (is32) {
      auto hi = operands_.find({'D', number + 1});
      uint16_t h = hi == operands_.end() ? 0 : static_cast<uint16_t>(hi->second.value);
      s.value = static_cast<int32_t>(static_cast<uint32_t>(lo) | static_cast<uint32_t>(h) << 16);
    } else {
      s.value = static_cast<int16_t>(lo);
    }
  }
  return s;
}

void SimController::operandRead() {
  char letter;
  int number;
  bool is32;
  operandError_ = !operandSelection(letter, number, is32);
  if (operandError_) return;
  OperandState s = operandLocked(letter, number, is32);
  operandValueOut_ = IsWordLetter(letter) ? s.value : 0;
  operandSignalOut_ = IsBitLetter(letter) ? s.signal : 0;
}

void SimController::operandEdit() {
  char letter;
  int number;
  bool is32;
  operandError_ = !operandSelection(letter, number, is32);
  if (operandError_) return;
  const auto signal = static_cast<uint8_t>(paramValue(kOperandSignal));
  const auto value = ToInt32(paramValue(kOperandValue));
  if (IsBitLetter(letter) && signal != kSignalLow && signal != kSignalHigh && signal != kSignalForcedHigh &&
      signal != kSignalForcedLow) {
    operandError_ = true;
    return;
  }
  // A 16-bit operand takes the low word, read as signed for D and unsigned for the others.
  const int32_t value16 = letter == 'D' ? static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF))
                                        : static_cast<int32_t>(value & 0xFFFF);
  const bool high = signal == kSignalHigh || signal == kSignalForcedHigh;
  const bool forced = signal == kSignalForcedHigh || signal == kSignalForcedLow;
  if ((letter == 'X' || letter == 'Y') && number < 8) {
    auto& f = (letter == 'X' ? forcedInputs_ : forcedOutputs_)[static_cast<size_t>(number)];
    if (letter == 'X') {
      bool before = effectiveInput(number);
      f = forced ? std::optional<bool>(high) : std::nullopt;
      if (!forced) physicalInputs_ = static_cast<uint8_t>(high ? physicalInputs_ | (1u << number) : physicalInputs_ & ~(1u << number));
      if (effectiveInput(number) != before && paramValue(kSwInput) == number) motor_.inputChanged(!before);
    } else {
      f = forced ? std::optional<bool>(high) : std::nullopt;
      if (!forced) outputs_ = static_cast<uint8_t>(high ? outputs_ | (1u << number) : outputs_ & ~(1u << number));
    }
    return;
  }
  OperandState& s = operands_[{letter, number}];
  if (IsBitLetter(letter)) s.signal = signal;
  if (IsWordLetter(letter)) {
    s.forcedValue = true;
    if (letter == 'D' && is32) {
      s.value = static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
      OperandState& h = operands_[{'D', number + 1}];
      h.value = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) >> 16));
      h.forcedValue = true;
    } else {
      s.value = value16;
    }
  }
}

void SimController::operandCancel(bool value) {
  char letter;
  int number;
  bool is32;
  operandError_ = !operandSelection(letter, number, is32);
  if (operandError_) return;
  if (!value && (letter == 'X' || letter == 'Y') && number < 8) {
    auto& f = (letter == 'X' ? forcedInputs_ : forcedOutputs_)[static_cast<size_t>(number)];
    bool before = letter == 'X' && effectiveInput(number);
    f.reset();
    if (letter == 'X' && effectiveInput(number) != before && paramValue(kSwInput) == number)
      motor_.inputChanged(!before);
    return;
  }
  auto it = operands_.find({letter, number});
  if (it == operands_.end()) return;
  if (value) {
    it->second.forcedValue = false;
  } else if (it->second.signal == kSignalForcedHigh) {
    it->second.signal = kSignalHigh;
  } else if (it->second.signal == kSignalForcedLow) {
    it->second.signal = kSignalLow;
  }
}

// ---------------------------------------------------------------------------------------------
// API

SimStats SimController::stats() const {
  std::lock_guard lock(mu_);
  return stats_;
}

uint8_t SimController::slaveId() const {
  std::lock_guard lock(mu_);
  return slaveId_;
}

void SimController::setRun(bool run) {
  std::lock_guard lock(mu_);
  sync();
  if (run == run_) return;
  run_ = run;
  if (run) {
    pc_ = 0;  // a program starts from its first line
    progUs_ = 0;
  } else {
    motor_.slowStop();
  }
}

bool SimController::isRun() const {
  std::lock_guard lock(mu_);
  return run_;
}

void SimController::setInput(int n, bool level) {
  if (n < 0 || n > 7) return;
  std::lock_guard lock(mu_);
  sync();
  bool before = effectiveInput(n);
  physicalInputs_ = static_cast<uint8_t>(level ? physicalInputs_ | (1u << n) : physicalInputs_ & ~(1u << n));
  bool after = effectiveInput(n);
  if (after != before && paramValue(kSwInput) == n) motor_.inputChanged(after);
}

bool SimController::input(int n) const {
  if (n < 0 || n > 7) return false;
  std::lock_guard lock(mu_);
  return effectiveInput(n);
}

uint8_t SimController::inputs() const {
  std::lock_guard lock(mu_);
  uint8_t v = 0;
  for (int n = 0; n < 8; ++n)
    if (effectiveInput(n)) v = static_cast<uint8_t>(v | (1u << n));
  return v;
}

void SimController::setOutput(int n, bool level) {
  if (n < 0 || n > 7) return;
  std::lock_guard lock(mu_);
  outputs_ = static_cast<uint8_t>(level ? outputs_ | (1u << n) : outputs_ & ~(1u << n));
}

uint8_t SimController::outputs() const {
  std::lock_guard lock(mu_);
  return outputsLocked();
}

uint8_t SimController::outputsLocked() const {
  uint8_t v = outputs_;
  for (int n = 0; n < 8; ++n) {
    const auto& f = forcedOutputs_[static_cast<size_t>(n)];
    if (f) v = static_cast<uint8_t>(*f ? v | (1u << n) : v & ~(1u << n));
  }
  return v;
}

void SimController::raiseError(ErrorGroup g, uint16_t code, uint16_t line) {
  std::lock_guard lock(mu_);
  switch (g) {
    case ErrorGroup::Rom: romErr_ = true; romCode_ = code; break;
    case ErrorGroup::Modbus: modbusErr_ = true; modbusCode_ = code; break;
    case ErrorGroup::UserProgram: userErr_ = true; userCode_ = code; errorLine_ = line; break;
  }
}

void SimController::setBatteryLow(bool low) {
  std::lock_guard lock(mu_);
  batteryLow_ = low;
}

void SimController::clearErrors() {
  std::lock_guard lock(mu_);
  writeCoil(kCoilClearErrors, true);
}

uint8_t SimController::errorBits() const {
  std::lock_guard lock(mu_);
  return errorBitsLocked();
}

uint8_t SimController::errorBitsLocked() const {
  uint8_t b = static_cast<uint8_t>((batteryLow_ ? 2 : 0) | (romErr_ ? 4 : 0) | (modbusErr_ ? 8 : 0) | (userErr_ ? 16 : 0));
  return static_cast<uint8_t>(b | (b ? 1 : 0));
}

uint16_t SimController::errorCode(ErrorGroup g) const {
  std::lock_guard lock(mu_);
  return g == ErrorGroup::Rom ? romCode_ : g == ErrorGroup::Modbus ? modbusCode_ : userCode_;
}

uint16_t SimController::errorLine() const {
  std::lock_guard lock(mu_);
  return errorLine_;
}

void SimController::setSupplyVoltageFault(bool fault) {
  std::lock_guard lock(mu_);
  supplyFault_ = fault;
}

void SimController::setInternalVoltageFault(bool fault) {
  std::lock_guard lock(mu_);
  internalFault_ = fault;
}

void SimController::setDriverErrorCode(uint16_t code) {
  std::lock_guard lock(mu_);
  param(kErrorCode)->value = code;
}

void SimController::setFirmware(uint32_t fw) {
  std::lock_guard lock(mu_);
  fw_ = fw;
}

std::vector<UploadRecord> SimController::program(ProgramType t) const {
  std::lock_guard lock(mu_);
  return programs_[static_cast<size_t>(t)].lines;
}

void SimController::loadProgram(ProgramType t, std::vector<UploadRecord> lines) {
  std::lock_guard lock(mu_);
  Program& p = programs_[static_cast<size_t>(t)];
  if (lines.size() > static_cast<size_t>(p.capacity)) lines.resize(static_cast<size_t>(p.capacity));
  p.lines = std::move(lines);
  if (t == ProgramType::Main) pc_ = 0;
}

bool SimController::debugging() const {
  std::lock_guard lock(mu_);
  return debugging_;
}

bool SimController::suspended() const {
  std::lock_guard lock(mu_);
  const_cast<SimController*>(this)->sync();
  return suspended_;
}

int SimController::currentIndex() const {
  std::lock_guard lock(mu_);
  const_cast<SimController*>(this)->sync();
  return pc_;
}

SimController::Breakpoint SimController::breakpoint(int i) const {
  if (i < 0 || i > 3) return {};
  std::lock_guard lock(mu_);
  return {static_cast<uint16_t>(paramValue(static_cast<uint16_t>(kBreakpointLine + i))), bpActive_[static_cast<size_t>(i)]};
}

void SimController::setOperand(char letter, int number, int32_t value, uint8_t signal) {
  std::lock_guard lock(mu_);
  sync();
  if ((letter == 'X' || letter == 'Y') && number >= 0 && number < 8) {
    bool high = signal == kSignalHigh || signal == kSignalForcedHigh;
    if (letter == 'X') {
      bool before = effectiveInput(number);
      physicalInputs_ = static_cast<uint8_t>(high ? physicalInputs_ | (1u << number) : physicalInputs_ & ~(1u << number));
      if (effectiveInput(number) != before && paramValue(kSwInput) == number) motor_.inputChanged(!before);
    } else {
      outputs_ = static_cast<uint8_t>(high ? outputs_ | (1u << number) : outputs_ & ~(1u << number));
    }
    return;
  }
  OperandState& s = operands_[{letter, number}];
  s.value = value;
  s.signal = signal;
}

OperandState SimController::operand(char letter, int number) const {
  std::lock_guard lock(mu_);
  return operandLocked(letter, number, false);
}

int32_t SimController::position() const {
  std::lock_guard lock(mu_);
  const_cast<SimController*>(this)->sync();
  return motor_.position();
}

uint32_t SimController::currentSpeed() const {
  std::lock_guard lock(mu_);
  const_cast<SimController*>(this)->sync();
  return static_cast<uint32_t>(std::lround(motor_.speed()));
}

uint8_t SimController::motorStatus() const {
  std::lock_guard lock(mu_);
  const_cast<SimController*>(this)->sync();
  return motor_.statusBits();
}

int64_t SimController::holdingValue(uint16_t address) const {
  std::lock_guard lock(mu_);
  return paramValue(address);
}

bool SimController::rtuMode() const {
  std::lock_guard lock(mu_);
  return rtu_;
}

int64_t SimController::baudRate() const {
  std::lock_guard lock(mu_);
  return paramValue(kBaud);
}

int64_t SimController::parity() const {
  std::lock_guard lock(mu_);
  return paramValue(kParity);
}

std::string SimController::statusText() const {
  std::lock_guard lock(mu_);
  const_cast<SimController*>(this)->sync();
  char buf[512];
  uint8_t in = 0;
  for (int n = 0; n < 8; ++n)
    if (effectiveInput(n)) in = static_cast<uint8_t>(in | (1u << n));
  std::snprintf(buf, sizeof buf,
                "model=\"%s\" id=%u %s inputs=0x%02X outputs=0x%02X errors=0x%02X rom=%u modbus=%u user=0x%X "
                "line=%u position=%d speed=%ld motor=0x%02X debug=%s suspended=%s index=%d main=%zu service=%zu",
                info_.name, slaveId_, run_ ? "RUN" : "STOP", in, outputsLocked(), errorBitsLocked(), romCode_, modbusCode_,
                userCode_, errorLine_, motor_.position(), std::lround(motor_.speed()), motor_.statusBits(),
                debugging_ ? "on" : "off", suspended_ ? "yes" : "no", pc_, programs_[0].lines.size(),
                programs_[1].lines.size());
  return buf;
}

}  // namespace ferrolad::sim
