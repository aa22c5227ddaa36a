#include "comm/connection.h"

#include <algorithm>

namespace ferrolad {

TConnection::TConnection(TModBus& modbus, MainThread& main, const TCommonDatas& settings)
    : modbus_(modbus), main_(main), settings_(settings) {
  modbus_.ConnectionLost = [this] { ConnectionLost(); };
}

TConnection::~TConnection() {
  StopScanner();
  modbus_.ConnectionLost = nullptr;
}

std::vector<std::string> TConnection::Candidates() const {
  if (ListPorts) return ListPorts();
  return CandidatePortNames(DefaultPortPatterns(), ExtraPorts);
}

bool TConnection::Probe(const std::string& name) const {
  if (name == kSimPortName) return true;
  if (ProbePort) return ProbePort(name);
  return TComPort::Exists(name);
}

void TConnection::StartScanner(int intervalMs) {
  if (scanner_) return;
  scanner_ = std::make_unique<TRenewComPortList>(
      main_, [this] { return Candidates(); }, [this](const std::string& n) { return Probe(n); },
      [this](const std::vector<std::string>& names) { ShowPortList(names); }, intervalMs);
  if (Connected()) scanner_->SetOpenPortName(portName_);
  scanner_->Start();
}

void TConnection::StopScanner() { scanner_.reset(); }

void TConnection::ShowPortList(const std::vector<std::string>& names) {
  TCommView& v = modbus_.View;
  v.cbxComPortItems = names;
  v.cbxComPortItemIndex = -1;
  if (!names.empty()) {
    auto it = Connected() ? std::find(names.begin(), names.end(), portName_) : names.end();
    v.cbxComPortItemIndex = it != names.end() ? static_cast<int>(it - names.begin()) : 0;
  }
  v.cbxComPortText = names.empty() ? "COM port..." : names[static_cast<size_t>(v.cbxComPortItemIndex)];
  if (!Connected()) v.btnConnectComPortCaption = "Connect";
  Changed();
}

void TConnection::btnRenewComListClick() {
  TCommView& v = modbus_.View;
  if (v.cbxComPortItems.empty()) v.cbxComPortItemIndex = -1;
  const std::string openName = Connected() ? portName_ : std::string();
  for (const auto& name : Candidates()) {
    auto& items = v.cbxComPortItems;
    auto it = std::find(items.begin(), items.end(), name);
    if (name == openName || Probe(name)) {
      if (it == items.end()) {
        items.push_back(name);
        if (items.size() == 1) v.cbxComPortItemIndex = 0;
      }
    } else if (it != items.end()) {
      // A port that vanished; the open port stays.
      items.erase(it);
      v.cbxComPortItemIndex = items.empty() ? -1 : 0;
      v.btnConnectComPortCaption = "Connect";
    }
  }
  // Entries no longer among the candidates at all (a removed extra path) go too, unless open.
  const auto candidates = Candidates();
  std::erase_if(v.cbxComPortItems, [&](const std::string& n) {
    return n != openName && std::find(candidates.begin(), candidates.end(), n) == candidates.end();
  });
  if (v.cbxComPortItemIndex >= static_cast<int>(v.cbxComPortItems.size())) {
    v.cbxComPortItemIndex = v.cbxComPortItems.empty() ? -1 : 0;
  }
  v.cbxComPortText = v.cbxComPortItems.empty() ? "COM port..."
                                               : v.cbxComPortItems[static_cast<size_t>(std::max(0, v.cbxComPortItemIndex))];
  Changed();
}

void TConnection::EditIDExit() {
  TCommView& v = modbus_.View;
  v.UpDownID = std::clamp(v.UpDownID, 1, 255);
  v.EditID = std::to_string(v.UpDownID);
  modbus_.IdField = static_cast<uint8_t>(v.UpDownID);
  Changed();
}

void TConnection::btnConnectComPortClick() {
  if (Connected()) {
    btnClosePortClick();
    return;
  }
  TCommView& v = modbus_.View;
  if (ResetStatusIndicators) ResetStatusIndicators();
  const bool logWasVisible = LogVisible ? LogVisible() : true;
  if (SetLogVisible) SetLogVisible(true);
  modbus_.IdField = static_cast<uint8_t>(std::clamp(v.UpDownID, 1, 255));
  modbus_.DeviceID = modbus_.IdField;

  std::shared_ptr<TPort> port;
  if (v.cbxComPortItemIndex >= 0 && v.cbxComPortItemIndex < static_cast<int>(v.cbxComPortItems.size())) {
    const std::string name = v.cbxComPortItems[static_cast<size_t>(v.cbxComPortItemIndex)];
    if (PortFactory) port = PortFactory(name);
    if (!port && name != kSimPortName) port = std::make_shared<TComPort>(name);
    if (port) {
      portName_ = name;
      port->Attach(main_, &settings_);
      modbus_.SetPort(port);
      if (scanner_) scanner_->Paused = true;
      port->Open();
      if (scanner_ && port->Connected()) scanner_->SetOpenPortName(name);
      if (scanner_) scanner_->Paused = false;
    }
  }

  if (Connected()) {
    modbus_.IdField = static_cast<uint8_t>(std::clamp(v.UpDownID, 1, 255));
    modbus_.DeviceID = modbus_.IdField;
    modbus_.ResetForConnect();
    if (ForgetVersions) ForgetVersions();
    v.lblPortConnected = portName_ + " connected";
    v.lblPortConnectedVisible = true;
    v.lblVersionVisible = true;
    v.lblCommunicationState = "Com port ready";
    v.shpState = TCommColor::Green;
    v.btnConnectComPortCaption = "Disconnect";
    v.cbxComPortVisible = false;
    v.lblComPortVisible = false;
    if (modbus_.SetStatusTimer) modbus_.SetStatusTimer(false);
    v.cbxDeviceModelEnabled = false;
    Changed();
    if (StartIdentification) StartIdentification();
  } else {
    ClosePortCleanup();
    v.lblPortConnected.clear();
    v.lblCommunicationState = "Not connected";
    v.shpState = TCommColor::White;
    v.btnConnectComPortCaption = "Connect";
    v.cbxDeviceModelEnabled = true;
    Changed();
  }
  if (!logWasVisible && SetLogVisible) SetLogVisible(false);
}

void TConnection::btnClosePortClick() {
  TCommView& v = modbus_.View;
  if (EndDebugging) EndDebugging();
  v.btnDebugEnabled = false;
  v.btnReadFromControllerILEnabled = false;
  v.btnSendToControllerILEnabled = false;
  if (auto port = modbus_.Port()) {
    port->Close();
    if (port->Connected()) {
      Changed();
      return;
    }
  }
  ClosePortCleanup();
}

void TConnection::ClosePortCleanup() {
  TCommView& v = modbus_.View;
  if (scanner_) scanner_->SetOpenPortName("");
  if (ResetDebugger) ResetDebugger();
  if (ForgetVersions) ForgetVersions();
  v.lblPortConnected.clear();
  v.lblPortConnectedVisible = false;
  v.lblCommunicationState = "Not connected";
  v.shpState = TCommColor::White;
  v.btnConnectComPortCaption = "Connect";
  v.cbxComPortVisible = true;
  v.lblComPortVisible = true;
  v.lblVersionVisible = false;
  v.ILToolBarEnabled = true;
  v.cbxDeviceModelEnabled = true;
  if (StopFastReading) StopFastReading();
  Changed();
}

void TConnection::ConnectionLost() {
  btnClosePortClick();
  if (ShowMessage) ShowMessage(TModBus::kConnectionLostMessage);
  modbus_.View.btnConnectComPortCaption = "Connect";
  Changed();
}

}  // namespace ferrolad
