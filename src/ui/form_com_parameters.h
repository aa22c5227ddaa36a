// TFormComParameters, the "Communication parameters" dialog: reads and writes the controller's own
// RS-485 settings through named commands; the response handler fills it while it is open.
#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace ferrolad {

class TModBus;

class TFormComParameters final : public QDialog {
  Q_OBJECT
 public:
  TFormComParameters(TModBus& modbus, QWidget* parent = nullptr);

  QRadioButton* rbtnASCII = nullptr;
  QRadioButton* rbtnRTU = nullptr;
  QComboBox* cbxBaudeRate = nullptr;
  QRadioButton* rbtEven1Stop = nullptr;
  QRadioButton* rbtnODD = nullptr;
  QRadioButton* rbtnNone = nullptr;
  QSpinBox* UpDownID = nullptr;  // its edit is EditID
  QPushButton* btnApply1 = nullptr;
  QPushButton* btnApply = nullptr;

  // Reads the four settings (on opening, and "Read Settings"); false when nothing was sent.
  bool ReadSettings(bool reportClosedPort);
  void btnApplyClick();
  void rbtnASCIIClick();

  // Answers, from the response handler.
  void FillMode(int32_t value);
  void FillBaudRate(int32_t value);
  void FillParity(int32_t value);
  void FillID(int32_t value);

 private:
  TModBus& modbus_;
};

}  // namespace ferrolad
