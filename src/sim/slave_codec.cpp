#include "sim/slave_codec.h"

namespace ferrolad::sim {

uint8_t Lrc(const uint8_t* data, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return static_cast<uint8_t>(-sum);
}

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

FrameStatus ParseAsciiFrame(std::string_view frame, std::vector<uint8_t>& adu) {
  adu.clear();
  // ':' + at least slave, function and LRC (6 hex digits) + CR LF
  if (frame.size() < 9 || frame.front() != ':' || frame[frame.size() - 2] != '\r' || frame.back() != '\n')
    return FrameStatus::Malformed;
  std::string_view hex = frame.substr(1, frame.size() - 3);
  if (hex.size() % 2 != 0) return FrameStatus::Malformed;
  adu.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      adu.clear();
      return FrameStatus::Malformed;
    }
    adu.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  uint8_t lrc = adu.back();
  adu.pop_back();
  if (Lrc(adu) != lrc) {
    adu.clear();
    return FrameStatus::BadLrc;
  }
  return FrameStatus::Ok;
}

std::string BuildAsciiFrame(const std::vector<uint8_t>& adu) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(adu.size() * 2 + 5);
  out.push_back(':');
  auto put = [&](uint8_t b) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  };
  for (uint8_t b : adu) put(b);
  put(Lrc(adu));
  out += "\r\n";
  return out;
}

bool AsciiFrameAssembler::push(char c, std::string& frame) {
  if (c == ':') {
    dropped_ += buf_.size();
    buf_.assign(1, ':');
    inFrame_ = true;
    return false;
  }
  if (!inFrame_) {
    ++dropped_;
    return false;
  }
  buf_.push_back(c);
  if (c == '\n' && buf_.size() >= 2 && buf_[buf_.size() - 2] == '\r') {
    frame.swap(buf_);
    buf_.clear();
    inFrame_ = false;
    return true;
  }
  if (buf_.size() > kMaxFrame) {
    dropped_ += buf_.size();
    buf_.clear();
    inFrame_ = false;
  }
  return false;
}

}  // namespace ferrolad::sim
