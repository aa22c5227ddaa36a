#include "cli/sim_port.h"

#include <algorithm>
#include <cctype>

namespace ferrolad {

SimPort::SimPort(sim::SimOptions options, sim::SimLinkOptions linkOptions)
    : TMemoryPort("SIM"),
      controller_(std::make_unique<sim::SimController>(options)),
      link_(std::make_unique<sim::SimLink>(*controller_, linkOptions)) {}

SimPort::~SimPort() { Close(); }  // here, while OnClose still reaches this class

bool SimPort::Transmit(const uint8_t* data, size_t size) {
  link_->write(data, size);
  return true;
}

bool SimPort::OnOpen() {
  link_->setReceiver([this](const uint8_t* d, size_t n) { Receive(d, n); });
  return true;
}

void SimPort::OnClose() { link_->setReceiver(nullptr); }

std::optional<sim::SimModel> SimPort::ParseModel(std::string name) {
  if (auto m = sim::ModelByName(name)) return m;
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  std::erase_if(name, [](char c) { return c == ' ' || c == '.' || c == '-'; });
  if (name == "lira2" || name == "lirav2" || name == "liraver2" || name == "kvdxliraver2") return sim::SimModel::LiraV2;
  if (name == "lira3" || name == "lirav3" || name == "liraver3" || name == "kvdxliraver3") return sim::SimModel::LiraV3;
  if (name == "tarn" || name == "kvdxtarn") return sim::SimModel::Tarn;
  if (name == "obel" || name == "kvdxobel") return sim::SimModel::Obel;
  return std::nullopt;
}

}  // namespace ferrolad
