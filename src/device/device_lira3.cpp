// "KVDX-Lira ver.3": Lira ver.2 plus the emergency deceleration and the supply voltage state.
#include "device/device_tables.h"

namespace ferrolad::device_tables {

TDeviceDescription BuildLira3Description(const TDeviceDescription& lira2) {
  TDeviceDescription d = lira2;
  d.ModelName = std::string(kModelLira3);
  d.RegMapVersion = 0x30002;
  d.CmdListVersion = 2;
  d.OperandListVersion = 2;
  d.Fields.push_back(Row(4, 385, 32, 16, 0x5048, 2, 100, "SET_EMERGENCY_DECEL", "EMERGENCY_DECEL",
                         "Emergency Deceleration", 0, 2147483647, 512, "", ""));
  d.Fields.push_back(Row(23, 0, 1, 1, 0x5030, 1, 0, "GET_SUPPLY_VOLTAGE_STATE",
                         "GET_SUPPLY_VOLTAGE_STATE", "Get power supply voltage state", 0, 1, 7, "",
                         ""));
  AppendStatusPolls(d, {"GET_SUPPLY_VOLTAGE_STATE"});
  FinishDescription(d);
  return d;
}

}  // namespace ferrolad::device_tables
