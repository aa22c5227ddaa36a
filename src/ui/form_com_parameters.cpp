#include "ui/form_com_parameters.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "comm/modbus.h"
#include "device/device_description.h"

namespace ferrolad {

namespace {
constexpr int kBaudRates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 128000, 256000};

TDirectRecord DirectRecord(const TDC_Record& r, int32_t value) {
  return TDirectRecord{r.FunctionCode, r.Address, r.RegisterCount, value, r.Name};
}
}  // namespace

TFormComParameters::TFormComParameters(TModBus& modbus, QWidget* parent) : QDialog(parent), modbus_(modbus) {
  setObjectName("FormComParameters");
  setWindowTitle(tr("Communication parameters"));
  auto* root = new QVBoxLayout(this);
  auto* title = new QLabel(tr("RS-485 Communication parameters:"), this);
  title->setStyleSheet("font-weight: bold;");
  root->addWidget(title);

  auto* mode = new QGroupBox(this);
  mode->setObjectName("rgrASCIIRTU");
  auto* modeLayout = new QHBoxLayout(mode);
  rbtnASCII = new QRadioButton(tr("ASCII"), mode);
  rbtnASCII->setObjectName("rbtnASCII");
  rbtnASCII->setChecked(true);
  rbtnRTU = new QRadioButton(tr("RTU"), mode);
  rbtnRTU->setObjectName("rbtnRTU");
  modeLayout->addWidget(rbtnASCII);
  modeLayout->addWidget(rbtnRTU);
  root->addWidget(mode);

  auto* baud = new QHBoxLayout;
  baud->addWidget(new QLabel(tr("Baud rate:"), this));
  cbxBaudeRate = new QComboBox(this);
  cbxBaudeRate->setObjectName("cbxBaudeRate");
  for (int rate : kBaudRates) cbxBaudeRate->addItem(QString::number(rate));
  cbxBaudeRate->setCurrentIndex(11);
  baud->addWidget(cbxBaudeRate);
  baud->addStretch(1);
  root->addLayout(baud);

  auto* parity = new QGroupBox(tr("Parity / Stop bits"), this);
  parity->setObjectName("rgrBaudRate");
  auto* parityLayout = new QVBoxLayout(parity);
  rbtEven1Stop = new QRadioButton(QStringLiteral("EVEN  / 1 STOP"), parity);
  rbtEven1Stop->setObjectName("rbtEven1Stop");
  rbtEven1Stop->setChecked(true);
  rbtnODD = new QRadioButton(QStringLiteral("ODD / 1 STOP"), parity);
  rbtnODD->setObjectName("rbtnODD");
  rbtnNone = new QRadioButton(QStringLiteral("NONE / 2 STOP"), parity);
  rbtnNone->setObjectName("rbtnNone");
  rbtnNone->setVisible(false);
  parityLayout->addWidget(rbtEven1Stop);
  parityLayout->addWidget(rbtnODD);
  parityLayout->addWidget(rbtnNone);
  root->addWidget(parity);

  auto* id = new QHBoxLayout;
  id->addWidget(new QLabel(tr("ID:"), this));
  UpDownID = new QSpinBox(this);
  UpDownID->setObjectName("UpDownID");
  UpDownID->setRange(1, 247);
  UpDownID->setValue(1);
  if (auto* edit = UpDownID->findChild<QLineEdit*>()) edit->setObjectName("EditID");
  id->addWidget(UpDownID);
  id->addStretch(1);
  root->addLayout(id);

  auto* buttons = new QHBoxLayout;
  btnApply1 = new QPushButton(tr("Read Settings"), this);
  btnApply1->setObjectName("btnApply1");
  btnApply = new QPushButton(tr("Apply Settings"), this);
  btnApply->setObjectName("btnApply");
  buttons->addWidget(btnApply1);
  buttons->addWidget(btnApply);
  root->addLayout(buttons);

  connect(rbtnASCII, &QRadioButton::toggled, this, &TFormComParameters::rbtnASCIIClick);
  connect(btnApply1, &QPushButton::clicked, this, [this] { ReadSettings(true); });
  connect(btnApply, &QPushButton::clicked, this, &TFormComParameters::btnApplyClick);
  ReadSettings(false);
}

bool TFormComParameters::ReadSettings(bool reportClosedPort) {
  if (!modbus_.PortOpen()) {
    if (reportClosedPort) QMessageBox::information(this, windowTitle(), tr("No connection"));
    return false;
  }
  TRegistersArray list;
  for (const char* name : {"GET_ASCII_RTU", "GET_BAUDRATE", "GET_PARITY", "GET_ID"}) {
    const TDC_Record r = LookupCommand(name);
    if (!r.Valid) return false;
    list.push_back(RequestFromRecord(r, false));
  }
  return modbus_.SendReadCommand(list);
}

void TFormComParameters::rbtnASCIIClick() {
  // NONE parity with two stop bits exists only in RTU mode; a selection stays as it is.
  rbtnNone->setVisible(!rbtnASCII->isChecked());
}

void TFormComParameters::btnApplyClick() {
  if (!modbus_.PortOpen()) {
    QMessageBox::information(this, windowTitle(), tr("No connection"));
    return;
  }
  const TDC_Record mode = LookupCommand(rbtnRTU->isChecked() ? "SET_RTU" : "SET_ASCII");
  if (cbxBaudeRate->currentIndex() < 0) cbxBaudeRate->setCurrentIndex(11);
  const int32_t rate = cbxBaudeRate->currentText().toInt();
  const int32_t parity = rbtnNone->isChecked() ? 0 : rbtnODD->isChecked() ? 1 : 2;
  const TDC_Record baud = LookupCommand("SET_BAUDRATE");
  const TDC_Record par = LookupCommand("SET_PARITY");
  const TDC_Record id = LookupCommand("SET_ID");
  if (!mode.Valid || !baud.Valid || !par.Valid || !id.Valid) return;
  modbus_.SendDirectCommand(false, false, true,
                            {DirectRecord(mode, mode.Value), DirectRecord(baud, rate), DirectRecord(par, parity),
                             DirectRecord(id, UpDownID->value())});
}

void TFormComParameters::FillMode(int32_t value) { (value != 0 ? rbtnRTU : rbtnASCII)->setChecked(true); }

void TFormComParameters::FillBaudRate(int32_t value) {
  for (int i = 0; i < static_cast<int>(std::size(kBaudRates)); ++i) {
    if (kBaudRates[i] == value) {
      cbxBaudeRate->setCurrentIndex(i);
      return;
    }
  }
}

void TFormComParameters::FillParity(int32_t value) {
  switch (value) {
    case 0: rbtnNone->setChecked(true); break;
    case 1: rbtnODD->setChecked(true); break;
    case 2: rbtEven1Stop->setChecked(true); break;
    default: break;
  }
}

void TFormComParameters::FillID(int32_t value) { UpDownID->setValue(value); }

}  // namespace ferrolad
