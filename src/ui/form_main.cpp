#include "ui/form_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "cli/sim_port.h"
#include "core/settings_file.h"
#include "device/device_description.h"
#include "device/program_upload.h"
#include "ui/click_label.h"
#include "ui/form_com_parameters.h"
#include "ui/form_logs.h"
#include "ui/form_program_settings.h"
#include "ui/il_page.h"
#include "ui/lamp.h"
#include "ui/qt_main_thread.h"

namespace ferrolad {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A lamp with its caption to the right.
QWidget* LampRow(TShape*& lamp, const char* name, const QString& caption, QWidget* parent,
                 QLabel** label = nullptr, const char* labelName = nullptr) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  lamp = new TShape(name, row);
  auto* text = new QLabel(caption, row);
  if (labelName) text->setObjectName(labelName);
  if (label) *label = text;
  layout->addWidget(lamp);
  layout->addWidget(text, 1);
  return row;
}

std::optional<sim::SimModel> SimModelFor(const QString& modelName) {
  return sim::ModelByName(modelName.toStdString());
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("FormMain");
  Ask = [this](const QString& title, const QString& text, int buttons) {
    return static_cast<int>(QMessageBox::question(this, title, text, QMessageBox::StandardButtons(buttons)));
  };
  Inform = [this](const QString& text) { QMessageBox::information(this, windowTitle(), text); };
  FormCreate();
}

TFormMain::~TFormMain() {
  Shutdown();
  // Children that reach the engine or the log go before the objects they use.
  delete ilPage_;
  ilPage_ = nullptr;
  if (log_) log_->SetOnChanged(nullptr);
  delete formLogs_;
  formLogs_ = nullptr;
  connection_.reset();
  link_.reset();
  modbus_.reset();
  // Routines still queued for the window thread die with it, unrun.
  delete mainThread_;
  mainThread_ = nullptr;
}

SimPort* TFormMain::Sim() const {
  if (!modbus_) return nullptr;
  auto port = modbus_->Port();
  return port && port->Connected() ? dynamic_cast<SimPort*>(port.get()) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Start-up

void TFormMain::FormCreate() {
  settings_ = std::make_unique<TCommonDatas>();
  setWindowTitle(Q(settings_->WindowCaption()));
  mainThread_ = new QtMainThread(this);

  auto* central = new QWidget(this);
  auto* root = new QVBoxLayout(central);
  root->setContentsMargins(4, 4, 4, 4);
  root->setSpacing(4);
  root->addWidget(BuildToolBar());
  auto* body = new QHBoxLayout;
  pgcMain = new QTabWidget(central);
  pgcMain->setObjectName("pgcMain");
  ilPage_ = new TILPage(*mainThread_, pgcMain);
  pgcMain->addTab(ilPage_, tr("Instructions List Mode"));
  auto* ladder = new QLabel(tr("The ladder diagram editor is not part of this version yet.\n"
                               "Write the program in the \"Instructions List Mode\" page."),
                            pgcMain);
  ladder->setObjectName("tsLadderDiagram");
  ladder->setAlignment(Qt::AlignCenter);
  pgcMain->addTab(ladder, tr("Ladder Diagram Mode"));
  tsDirectControl_ = BuildDirectControlPage();
  pgcMain->addTab(tsDirectControl_, tr("Direct control"));
  body->addWidget(pgcMain, 1);
  body->addWidget(BuildStatusArea());
  root->addLayout(body, 1);
  setCentralWidget(central);

  TimerGetState = new QTimer(this);
  TimerGetState->setObjectName("TimerGetState");
  TimerResetStateInfo = new QTimer(this);
  TimerResetStateInfo->setObjectName("TimerResetStateInfo");
  timerReading_ = new QTimer(this);
  timerReading_->setObjectName("TimerProgramReading");
  timerReading_->setInterval(100);

  // The engine with the address of the ID field, the controller side and the connection on it.
  modbus_ = std::make_unique<TModBus>(static_cast<uint8_t>(UpDownID->value()));
  link_ = std::make_unique<TControllerLink>(*modbus_, *mainThread_, *settings_);
  connection_ = std::make_unique<TConnection>(*modbus_, *mainThread_, *settings_);
  TStatusEnvironment& environment = *this;
  polling_ = std::make_unique<TStatusPolling>(link_->Status, environment);
  WireConnection();
  // The port list once by hand, then the scanner.
  connection_->btnRenewComListClick();
  connection_->StartScanner();

  // The models; the first one is current until a controller says otherwise.
  for (const std::string& name : ModelBoxItems()) cbxDeviceModel->addItem(Q(name));
  cbxDeviceModel->setCurrentIndex(0);
  cbxDeviceModelChange();
  connect(cbxDeviceModel, &QComboBox::currentIndexChanged, this, [this] { cbxDeviceModelChange(); });
  ilPage_->AllowNumbering();

  ReadSettingsFile(*settings_);
  // The log starts saving automatically from the settings just read.
  log_ = std::make_unique<TransferLog>(*settings_, *mainThread_);
  modbus_->Attach(*mainThread_, *settings_, log_.get());
  WireEngine();
  SetStatusInterval(std::max(100, settings_->TimerGetStateInterval()));

  connect(TimerGetState, &QTimer::timeout, this, [this] {
    polling_->TimerGetStateTimer();
    SyncTimers();
    MirrorStatus();
  });
  connect(TimerResetStateInfo, &QTimer::timeout, this, [this] {
    polling_->TimerResetStateInfoTimer();
    SyncTimers();
    MirrorStatus();
  });
  connect(timerReading_, &QTimer::timeout, this, &TFormMain::MirrorReading);
  connect(ilPage_, &TILPage::statusTimerWanted, this, [this] {
    polling_->EnableStatusTimer();
    SyncTimers();
  });
  connect(ilPage_, &TILPage::uploadRequested, this, &TFormMain::UploadProgram);
  connect(ilPage_, &TILPage::downloadRequested, this, &TFormMain::DownloadProgram);

  link_->Status.Changed = [this] { MirrorStatus(); };
  BuildSimulatorDock();
  polling_->EnableStatusTimer();
  SyncTimers();
  MirrorStatus();
  MirrorComm();
  resize(1240, 760);

  formLogs_ = new TFormLogs(*log_, this);
}

QWidget* TFormMain::BuildToolBar() {
  auto* bar = new QWidget(this);
  bar->setObjectName("pnlToolBar");
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  auto* lblComPort = new QLabel(tr("Port:"), bar);
  lblComPort->setObjectName("lblComPort");
  cbxComPort = new QComboBox(bar);
  cbxComPort->setObjectName("cbxComPort");
  cbxComPort->setPlaceholderText(tr("COM port..."));
  cbxComPort->setMinimumContentsLength(14);
  cbxComPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  auto* btnRenewComList = new QPushButton(tr("Refresh"), bar);
  btnRenewComList->setObjectName("btnRenewComList");
  btnRenewComList->setToolTip(tr("Look for ports again"));
  auto* btnAddPort = new QPushButton(tr("Add..."), bar);
  btnAddPort->setObjectName("btnAddPort");
  btnAddPort->setToolTip(tr("Add a device path, such as a pseudo-terminal"));
  auto* lblID = new QLabel(tr("ID:"), bar);
  UpDownID = new QSpinBox(bar);
  UpDownID->setObjectName("UpDownID");
  UpDownID->setRange(1, 255);
  UpDownID->setValue(1);
  if (auto* edit = UpDownID->findChild<QLineEdit*>()) edit->setObjectName("EditID");
  auto* lblModel = new QLabel(tr("Model:"), bar);
  cbxDeviceModel = new QComboBox(bar);
  cbxDeviceModel->setObjectName("cbxDeviceModel");
  btnConnectComPort = new QPushButton(tr("Connect"), bar);
  btnConnectComPort->setObjectName("btnConnectComPort");
  btnConnectComPort->setMinimumWidth(90);
  auto* lblPortConnected = new QLabel(bar);
  lblPortConnected->setObjectName("lblPortConnected");
  lblPortConnected->setStyleSheet("font-weight: bold;");
  lblPortConnected->setVisible(false);
  auto* lblControllerVersion = new QLabel(bar);
  lblControllerVersion->setObjectName("lblControllerVersion");
  lblControllerVersion->setVisible(false);
  auto* btnShowLogList = new QPushButton(tr("Show Log List"), bar);
  btnShowLogList->setObjectName("btnShowLogList");
  auto* btnSimulator = new QPushButton(tr("Simulator"), bar);
  btnSimulator->setObjectName("btnSimulator");
  btnSimulator->setToolTip(tr("Show the panel of the simulated controller"));
  btnSimulator->setVisible(false);
  auto* btnTransferParams = new QPushButton(tr("Comm. parameters"), bar);
  btnTransferParams->setObjectName("btnTransferParams");
  auto* btnProgSettings = new QPushButton(tr("Settings"), bar);
  btnProgSettings->setObjectName("btnProgSettings");
  btnProgSettings->setToolTip(tr("Program Settings"));
  // Interval shortcuts of the status timer, kept hidden.
  for (auto [name, ms] : {std::pair{"btn200ms", 200}, std::pair{"btn1000ms", 1000}, std::pair{"btn10000ms", 10000}}) {
    auto* b = new QPushButton(QString::number(ms), bar);
    b->setObjectName(name);
    b->setVisible(false);
    connect(b, &QPushButton::clicked, this, [this, ms = ms] { SetStatusInterval(ms); });
  }

  layout->addWidget(lblComPort);
  layout->addWidget(cbxComPort);
  layout->addWidget(btnRenewComList);
  layout->addWidget(btnAddPort);
  layout->addWidget(lblID);
  layout->addWidget(UpDownID);
  layout->addWidget(lblModel);
  layout->addWidget(cbxDeviceModel);
  layout->addWidget(btnConnectComPort);
  layout->addWidget(lblPortConnected);
  layout->addWidget(lblControllerVersion);
  layout->addStretch(1);
  layout->addWidget(btnSimulator);
  layout->addWidget(btnShowLogList);
  layout->addWidget(btnTransferParams);
  layout->addWidget(btnProgSettings);

  connect(btnRenewComList, &QPushButton::clicked, this, [this] { connection_->btnRenewComListClick(); });
  connect(cbxComPort, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (modbus_) modbus_->View.cbxComPortItemIndex = index;
  });
  connect(btnAddPort, &QPushButton::clicked, this, [this] {
    bool ok = false;
    const QString path = QInputDialog::getText(this, tr("Add port"), tr("Device path (for example /dev/pts/3):"),
                                               QLineEdit::Normal, QString(), &ok);
    if (ok && !path.trimmed().isEmpty()) AddPortPath(path.trimmed());
  });
  connect(btnConnectComPort, &QPushButton::clicked, this, &TFormMain::btnConnectComPortClick);
  connect(UpDownID, &QSpinBox::valueChanged, this, [this](int v) {
    // New requests carry the field's address; answers are compared with the one taken at connect.
    if (!connection_) return;
    modbus_->View.UpDownID = v;
    connection_->EditIDExit();
  });
  connect(btnShowLogList, &QPushButton::clicked, this, &TFormMain::btnShowLogListClick);
  connect(btnSimulator, &QPushButton::clicked, this, [this] {
    if (dockSimulator) dockSimulator->setVisible(true);
  });
  connect(btnTransferParams, &QPushButton::clicked, this, &TFormMain::btnTransferParamsClick);
  connect(btnProgSettings, &QPushButton::clicked, this, &TFormMain::btnProgSettingsClick);
  return bar;
}

QWidget* TFormMain::BuildStatusArea() {
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("pnlStatus");
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setFixedWidth(300);
  auto* panel = new QWidget(scroll);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(6);

  auto* comm = new QGroupBox(tr("Communication"), panel);
  auto* commLayout = new QVBoxLayout(comm);
  commLayout->setSpacing(2);
  TShape* state = nullptr;
  commLayout->addWidget(LampRow(state, "shpState", tr("Not connected"), comm, nullptr, "lblCommunicationState"));
  for (const char* name : {"lblCommandsTransfered", "lblCommunicationResult"}) {
    auto* l = new QLabel(comm);
    l->setObjectName(name);
    l->setWordWrap(true);
    commLayout->addWidget(l);
  }
  auto* reading = new QLabel(tr("Reading: "), comm);
  reading->setObjectName("lblCurrentReading");
  commLayout->addWidget(reading);
  column->addWidget(comm);

  auto* io = new QGroupBox(tr("Inputs / Outputs"), panel);
  auto* ioLayout = new QGridLayout(io);
  ioLayout->setHorizontalSpacing(10);
  ioLayout->setVerticalSpacing(2);
  for (int i = 0; i < 8; ++i) {
    ioLayout->addWidget(LampRow(shpX_[i], qPrintable(QStringLiteral("shpX%1").arg(i)), QStringLiteral("X%1").arg(i), io),
                        i, 0);
    ioLayout->addWidget(LampRow(shpY_[i], qPrintable(QStringLiteral("shpY%1").arg(i)), QStringLiteral("Y%1").arg(i), io),
                        i, 1);
  }
  column->addWidget(io);

  auto* run = new QGroupBox(tr("Controller"), panel);
  auto* runLayout = new QVBoxLayout(run);
  runLayout->setSpacing(2);
  TShape* runStop = nullptr;
  runLayout->addWidget(LampRow(runStop, "shpRunStop", tr("Run/Stop"), run, nullptr, "lblRunStop"));
  column->addWidget(run);

  auto* errors = new QGroupBox(tr("Errors"), panel);
  auto* errLayout = new QGridLayout(errors);
  errLayout->setVerticalSpacing(2);
  TShape* lamp = nullptr;
  errLayout->addWidget(LampRow(lamp, "shpErrors", tr("Errors"), errors, nullptr, "lblErrors"), 0, 0, 1, 2);
  for (int i = 1; i <= 4; ++i) {
    errLayout->addWidget(LampRow(lamp, qPrintable(QStringLiteral("shpError%1").arg(i)), QString(), errors, nullptr,
                                 qPrintable(QStringLiteral("lblError%1").arg(i))),
                         i, 0);
  }
  auto* battery = new QLabel(tr("Replace the battery"), errors);
  battery->setObjectName("lblReplaceBattery");
  errLayout->addWidget(battery, 1, 1);
  auto* rom = new QLabel(errors);
  rom->setObjectName("lblMemoryErrorCode");
  errLayout->addWidget(rom, 2, 1);
  auto* modbusCode = new QLabel(errors);
  modbusCode->setObjectName("lblModbusErrorCode");
  errLayout->addWidget(modbusCode, 3, 1);
  auto* userLine = new TClickLabel("lblUserProgramErrorLine", QString(), errors);
  userLine->setToolTip(tr("Show this line in the list"));
  auto* userCode = new TClickLabel("lblUserProgramErrorCode", QString(), errors);
  userCode->setToolTip(tr("What this code means"));
  auto* userBox = new QHBoxLayout;
  userBox->addWidget(userLine);
  userBox->addWidget(userCode);
  errLayout->addLayout(userBox, 5, 0, 1, 2);
  auto* clear = new QPushButton(tr("Clear errors"), errors);
  clear->setObjectName("btnClearErrors");
  errLayout->addWidget(clear, 6, 0, 1, 2);
  errLayout->setColumnStretch(0, 1);
  connect(userLine, &TClickLabel::clicked, this, &TFormMain::lblUserProgramErrorLineClick);
  connect(userCode, &TClickLabel::clicked, this, &TFormMain::lblUserProgramErrorCodeClick);
  connect(clear, &QPushButton::clicked, this, &TFormMain::btnClearErrorsClick);
  column->addWidget(errors);

  auto* motor = new QGroupBox(tr("Motor"), panel);
  auto* motorLayout = new QGridLayout(motor);
  motorLayout->setVerticalSpacing(2);
  const std::pair<const char*, const char*> motorLamps[] = {
      {"shpStateEnergized", "Energized"}, {"shpStateStop", "Hold"},           {"shpStateAccel", "Accel"},
      {"shpStateDecel", "Decel"},         {"shpStateConstSpeed", "Const speed"}, {"shpStateBusyMove", "BUSY_MOVE"},
      {"shpStateBusyRun", "BUSY_RUN"}};
  int k = 0;
  for (auto [name, caption] : motorLamps) {
    motorLayout->addWidget(LampRow(lamp, name, tr(caption), motor), k / 2, k % 2);
    ++k;
  }
  int row = (k + 1) / 2;
  motorLayout->addWidget(LampRow(lamp, "shpStateInternalVoltage", tr("Internal voltage"), motor, nullptr,
                                 "lblStateInternalVoltage"),
                         row, 0);
  motorLayout->addWidget(
      LampRow(lamp, "shpStateSupplyVoltage", tr("Supply voltage"), motor, nullptr, "lblStateSupplyVoltage"), row, 1);
  ++row;
  for (const char* name : {"lblStateDirection", "lblStatePosition", "lblCurrentSpeed"}) {
    auto* l = new QLabel(motor);
    l->setObjectName(name);
    motorLayout->addWidget(l, row++, 0, 1, 2);
  }
  column->addWidget(motor);
  column->addStretch(1);
  scroll->setWidget(panel);
  return scroll;
}

QWidget* TFormMain::BuildDirectControlPage() {
  auto* page = new QWidget(this);
  page->setObjectName("tsDirectControl");
  auto* layout = new QVBoxLayout(page);
  auto* warning = new QLabel(tr("Motor control is possible in RUN mode only. Turn the controller to RUN mode."), page);
  warning->setObjectName("pnlWarningLabel");
  warning->setStyleSheet("background: #fff4c0; border: 1px solid #c0a000; padding: 8px; font-weight: bold;");
  warning->setWordWrap(true);
  layout->addWidget(warning);
  auto* params = new QGroupBox(tr("Motor parameters read from the controller"), page);
  auto* grid = new QGridLayout(params);
  const char* names[] = {"lblSettingsMaxSpeed",      "lblSettingsMinSpeed",      "lblSettingsACCEL",
                         "lblSettingsDECEL",         "lblSettingsMICRO",         "lblSettingsFullStepSpeed",
                         "lblSettingsGOUNTIL_INPUT", "lblSettingsWORK_CURRENT", "lblSettingsHOLD_CURRENT"};
  int i = 0;
  for (const char* name : names) {
    auto* l = new QLabel(params);
    l->setObjectName(name);
    grid->addWidget(l, i / 2, i % 2);
    ++i;
  }
  layout->addWidget(params);
  auto* note = new QLabel(tr("The motion buttons of this page are not part of this version yet."), page);
  note->setObjectName("lblDirectControlNote");
  note->setStyleSheet("color: grey;");
  layout->addWidget(note);
  layout->addStretch(1);
  return page;
}

void TFormMain::BuildSimulatorDock() {
  dockSimulator = new QDockWidget(tr("Simulator"), this);
  dockSimulator->setObjectName("dockSimulator");
  auto* panel = new QWidget(dockSimulator);
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(6, 2, 6, 2);
  simRun_ = new QCheckBox(tr("RUN switch"), panel);
  simRun_->setObjectName("chbxSimRun");
  simRun_->setToolTip(tr("The RUN/STOP switch of the simulated controller"));
  layout->addWidget(simRun_);
  layout->addSpacing(16);
  layout->addWidget(new QLabel(tr("Inputs:"), panel));
  for (int i = 0; i < 8; ++i) {
    simInputs_[i] = new QCheckBox(QStringLiteral("X%1").arg(i), panel);
    simInputs_[i]->setObjectName(QStringLiteral("chbxSimX%1").arg(i));
    layout->addWidget(simInputs_[i]);
    connect(simInputs_[i], &QCheckBox::toggled, this, [this, i](bool on) {
      if (SimPort* sim = Sim()) sim->Controller().setInput(i, on);
    });
  }
  layout->addStretch(1);
  panel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  connect(simRun_, &QCheckBox::toggled, this, [this](bool on) {
    if (SimPort* sim = Sim()) sim->Controller().setRun(on);
  });
  dockSimulator->setWidget(panel);
  addDockWidget(Qt::BottomDockWidgetArea, dockSimulator);
  dockSimulator->setVisible(false);
}

// ---------------------------------------------------------------------------------------------
// Engine hooks

void TFormMain::WireEngine() {
  link_->Bind();
  link_->Disconnect = [this] {
    // Asked for from inside the response handling: close once that call has returned.
    QTimer::singleShot(0, this, [this] { btnClosePortClick(); });
  };
  link_->AnswerHandled = [this](const TReadResponse& r) { OnAnswer(r); };
  link_->Ident.ShowMessage = [this](const std::string& text) {
    QTimer::singleShot(0, this, [this, t = Q(text)] { Inform(t); });
  };
  link_->Ident.Changed = [this] { OnIdentificationChanged(); };
  modbus_->ViewChanged = [this] { MirrorComm(); };
  modbus_->SetStatusTimer = [this](bool enabled) {
    if (enabled) {
      polling_->EnableStatusTimer();
    } else {
      polling_->DisableStatusTimer();
    }
    SyncTimers();
  };
  // A worker is waiting for this routine: the box must not keep it waiting.
  modbus_->ShowMessage = [this](const std::string& text) {
    QTimer::singleShot(0, this, [this, t = Q(text)] { Inform(t); });
  };
  auto identificationEnded = modbus_->IdentificationEnded;
  modbus_->IdentificationEnded = [this, identificationEnded] {
    if (identificationEnded) identificationEnded();
    // The chain is over once this returns; then polling and its watchdog take over.
    QTimer::singleShot(0, this, [this] {
      polling_->EnableStatusTimer();
      SyncTimers();
    });
  };
  modbus_->TransferEnded = [this](const TTransferOutcome& outcome) {
    if (outcome.Name == kUploadTransferName) {
      const std::string message = UploadFailureMessage(outcome, uploadRequests_, modbus_->ResponseValue);
      if (!message.empty()) QTimer::singleShot(0, this, [this, t = Q(message)] { Inform(t); });
    }
    MirrorComm();
  };
}

std::vector<std::string> TFormMain::PortCandidates() const {
  std::vector<std::string> names = CandidatePortNames(DefaultPortPatterns(), connection_->ExtraPorts);
  // The simulator comes first, so that a first start connects to something at once.
  std::erase(names, std::string(kSimPortName));
  names.insert(names.begin(), kSimPortName);
  return names;
}

void TFormMain::WireConnection() {
  TConnection& c = *connection_;
  c.ListPorts = [this] { return PortCandidates(); };
  c.PortFactory = [this](const std::string& name) -> std::shared_ptr<TPort> {
    if (name != kSimPortName) return nullptr;
    sim::SimOptions options;
    if (auto model = SimModelFor(cbxDeviceModel->currentText())) options.model = *model;
    options.slaveId = static_cast<uint8_t>(std::min(UpDownID->value(), 247));
    return std::make_shared<SimPort>(options);
  };
  c.ResetStatusIndicators = [this] {
    link_->Status.ClearIndicators();
    MirrorStatus();
  };
  c.LogVisible = [this] { return formLogs_ && formLogs_->isVisible(); };
  c.SetLogVisible = [this](bool visible) {
    if (!formLogs_) return;
    if (visible) {
      btnShowLogListClick();
    } else {
      formLogs_->hide();
    }
  };
  c.ForgetVersions = [this] { link_->Ident.State.Reset(); };
  c.StartIdentification = [this] {
    if (!link_->StartIdentification()) {
      polling_->EnableStatusTimer();
      SyncTimers();
    }
  };
  c.StopFastReading = [this] { link_->StopReading(); };
  c.ShowMessage = [this](const std::string& text) {
    QTimer::singleShot(0, this, [this, t = Q(text)] { Inform(t); });
  };
}

void TFormMain::SyncTimers() {
  auto sync = [](QTimer* timer, bool enabled, int interval) {
    if (timer->interval() != interval) timer->setInterval(interval);
    if (enabled && !timer->isActive()) timer->start();
    if (!enabled && timer->isActive()) timer->stop();
  };
  sync(TimerGetState, polling_->TimerGetStateEnabled && !shutDown_, polling_->TimerGetStateInterval);
  sync(TimerResetStateInfo, polling_->TimerResetStateInfoEnabled && !shutDown_, polling_->TimerResetStateInfoInterval);
}

void TFormMain::SetStatusInterval(int ms) {
  polling_->TimerGetStateInterval = std::max(100, ms);
  SyncTimers();
}

bool TFormMain::PortOpen() const { return modbus_ && modbus_->PortOpen(); }
bool TFormMain::InitSequenceActive() const { return modbus_->InitSequenceActive != 0; }
bool TFormMain::UserCommandPending() const { return modbus_->UserCommandPending != 0; }
bool TFormMain::StartStatusPoll(const std::string& name, const TRegistersArray& requests) {
  return modbus_->StartTransfer(false, modbus_->IdField.load(), false, name, requests);
}
uint8_t TFormMain::ErrorFlag() const { return modbus_->ErrorFlag; }
void TFormMain::ClearErrorFlag() { modbus_->ErrorFlag = 0; }
uint8_t TFormMain::ErrorCount() const { return modbus_->ErrorCount; }
void TFormMain::ResetErrorCount() { modbus_->ErrorCount = 0; }
uint8_t TFormMain::LastErrorCode() const { return modbus_->LastErrorCode; }
void TFormMain::EmptyPortBox() {
  modbus_->View.cbxComPortItems.clear();
  modbus_->View.cbxComPortItemIndex = -1;
  MirrorComm();
}

void TFormMain::OnAnswer(const TReadResponse& r) {
  // The communication parameters dialog shows the controller's answers while it is open.
  if (!comParameters_) return;
  if (r.Function == 1 && r.Address == 0x8100) {
    comParameters_->FillMode(r.Value & 0xFF);
  } else if (r.Function == 3 && r.Address == 0x8100) {
    comParameters_->FillBaudRate(r.Value);
  } else if (r.Function == 3 && r.Address == 0x8102) {
    comParameters_->FillParity(r.Value);
  } else if (r.Function == 3 && r.Address == 0x8103) {
    comParameters_->FillID(r.Value);
  }
}

void TFormMain::OnIdentificationChanged() {
  const TIdentificationChain& ident = link_->Ident;
  if (!ident.ModelName.empty() && ident.ModelName != appliedModel_) {
    appliedModel_ = ident.ModelName;
    const QSignalBlocker block(cbxDeviceModel);
    cbxDeviceModel->setCurrentText(Q(ident.ModelName));
    MirrorDevice();
  }
  MirrorComm();
}

void TFormMain::AddPortPath(const QString& path) {
  const std::string p = path.toStdString();
  auto& extra = connection_->ExtraPorts;
  if (std::find(extra.begin(), extra.end(), p) == extra.end()) extra.push_back(p);
  connection_->btnRenewComListClick();
  const auto& items = modbus_->View.cbxComPortItems;
  const auto it = std::find(items.begin(), items.end(), p);
  if (it == items.end()) {
    Inform(tr("The port %1 cannot be opened.").arg(path));
    return;
  }
  modbus_->View.cbxComPortItemIndex = static_cast<int>(it - items.begin());
  MirrorComm();
}

void TFormMain::btnConnectComPortClick() {
  const bool wasConnected = modbus_->PortOpen();
  connection_->btnConnectComPortClick();
  if (!wasConnected && modbus_->PortOpen()) {
    if (SimPort* sim = Sim()) {
      const QSignalBlocker b(simRun_);
      simRun_->setChecked(sim->Controller().isRun());
      for (int i = 0; i < 8; ++i) {
        const QSignalBlocker bi(simInputs_[i]);
        simInputs_[i]->setChecked(sim->Controller().input(i));
      }
      dockSimulator->setVisible(true);
    }
  }
  if (!modbus_->PortOpen()) dockSimulator->setVisible(false);
  MirrorComm();
}

void TFormMain::btnClosePortClick() {
  if (!modbus_) return;
  connection_->btnClosePortClick();
  if (!modbus_->PortOpen()) {
    modbus_->SetPort(nullptr);
    appliedModel_.clear();
    if (dockSimulator) dockSimulator->setVisible(false);
  }
  MirrorComm();
}

void TFormMain::cbxDeviceModelChange() {
  ferrolad::cbxDeviceModelChange(cbxDeviceModel->currentText().toStdString(), link_->Ident.State.Fw,
                                 link_->Ident.Device);
  MirrorDevice();
}

// ---------------------------------------------------------------------------------------------
// Actions

void TFormMain::btnClearErrorsClick() {
  const TErrorAction action = link_->Status.btnClearErrorsClick(PortOpen());
  if (!action.Command) {
    if (!action.Message.empty()) Inform(Q(action.Message));
    return;
  }
  const TDirectCommand& c = *action.Command;
  std::vector<TDirectRecord> records;
  for (const TDC_Record& r : c.Commands)
    records.push_back(TDirectRecord{r.FunctionCode, r.Address, r.RegisterCount, r.Value, r.Name});
  if (records.empty()) return;
  modbus_->SendDirectCommand(c.Verify, c.RequireStop, c.ReadBack, records.front());
}

void TFormMain::lblUserProgramErrorCodeClick() { Inform(Q(link_->Status.lblUserProgramErrorCodeClick())); }

void TFormMain::lblUserProgramErrorLineClick() {
  const int answer = Ask(windowTitle(), Q(link_->Status.UserProgramErrorLineQuestion()),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  const int line = link_->Status.lblUserProgramErrorLineClick(ilPage_->ProgramLines(), answer == QMessageBox::Yes);
  if (line >= 0) ilPage_->SelectLine(line);
}

void TFormMain::btnProgSettingsClick() {
  TFormProgramSettings dialog(*settings_, [this](int ms) { SetStatusInterval(ms); }, this);
  dialog.exec();
}

void TFormMain::btnTransferParamsClick() {
  auto* dialog = new TFormComParameters(*modbus_, this);
  comParameters_ = dialog;
  dialog->exec();
  comParameters_ = nullptr;
  delete dialog;
}

void TFormMain::btnShowLogListClick() {
  if (!formLogs_) return;
  formLogs_->show();
  formLogs_->raise();
}

void TFormMain::UploadProgram() {
  if (!PortOpen()) {
    Inform(tr("No connection"));
    return;
  }
  std::vector<std::string> lines = ilPage_->ProgramLines();
  const TProgramType type = ilPage_->rbtServiceProgType->isChecked() ? TProgramType::Service : TProgramType::Main;
  const TUploadStart start = ferrolad::UploadProgram(*modbus_, lines, type, modbus_->IdField.load());
  if (!start.Build.Error.empty()) {
    if (MarkWrongLine(lines, start.Build)) {
      ilPage_->SetProgramLines(lines);
      ilPage_->SelectLine(start.Build.WrongLine);
    }
    Inform(Q(start.Build.Error));
    return;
  }
  if (start.Started) uploadRequests_ = start.Build.Requests;
}

void TFormMain::DownloadProgram() {
  if (!PortOpen()) {
    Inform(tr("No connection"));
    return;
  }
  const TDownloadDecision decision =
      DecideDownload(link_->ReadingRunning(), ilPage_->ProgramLineCount() == 0, link_->ReadingSupported(), [this] {
        return Ask(windowTitle(), Q(kClearListQuestion), QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes;
      });
  if (decision.ClearEditor) ilPage_->ClearProgram();
  if (decision.Step != TDownloadStep::Start) {
    if (!decision.Message.empty()) Inform(Q(decision.Message));
    return;
  }
  TProgramReadingView& view = link_->Program;
  view.MemoIL = ilPage_->ProgramLines();
  view.MemoParamValues.clear();
  const TProgramType type = ilPage_->rbtServiceProgType->isChecked() ? TProgramType::Service : TProgramType::Main;
  if (link_->StartReading(type, modbus_->IdField.load())) timerReading_->start();
}

void TFormMain::MirrorReading() {
  const TProgramReadingView& view = link_->Program;
  const bool running = link_->ReadingRunning();
  ilPage_->SetReadingDisplay(running && view.pnlProgramReadingVisible);
  ilPage_->lblProgramReadingCounter->setText(Q(view.lblProgramReadingCounter));
  pgcMain->setEnabled(!running);
  if (running) return;
  timerReading_->stop();
  ilPage_->SetReadingDisplay(false);
  // The reading has ended: the editor receives what it produced.
  ilPage_->SetProgramLines(view.MemoIL);
  QString values;
  for (size_t i = 0; i < view.MemoParamValues.size(); ++i) {
    if (i) values += QLatin1Char('\n');
    values += Q(view.MemoParamValues[i]);
  }
  ilPage_->MemoParamValues->setPlainText(values);
  ilPage_->UpdateLineNumbers(0);
}

// ---------------------------------------------------------------------------------------------
// Mirrors

void TFormMain::MirrorStatus() {
  const TStatusView& s = link_->Status.View;
  for (int i = 0; i < 8; ++i) {
    shpX_[i]->setLampColor(s.shpX[i]);
    shpY_[i]->setLampColor(s.shpY[i]);
  }
  auto lamp = [this](const char* name, TLampColor color, bool visible = true) {
    if (auto* l = findChild<TShape*>(name)) {
      l->setLampColor(color);
      l->setVisible(visible);
    }
  };
  auto label = [this](const char* name, const std::string& text, bool visible = true) {
    if (auto* l = findChild<QLabel*>(name)) {
      l->setText(Q(text));
      l->setVisible(visible);
    }
  };
  auto show = [this](const char* name, bool visible) {
    if (auto* w = findChild<QWidget*>(name)) w->setVisible(visible);
  };
  lamp("shpRunStop", s.shpRunStop);
  label("lblRunStop", s.lblRunStop);
  lamp("shpErrors", s.shpErrors.Color, s.shpErrors.Visible);
  label("lblErrors", s.lblErrors.Caption.empty() ? "Errors" : s.lblErrors.Caption, s.lblErrors.Visible);
  for (int i = 0; i < 4; ++i) {
    const QByteArray shp = QStringLiteral("shpError%1").arg(i + 1).toLatin1();
    const QByteArray lbl = QStringLiteral("lblError%1").arg(i + 1).toLatin1();
    lamp(shp.constData(), s.shpError[i].Color, s.shpError[i].Visible);
    label(lbl.constData(), s.lblError[i].Caption, s.lblError[i].Visible);
  }
  label("lblReplaceBattery", s.lblReplaceBattery.Caption.empty() ? "Replace the battery" : s.lblReplaceBattery.Caption,
        s.lblReplaceBattery.Visible);
  label("lblMemoryErrorCode", s.lblMemoryErrorCode.Caption, s.lblMemoryErrorCode.Visible);
  label("lblModbusErrorCode", s.lblModbusErrorCode.Caption, s.lblModbusErrorCode.Visible);
  label("lblUserProgramErrorLine", s.lblUserProgramErrorLine.Caption, s.lblUserProgramErrorLine.Visible);
  label("lblUserProgramErrorCode", s.lblUserProgramErrorCode.Caption, s.lblUserProgramErrorCode.Visible);
  show("btnClearErrors", s.btnClearErrorsVisible);

  lamp("shpStateEnergized", s.shpStateEnergized);
  lamp("shpStateStop", s.shpStateStop);
  lamp("shpStateAccel", s.shpStateAccel);
  lamp("shpStateDecel", s.shpStateDecel);
  lamp("shpStateConstSpeed", s.shpStateConstSpeed);
  lamp("shpStateBusyMove", s.shpStateBusyMove);
  lamp("shpStateBusyRun", s.shpStateBusyRun);
  lamp("shpStateInternalVoltage", s.shpStateInternalVoltage, link_->Ident.Device.shpStateInternalVoltageVisible);
  show("lblStateInternalVoltage", link_->Ident.Device.shpStateInternalVoltageVisible);
  lamp("shpStateSupplyVoltage", s.shpStateSupplyVoltage, link_->Ident.Device.shpStateSupplyVoltageVisible);
  show("lblStateSupplyVoltage", link_->Ident.Device.shpStateSupplyVoltageVisible);
  label("lblStateDirection", s.lblStateDirection);
  label("lblStatePosition", s.lblStatePosition);
  label("lblCurrentSpeed", s.lblCurrentSpeed.empty() ? "Speed: " : s.lblCurrentSpeed);
  label("lblCurrentReading", s.lblCurrentReading.Caption, s.lblCurrentReading.Visible);

  label("lblSettingsMaxSpeed", s.lblSettingsMaxSpeed);
  label("lblSettingsMinSpeed", s.lblSettingsMinSpeed);
  label("lblSettingsACCEL", s.lblSettingsACCEL);
  label("lblSettingsDECEL", s.lblSettingsDECEL);
  label("lblSettingsMICRO", s.lblSettingsMICRO);
  label("lblSettingsFullStepSpeed", s.lblSettingsFullStepSpeed);
  label("lblSettingsGOUNTIL_INPUT", s.lblSettingsGOUNTIL_INPUT);
  label("lblSettingsWORK_CURRENT", s.lblSettingsWORK_CURRENT);
  label("lblSettingsHOLD_CURRENT", s.lblSettingsHOLD_CURRENT);

  // RUN/STOP decides what the program pages offer.
  show("pnlWarningLabel", s.pnlWarningLabelVisible);
  if (ilPage_) {
    ilPage_->btnSendToControllerIL->setVisible(s.btnSendToControllerILVisible);
    ilPage_->btnReadFromControllerIL->setVisible(s.btnReadFromControllerILVisible);
    ilPage_->btnDebug->setVisible(s.btnDebugVisible);
    ilPage_->pnlProgramType->setVisible(s.pnlProgramTypeVisible);
    ilPage_->lblTurnToStopMode->setVisible(s.lblTurnToStopModeVisible);
  }
}

void TFormMain::MirrorComm() {
  if (!modbus_) return;
  const TCommView& v = modbus_->View;
  auto label = [this](const char* name, const std::string& text) {
    if (auto* l = findChild<QLabel*>(name)) l->setText(Q(text));
  };
  label("lblPortConnected", v.lblPortConnected);
  findChild<QLabel*>("lblPortConnected")->setVisible(v.lblPortConnectedVisible);
  label("lblControllerVersion", link_->Ident.State.lblControllerVersion);
  findChild<QLabel*>("lblControllerVersion")->setVisible(v.lblVersionVisible);
  label("lblCommunicationState", v.lblCommunicationState);
  findChild<TShape*>("shpState")->setCommColor(v.shpState);
  label("lblCommandsTransfered", v.lblCommandsTransfered);
  auto* result = findChild<QLabel*>("lblCommunicationResult");
  result->setText(Q(v.lblCommunicationResult));
  switch (v.lblCommunicationResultColor) {
    case TCommColor::Red: result->setStyleSheet("color: #c00000;"); break;
    case TCommColor::Green: result->setStyleSheet("color: #008000;"); break;
    default: result->setStyleSheet(QString()); break;
  }
  btnConnectComPort->setText(Q(v.btnConnectComPortCaption));
  {
    QStringList items;
    for (const std::string& p : v.cbxComPortItems) items << Q(p);
    QStringList shown;
    for (int i = 0; i < cbxComPort->count(); ++i) shown << cbxComPort->itemText(i);
    const QSignalBlocker block(cbxComPort);
    if (items != shown) {
      cbxComPort->clear();
      cbxComPort->addItems(items);
    }
    if (cbxComPort->currentIndex() != v.cbxComPortItemIndex) cbxComPort->setCurrentIndex(v.cbxComPortItemIndex);
  }
  if (UpDownID->value() != v.UpDownID) {
    const QSignalBlocker block(UpDownID);
    UpDownID->setValue(v.UpDownID);
  }
  cbxComPort->setVisible(v.cbxComPortVisible);
  findChild<QLabel*>("lblComPort")->setVisible(v.lblComPortVisible);
  for (const char* name : {"btnRenewComList", "btnAddPort"}) findChild<QWidget*>(name)->setVisible(v.cbxComPortVisible);
  cbxDeviceModel->setEnabled(v.cbxDeviceModelEnabled);
  findChild<QWidget*>("btnSimulator")->setVisible(Sim() != nullptr);
  if (ilPage_) {
    ilPage_->btnReadFromControllerIL->setEnabled(v.btnReadFromControllerILEnabled);
    ilPage_->btnSendToControllerIL->setEnabled(v.btnSendToControllerILEnabled);
    ilPage_->ILToolBar->setEnabled(v.ILToolBarEnabled);
  }
}

void TFormMain::MirrorDevice() {
  if (tsDirectControl_) {
    const int index = pgcMain->indexOf(tsDirectControl_);
    const QString caption = link_->Ident.Device.DirectControlTabCaption.empty() ? tr("Direct control") : Q(link_->Ident.Device.DirectControlTabCaption);
    if (index >= 0) pgcMain->setTabText(index, caption);
  }
  MirrorStatus();
}

// ---------------------------------------------------------------------------------------------
// Close

void TFormMain::Shutdown() {
  if (shutDown_ || !modbus_) return;
  shutDown_ = true;
  modbus_->StopAll = true;
  TimerGetState->stop();
  TimerResetStateInfo->stop();
  timerReading_->stop();
  connection_->StopScanner();
  link_->StopReading();
  if (polling_) {
    polling_->DisableStatusTimer();
    polling_->TimerResetStateInfoEnabled = false;
  }
  // Workers are told to end and waited for within the bounded times of the settings.
  modbus_->Close();
  if (auto port = modbus_->Port()) port->Close();
  modbus_->Shutdown();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  Shutdown();
  if (formLogs_) formLogs_->hide();
  event->accept();
}

}  // namespace ferrolad
