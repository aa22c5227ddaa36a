#include "comm/modbus_frame.h"

namespace ferrolad {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, uint8_t b) {
  out += kHex[b >> 4];
  out += kHex[b & 0x0F];
}
}  // namespace

TBytesArray BuildRequestBytes(const TRWmbrReg& r, uint8_t slaveId, uint8_t* requestedItems) {
  if (requestedItems) *requestedItems = 0;
  TBytesArray b(6, 0);
  b[0] = slaveId;
  b[1] = r.FunctionCode;
  b[2] = static_cast<uint8_t>(r.Address >> 8);
  b[3] = static_cast<uint8_t>(r.Address & 0xFF);
  switch (r.FunctionCode) {
    case 1:
    case 2:
    case 3:
    case 4:
      b[4] = static_cast<uint8_t>(r.Count >> 8);
      b[5] = static_cast<uint8_t>(r.Count & 0xFF);
      if (requestedItems) *requestedItems = static_cast<uint8_t>(r.Count & 0xFF);
      break;
    case 5:
      if (r.Data.size() >= 2) b[4] = r.Data[1] != 0 ? 0xFF : 0x00;
      break;
    case 6:
      if (r.Data.size() >= 1) b[4] = r.Data[0];
      if (r.Data.size() >= 2) b[5] = r.Data[1];
      break;
    case 15:
    case 16: {
      TBytesArray data = r.Data;
      if (data.size() % 2 != 0) data.push_back(0);
      // A mismatched length would either run past the request or send a byte count that lies.
      const size_t need = 2u * r.Count;
      if (data.size() != need || need > 0xFF) return {};
      b[4] = static_cast<uint8_t>(r.Count >> 8);
      b[5] = static_cast<uint8_t>(r.Count & 0xFF);
      b.push_back(static_cast<uint8_t>(data.size()));
      b.insert(b.end(), data.begin(), data.end());
      break;
    }
    default:
      break;
  }
  return b;
}

uint8_t ComputeLrc(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t x : bytes) sum = static_cast<uint8_t>(sum + x);
  return static_cast<uint8_t>(-sum);
}

std::string AsciiFrame(std::span<const uint8_t> bytes) {
  if (bytes.size() < 6) return {};
  std::string frame;
  frame.reserve(2 * bytes.size() + 5);
  frame += ':';
  for (uint8_t x : bytes) AppendHex(frame, x);
  AppendHex(frame, ComputeLrc(bytes));
  frame += "\r\n";
  return frame;
}

int HexDigitValue(char c, bool upperOnly) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (!upperOnly && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<TBytesArray> ParseHexWords(std::span<const std::string> words) {
  TBytesArray out;
  for (const std::string& w : words) {
    std::string_view s = w;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 2) return std::nullopt;
    int v = 0;
    for (char c : s) {
      int d = HexDigitValue(c);
      if (d < 0) return std::nullopt;
      v = v * 16 + d;
    }
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

std::string HexText(std::span<const uint8_t> bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ' ';
    AppendHex(out, bytes[i]);
  }
  return out;
}

}  // namespace ferrolad
