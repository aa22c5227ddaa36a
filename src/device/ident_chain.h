// The identification chain after a connect, bound to the request engine: versions, then map
// versions, then the model's parameter reads, then the breakpoints shown. Runs on the window thread
// (answers arrive through the response handling).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/modbus.h"
#include "device/device_view.h"
#include "device/identification.h"
#include "device/status_model.h"

namespace ferrolad {

// Breakpoints as the controller holds them, shown at the end of the chain.
struct TBreakpointsView {
  std::array<uint16_t, 4> Lines{};
  std::array<bool, 4> Active{};
  bool Shown = false;
};

class TIdentificationChain {
 public:
  explicit TIdentificationChain(TModBus& modbus);

  TIdentificationState State;  // versions read; lblControllerVersion
  TDeviceViewModel Device;     // what applying the identified model changed
  TBreakpointsView Breakpoints;
  std::string ModelName;       // model applied by this chain, "" until then
  bool Finished = false;       // the last step has ended

  // Message box, then the disconnect that follows it (both window thread).
  std::function<void(const std::string& text)> ShowMessage;
  std::function<void()> Disconnect;
  std::function<void()> Changed;

  // Installs the engine's chain hooks (later steps, end). Once, before Start.
  void Bind();
  // Clears the versions and starts GetVersionInfo; false when the engine refused it.
  bool Start();
  bool Running() const { return modbus_.InitSequenceActive.load() != 0; }

  // Answers routed here by the status model.
  void OnIdentificationAnswer(const TReadResponse& response);
  void OnBreakpointAnswer(const TReadResponse& response);

  // The request lists of the steps.
  static TRegistersArray VersionInfoList();
  static TRegistersArray MapsInfoList();
  static TRegistersArray InitialInformationList();  // the current model's ParameterReads

 private:
  void Notify();
  TModBus& modbus_;
  std::array<uint16_t, 4> pendingLines_{};
  std::array<bool, 4> pendingActive_{};
};

}  // namespace ferrolad
