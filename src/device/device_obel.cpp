// "KVDX-Obel": the Tarn table with currents of 2800..8000 mA.
#include "device/device_tables.h"

namespace ferrolad::device_tables {

TDeviceDescription BuildObelDescription(const TDeviceDescription& tarn) {
  TDeviceDescription d = tarn;
  d.ModelName = std::string(kModelObel);
  d.RegMapVersion = 0x50002;
  d.CmdListVersion = 2;
  d.OperandListVersion = 2;
  SetRange(d, kCurrentRows, 2800, 8000);
  FinishDescription(d);
  return d;
}

}  // namespace ferrolad::device_tables
