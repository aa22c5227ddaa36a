// TFormProgramSettings, the "Program Settings" dialog: compiler options and the status timer interval.
#pragma once

#include <QDialog>
#include <functional>

#include "core/common_datas.h"

class QCheckBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace ferrolad {

class TFormProgramSettings final : public QDialog {
  Q_OBJECT
 public:
  // setStatusInterval receives the chosen TimerGetState interval in ms.
  TFormProgramSettings(TCommonDatas& settings, std::function<void(int)> setStatusInterval,
                       QWidget* parent = nullptr);

  QCheckBox* chbxAddCompilationInfoToLog = nullptr;
  QSpinBox* UpDownBlocksNum = nullptr;  // its edit is EditMaximumBlocksNum
  QRadioButton* rbtn200ms = nullptr;
  QRadioButton* rbtn60000ms = nullptr;
  QPushButton* btnApply = nullptr;

  void btnApplyClick();

 private:
  TCommonDatas& settings_;
  std::function<void(int)> setStatusInterval_;
};

}  // namespace ferrolad
