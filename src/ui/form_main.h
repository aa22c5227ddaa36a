// TFormMain, the main window: tab pages, port and controller tool bar, live status area, timers.
// It owns the long-lived objects of the program and mirrors the lower layers' view models.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "comm/connection.h"
#include "comm/modbus.h"
#include "comm/transfer_log.h"
#include "core/common_datas.h"
#include "device/controller_link.h"
#include "device/device_view.h"
#include "device/status_polling.h"

class QCheckBox;
class QComboBox;
class QDockWidget;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace ferrolad {

class QtMainThread;
class SimPort;
class TFormComParameters;
class TFormLogs;
class TILPage;
class TShape;

class TFormMain final : public QMainWindow, private TStatusEnvironment {
  Q_OBJECT
 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  TCommonDatas& Settings() { return *settings_; }
  TModBus& Modbus() { return *modbus_; }
  TStatusModel& Status() { return link_->Status; }
  TControllerLink& Link() { return *link_; }
  TConnection& Connection() { return *connection_; }
  TStatusPolling& Polling() { return *polling_; }
  TransferLog& Log() { return *log_; }
  TFormLogs* FormLogs() const { return formLogs_; }
  TILPage* ILPage() const { return ilPage_; }
  // The simulated controller while the SIM port is connected, else null.
  SimPort* Sim() const;

  // Controls the other parts of the program and the tests reach by name as well.
  QTabWidget* pgcMain = nullptr;
  QComboBox* cbxComPort = nullptr;
  QSpinBox* UpDownID = nullptr;
  QComboBox* cbxDeviceModel = nullptr;
  QPushButton* btnConnectComPort = nullptr;
  QTimer* TimerGetState = nullptr;
  QTimer* TimerResetStateInfo = nullptr;
  QDockWidget* dockSimulator = nullptr;

  // Operations of the window (the handlers keep their names).
  void btnConnectComPortClick();
  void btnClosePortClick();
  void AddPortPath(const QString& path);
  void btnClearErrorsClick();
  void lblUserProgramErrorCodeClick();
  void lblUserProgramErrorLineClick();
  void btnProgSettingsClick();
  void btnTransferParamsClick();
  void btnShowLogListClick();
  void SetStatusInterval(int ms);
  // Applies the model chosen in the model box.
  void cbxDeviceModelChange();

  // Brings the widgets up to date with the view models.
  void MirrorStatus();
  void MirrorComm();
  void MirrorDevice();

  // Stops every worker within bounded waits; idempotent (closing the window runs it).
  void Shutdown();

  // Answers a question box; tests replace it. Returns QMessageBox::StandardButton.
  std::function<int(const QString& title, const QString& text, int buttons)> Ask;
  // Shows an information box; tests replace it.
  std::function<void(const QString& text)> Inform;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // TStatusEnvironment
  bool PortOpen() const override;
  bool InitSequenceActive() const override;
  bool DebuggerRunning() const override { return false; }
  bool DebuggerPollingActive() const override { return false; }
  bool UserCommandPending() const override;
  bool StartStatusPoll(const std::string& name, const TRegistersArray& requests) override;
  uint8_t ErrorFlag() const override;
  void ClearErrorFlag() override;
  uint8_t ErrorCount() const override;
  void ResetErrorCount() override;
  uint8_t LastErrorCode() const override;
  void EmptyPortBox() override;

  void FormCreate();
  QWidget* BuildToolBar();
  QWidget* BuildStatusArea();
  QWidget* BuildDirectControlPage();
  void BuildSimulatorDock();
  void WireEngine();
  void WireConnection();
  void SyncTimers();
  void OnAnswer(const TReadResponse& response);
  void OnIdentificationChanged();
  void UploadProgram();
  void DownloadProgram();
  void MirrorReading();
  std::vector<std::string> PortCandidates() const;

  std::unique_ptr<TCommonDatas> settings_;
  QtMainThread* mainThread_ = nullptr;
  std::unique_ptr<TransferLog> log_;
  std::unique_ptr<TModBus> modbus_;
  std::unique_ptr<TControllerLink> link_;
  std::unique_ptr<TConnection> connection_;
  std::unique_ptr<TStatusPolling> polling_;
  TRegistersArray uploadRequests_;  // the running upload's list, for its failure message
  std::string appliedModel_;
  bool shutDown_ = false;

  TILPage* ilPage_ = nullptr;
  TFormLogs* formLogs_ = nullptr;
  QPointer<TFormComParameters> comParameters_;
  QWidget* tsDirectControl_ = nullptr;
  QTimer* timerReading_ = nullptr;
  std::array<TShape*, 8> shpX_{};
  std::array<TShape*, 8> shpY_{};
  std::array<QCheckBox*, 8> simInputs_{};
  QCheckBox* simRun_ = nullptr;
};

}  // namespace ferrolad
