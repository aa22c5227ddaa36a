// The device side of a connected controller, wired to the request engine: every good read answer
// goes to the status model, which hands identification, breakpoint and program-reading answers on;
// the identification chain and the program reading run from here. The window and the command-line
// tool both use it; tests drive it against the simulator.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/modbus.h"
#include "core/common_datas.h"
#include "core/main_thread.h"
#include "device/ident_chain.h"
#include "device/packet_read_thread.h"
#include "device/program_reading.h"
#include "device/status_model.h"

namespace ferrolad {

class TControllerLink {
 public:
  TControllerLink(TModBus& modbus, MainThread& main, const TCommonDatas& settings);
  ~TControllerLink();  // stops a running reading
  TControllerLink(const TControllerLink&) = delete;
  TControllerLink& operator=(const TControllerLink&) = delete;

  TStatusModel Status;
  TIdentificationChain Ident;
  TFastReadingProcess Reading;
  TProgramReadingView Program;
  std::vector<std::string> Messages;  // message boxes shown, in order

  // Window thread. Closes the port (default); the window puts its own disconnect here.
  std::function<void()> Disconnect;
  // Called (window thread) after an answer was handled, with the answer.
  std::function<void(const TReadResponse&)> AnswerHandled;

  // Installs the engine hooks: response handling, sector flag, chain steps. Window thread, once.
  void Bind();

  // The current answer of the engine as the status model takes it (window thread).
  TReadResponse CurrentResponse() const;

  bool StartIdentification() { return Ident.Start(); }
  // Reading is supported by the firmware read at identification.
  bool ReadingSupported() const { return Ident.Device.ReadingSupported; }
  // Starts the reading thread for the current model; false when one runs or no model is known.
  bool StartReading(TProgramType type, uint8_t slaveId);
  bool ReadingRunning() const;
  void StopReading();

 private:
  void ShowMessage(const std::string& text);
  TModBus& modbus_;
  MainThread& main_;
  const TCommonDatas& settings_;
  std::unique_ptr<TPacketReadThread> reader_;
  bool readerEnded_ = true;
};

}  // namespace ferrolad
