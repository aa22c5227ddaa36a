#include "sim/program_record.h"

namespace ferrolad::sim {

ReadBackRecord ToReadBack(const UploadRecord& rec) {
  ReadBackRecord out{};
  out[0] = rec[0];
  out[1] = rec[1];
  for (int op = 0; op < 4; ++op) {
    const uint8_t* in = rec.data() + 2 + op * 10;
    uint8_t* o = out.data() + 2 + op * 8;
    o[0] = in[2];  // value bits 8-15
    o[1] = in[3];  // value bits 0-7
    o[2] = in[4];  // value bits 24-31
    o[3] = in[5];  // value bits 16-23
    o[4] = in[8];  // index number, high byte first
    o[5] = in[9];
    o[6] = in[7];  // index letter
    o[7] = in[1];  // type letter
  }
  return out;
}

UploadRecord FromReadBack(const ReadBackRecord& rec) {
  UploadRecord out{};
  out[0] = rec[0];
  out[1] = rec[1];
  for (int op = 0; op < 4; ++op) {
    const uint8_t* in = rec.data() + 2 + op * 8;
    uint8_t* o = out.data() + 2 + op * 10;
    o[1] = in[7];
    o[2] = in[0];
    o[3] = in[1];
    o[4] = in[2];
    o[5] = in[3];
    o[7] = in[6];
    o[8] = in[4];
    o[9] = in[5];
  }
  return out;
}

}  // namespace ferrolad::sim
