#include "ladder/device_registers.h"

namespace ferrolad {

namespace {
TLadderRegister FromRow(const TFieldDescr& row) {
  TLadderRegister r;
  r.Found = row.Found();
  if (!r.Found) return r;
  r.Caption = row.Caption;
  r.DRegister = row.DRegister;
  r.BitWidth = row.BitWidth;
  r.MinValue = row.MinValue;
  r.MaxValue = row.MaxValue;
  return r;
}
}  // namespace

std::shared_ptr<const TDeviceDescription> TDeviceLadderRegisters::Model() const {
  return fixed_ ? fixed_ : CurrentDevice();
}

TLadderRegister TDeviceLadderRegisters::FindByDRegister(const std::string& operand) const {
  auto m = Model();
  if (!m) return {};
  return FromRow(ferrolad::FindByDRegister(operand, *m));
}

TLadderRegister TDeviceLadderRegisters::FindByCaption(const std::string& caption) const {
  auto m = Model();
  if (!m) return {};
  return FromRow(ferrolad::FindByCaption(caption, *m));
}

std::string TDeviceLadderRegisters::CommandRegister() const {
  auto m = Model();
  return m ? m->CommandRegister : std::string();
}

std::string TDeviceLadderRegisters::MicrostepRegister() const {
  auto m = Model();
  return m ? m->MicrostepRegister : std::string();
}

}  // namespace ferrolad
