// The few facts about the controller's register map that the ladder editor needs: which data
// register a parameter lives in, its name and width, and the two registers whose values have
// their own descriptions. The device layer answers these for the current model.
#pragma once

#include <cstdint>
#include <string>

namespace ferrolad {

struct TLadderRegister {
  bool Found = false;      // a real command-table row (not the empty row)
  std::string Caption;     // the register's name, e.g. "ACCEL"
  int32_t DRegister = 0;   // n of Dn
  int32_t BitWidth = 0;    // 32, 16, 1 or 0
  int32_t MinValue = 0;    // accepted value range
  int32_t MaxValue = 0;
};

class TLadderRegisters {
 public:
  virtual ~TLadderRegisters() = default;
  // First row whose "D" + DRegister equals the operand text ("D361"); not found for "D0".
  virtual TLadderRegister FindByDRegister(const std::string& operand) const = 0;
  // First row whose Caption equals the text ("ACCEL").
  virtual TLadderRegister FindByCaption(const std::string& caption) const = 0;
  // Operand texts of the run/move command register ("D376") and the microstep register ("D366").
  virtual std::string CommandRegister() const = 0;
  virtual std::string MicrostepRegister() const = 0;
};

}  // namespace ferrolad
