// Connecting and disconnecting, as the main window does it, on the communication view of TModBus:
// the port box and its refresh, the connect button, the ID field, and the identification start.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/modbus.h"
#include "comm/port_discovery.h"

namespace ferrolad {

class TConnection {
 public:
  TConnection(TModBus& modbus, MainThread& main, const TCommonDatas& settings);
  ~TConnection();  // stops the scanner
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  // The port object for a name of the port box. Default: a termios port for paths; "SIM" needs a
  // factory from a layer that knows the simulator.
  std::function<std::shared_ptr<TPort>(const std::string& name)> PortFactory;
  // Candidates and the test open used by the refreshes (defaults: device patterns + extras + SIM,
  // TComPort::Exists).
  std::function<std::vector<std::string>()> ListPorts;
  std::function<bool(const std::string&)> ProbePort;
  std::vector<std::string> ExtraPorts;  // paths the user added

  // Hooks into the rest of the window (all optional, window thread).
  std::function<void()> ResetStatusIndicators;
  std::function<bool()> LogVisible;
  std::function<void(bool visible)> SetLogVisible;
  std::function<void()> ForgetVersions;  // hardware, firmware, boot-loader := 0, model state forgotten
  std::function<void()> StartIdentification;  // the device layer starts GetVersionInfo
  std::function<void()> EndDebugging;
  std::function<void()> ResetDebugger;
  std::function<void()> StopFastReading;
  std::function<void(const std::string& text)> ShowMessage;

  // Handlers.
  void btnConnectComPortClick();  // connects, or disconnects while connected
  void btnClosePortClick();
  void btnRenewComListClick();    // manual refresh
  void EditIDExit();              // EditID := the up-down position (1..255)
  void TimerComPortsScanTimer() {}
  // The disconnect after three unanswered sends.
  void ConnectionLost();

  // Scanner: started after a manual refresh at start-up.
  void StartScanner(int intervalMs = 5000);
  void StopScanner();
  TRenewComPortList* Scanner() { return scanner_.get(); }

  // The scanner's refresh of the port box.
  void ShowPortList(const std::vector<std::string>& names);

  bool Connected() const { return modbus_.PortOpen(); }
  const std::string& PortName() const { return portName_; }

 private:
  std::vector<std::string> Candidates() const;
  bool Probe(const std::string& name) const;
  void ClosePortCleanup();
  void Changed() { modbus_.Changed(); }

  TModBus& modbus_;
  MainThread& main_;
  const TCommonDatas& settings_;
  std::unique_ptr<TRenewComPortList> scanner_;
  std::string portName_;  // "Port": the entry last connected to
};

}  // namespace ferrolad
