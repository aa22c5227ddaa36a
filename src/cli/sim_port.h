// The built-in port "SIM": a simulated controller in this process, reached through the same port
// interface and receive thread as a serial device. Lives here because it needs both the port layer
// and the simulator, which do not know each other.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "comm/com_port.h"
#include "sim/sim_link.h"

namespace ferrolad {

class SimPort final : public TMemoryPort {
 public:
  SimPort(sim::SimOptions options = {}, sim::SimLinkOptions linkOptions = {});
  ~SimPort() override;

  sim::SimController& Controller() { return *controller_; }
  sim::SimLink& Link() { return *link_; }

  // "lira2", "KVDX-Tarn", "obel" ...: a model name as a user would type it.
  static std::optional<sim::SimModel> ParseModel(std::string name);

 protected:
  bool Transmit(const uint8_t* data, size_t size) override;
  bool OnOpen() override;
  void OnClose() override;

 private:
  std::unique_ptr<sim::SimController> controller_;
  std::unique_ptr<sim::SimLink> link_;
};

}  // namespace ferrolad
