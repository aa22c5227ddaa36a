// Hand-built Modbus ASCII frames for the simulator's tests: a tiny master written here on purpose,
// so the tests do not lean on either codec under test.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_controller.h"

namespace ferrolad::sim::test {

inline std::string Frame(const std::vector<uint8_t>& adu) {
  static const char* hex = "0123456789ABCDEF";
  std::string s = ":";
  unsigned sum = 0;
  for (uint8_t b : adu) {
    s += hex[b >> 4];
    s += hex[b & 15];
    sum += b;
  }
  uint8_t lrc = static_cast<uint8_t>(0x100 - (sum & 0xFF));
  s += hex[lrc >> 4];
  s += hex[lrc & 15];
  return s + "\r\n";
}

// Decodes an answer frame; empty when it is not a well-formed frame with a correct LRC.
inline std::optional<std::vector<uint8_t>> Unframe(const std::string& f) {
  if (f.size() < 9 || f[0] != ':' || f.substr(f.size() - 2) != "\r\n" || f.size() % 2 == 0) return std::nullopt;
  std::vector<uint8_t> b;
  for (size_t i = 1; i + 2 < f.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoi(f.substr(i, 2), nullptr, 16)));
  unsigned sum = 0;
  for (uint8_t x : b) sum += x;
  if ((sum & 0xFF) != 0) return std::nullopt;
  b.pop_back();
  return b;
}

inline std::vector<uint8_t> ReadReq(uint8_t id, uint8_t fc, uint16_t addr, uint16_t qty) {
  return {id, fc, uint8_t(addr >> 8), uint8_t(addr), uint8_t(qty >> 8), uint8_t(qty)};
}
inline std::vector<uint8_t> CoilReq(uint8_t id, uint16_t addr, bool on) {
  return {id, 5, uint8_t(addr >> 8), uint8_t(addr), uint8_t(on ? 0xFF : 0), 0};
}
inline std::vector<uint8_t> RegReq(uint8_t id, uint16_t addr, uint16_t v) {
  return {id, 6, uint8_t(addr >> 8), uint8_t(addr), uint8_t(v >> 8), uint8_t(v)};
}
inline std::vector<uint8_t> RegsReq(uint8_t id, uint16_t addr, const std::vector<uint16_t>& v) {
  std::vector<uint8_t> r{id, 16, uint8_t(addr >> 8), uint8_t(addr), uint8_t(v.size() >> 8), uint8_t(v.size()),
                         uint8_t(v.size() * 2)};
  for (uint16_t w : v) {
    r.push_back(uint8_t(w >> 8));
    r.push_back(uint8_t(w));
  }
  return r;
}
// 32-bit value as two registers, low word first.
inline std::vector<uint16_t> Words32(int64_t v) {
  auto u = static_cast<uint32_t>(v);
  return {uint16_t(u & 0xFFFF), uint16_t(u >> 16)};
}

// A master talking to one controller through whole frames.
struct Master {
  SimController& c;
  uint8_t id = 1;

  std::optional<std::vector<uint8_t>> ask(const std::vector<uint8_t>& adu) {
    auto a = c.handleFrame(Frame(adu));
    if (!a) return std::nullopt;
    return Unframe(*a);
  }
  // Exception code of the answer, 0 for a normal answer, -1 for no (valid) answer.
  int exceptionOf(const std::vector<uint8_t>& adu) {
    auto a = ask(adu);
    if (!a || a->size() < 2) return -1;
    return ((*a)[1] & 0x80) ? (*a)[2] : 0;
  }
  std::vector<uint16_t> regs(uint8_t fc, uint16_t addr, uint16_t n) {
    auto a = ask(ReadReq(id, fc, addr, n));
    std::vector<uint16_t> v;
    if (!a || (*a)[1] != fc || (*a)[2] != n * 2 || a->size() != 3u + n * 2) return v;
    for (uint16_t i = 0; i < n; ++i) v.push_back(uint16_t((*a)[3 + 2 * i] << 8 | (*a)[4 + 2 * i]));
    return v;
  }
  int64_t reg(uint8_t fc, uint16_t addr) {
    auto v = regs(fc, addr, 1);
    return v.empty() ? -1 : v[0];
  }
  int64_t reg32(uint8_t fc, uint16_t addr) {
    auto v = regs(fc, addr, 2);
    return v.size() != 2 ? INT64_MIN : static_cast<int32_t>(uint32_t(v[0]) | uint32_t(v[1]) << 16);
  }
  // Bits as one integer, bit 0 = first item; -1 on failure.
  int64_t bits(uint8_t fc, uint16_t addr, uint16_t n) {
    auto a = ask(ReadReq(id, fc, addr, n));
    if (!a || (*a)[1] != fc || (*a)[2] != (n + 7) / 8) return -1;
    int64_t v = 0;
    for (size_t i = 0; i < (*a)[2]; ++i) v |= int64_t((*a)[3 + i]) << (8 * i);
    return v;
  }
  bool echoes(const std::vector<uint8_t>& adu) {
    auto a = ask(adu);
    if (!a) return false;
    if (adu[1] == 5 || adu[1] == 6) return *a == adu;
    return a->size() == 6 && std::equal(a->begin(), a->end(), adu.begin());
  }
  bool coil(uint16_t addr, bool on) { return echoes(CoilReq(id, addr, on)); }
  bool setReg(uint16_t addr, uint16_t v) { return echoes(RegReq(id, addr, v)); }
  bool setRegs(uint16_t addr, const std::vector<uint16_t>& v) { return echoes(RegsReq(id, addr, v)); }
};

}  // namespace ferrolad::sim::test
