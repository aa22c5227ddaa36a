// "KVDX-Tarn": Lira ver.3 plus the internal voltage state, with currents of 1000..4200 mA.
#include "device/device_tables.h"

namespace ferrolad::device_tables {

TDeviceDescription BuildTarnDescription(const TDeviceDescription& lira3) {
  TDeviceDescription d = lira3;
  d.ModelName = std::string(kModelTarn);
  d.RegMapVersion = 0x40002;
  d.CmdListVersion = 2;
  d.OperandListVersion = 2;
  d.Fields.push_back(Row(23, 0, 1, 1, 0x502F, 1, 0, "GET_INTERNAL_VOLTAGE_STATE",
                         "GET_INTERNAL_VOLTAGE_STATE", "Get internal voltage state", 0, 1, 7, "",
                         ""));
  SetRange(d, kCurrentRows, 1000, 4200);
  // Lira ver.3 already polls the supply voltage; Tarn adds the internal one.
  AppendStatusPolls(d, {"GET_INTERNAL_VOLTAGE_STATE"});
  FinishDescription(d);
  return d;
}

}  // namespace ferrolad::device_tables
