// Modbus ASCII requests at the byte level: request bytes, LRC, the ":..LRC\r\n" frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/rw_request.h"

namespace ferrolad {

// The request bytes (address byte through the last data byte, no checksum) of one request record.
// Reads (1-4) and single writes (5, 6) give 6 bytes; 15 and 16 give 7 + 2 x Count bytes, and are refused
// (empty result) when Data, after padding an odd length with one 0 byte, does not hold exactly
// 2 x Count bytes or does not fit the one-byte byte count. Unknown codes give 6 bytes with a zero tail.
// `requestedItems` receives the low byte of Count for reads, 0 otherwise.
TBytesArray BuildRequestBytes(const TRWmbrReg& request, uint8_t slaveId, uint8_t* requestedItems = nullptr);

// Two's complement of the byte sum modulo 256.
uint8_t ComputeLrc(std::span<const uint8_t> bytes);

// ":" + two upper-case hex digits per byte + LRC + CR LF. Empty (refused) for fewer than 6 bytes.
std::string AsciiFrame(std::span<const uint8_t> bytes);

// Value of one hex digit, or -1. Lower-case digits count only when `upperOnly` is false.
int HexDigitValue(char c, bool upperOnly = false);

// Parses words such as "01", "0x3A" or "a7" (one byte each) into bytes; nothing when a word is not a
// byte in hexadecimal.
std::optional<TBytesArray> ParseHexWords(std::span<const std::string> words);

// "01 03 50" style text of bytes.
std::string HexText(std::span<const uint8_t> bytes);

}  // namespace ferrolad
