// Register lookups of the ladder editor answered from a controller model's command table.
#pragma once

#include <memory>

#include "device/device_description.h"
#include "ladder/ladder_registers.h"

namespace ferrolad {

class TDeviceLadderRegisters : public TLadderRegisters {
 public:
  // Follows the current model (CurrentDevice()) at every lookup.
  TDeviceLadderRegisters() = default;
  // A fixed model (kept alive by the shared pointer).
  explicit TDeviceLadderRegisters(std::shared_ptr<const TDeviceDescription> description)
      : fixed_(std::move(description)) {}

  TLadderRegister FindByDRegister(const std::string& operand) const override;
  TLadderRegister FindByCaption(const std::string& caption) const override;
  std::string CommandRegister() const override;
  std::string MicrostepRegister() const override;

 private:
  std::shared_ptr<const TDeviceDescription> Model() const;
  std::shared_ptr<const TDeviceDescription> fixed_;
};

}  // namespace ferrolad
