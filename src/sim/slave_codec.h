// Slave-side Modbus ASCII codec of the simulator. Deliberately independent of the client codec in
// comm/, so that a framing mistake there cannot be mirrored here and go unnoticed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolad::sim {

enum class FrameStatus { Ok, Malformed, BadLrc };

// Two's complement of the byte sum.
uint8_t Lrc(const uint8_t* data, size_t n);
inline uint8_t Lrc(const std::vector<uint8_t>& v) { return Lrc(v.data(), v.size()); }

// Decodes ":" hex-pairs LRC CR LF into the bytes from the slave ID to the last data byte (LRC
// checked and removed). Requests may use either letter case; at least slave ID and function.
FrameStatus ParseAsciiFrame(std::string_view frame, std::vector<uint8_t>& adu);

// Frames bytes (slave ID … last data byte) as ":" + upper-case hex + LRC + CR LF.
std::string BuildAsciiFrame(const std::vector<uint8_t>& adu);

// Cuts complete frames out of a byte stream: a ":" starts a frame (dropping anything unfinished
// before it), LF after CR ends it. Bytes outside frames are counted and dropped.
class AsciiFrameAssembler {
 public:
  // Appends one byte; returns true when `frame` now holds a complete frame.
  bool push(char c, std::string& frame);
  uint64_t droppedBytes() const { return dropped_; }
  void reset() { buf_.clear(); inFrame_ = false; }

 private:
  static constexpr size_t kMaxFrame = 600;  // longest legal ASCII frame is 513 characters
  std::string buf_;
  bool inFrame_ = false;
  uint64_t dropped_ = 0;
};

}  // namespace ferrolad::sim
