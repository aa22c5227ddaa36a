#include "ui/form_program_settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ferrolad {

TFormProgramSettings::TFormProgramSettings(TCommonDatas& settings, std::function<void(int)> setStatusInterval,
                                           QWidget* parent)
    : QDialog(parent), settings_(settings), setStatusInterval_(std::move(setStatusInterval)) {
  setObjectName("FormProgramSettings");
  setWindowTitle(tr("Program Settings"));
  auto* root = new QVBoxLayout(this);

  auto* ladder = new QLabel(tr("Ladder Diagram compilation:"), this);
  ladder->setStyleSheet("font-weight: bold;");
  root->addWidget(ladder);
  // The dialog always opens with its own defaults, not the current values.
  chbxAddCompilationInfoToLog = new QCheckBox(tr("Add compilation information to log file"), this);
  chbxAddCompilationInfoToLog->setObjectName("chbxAddCompilationInfoToLog");
  root->addWidget(chbxAddCompilationInfoToLog);
  auto* blocks = new QHBoxLayout;
  blocks->addWidget(new QLabel(tr("Maximum blocks in a fragment"), this));
  UpDownBlocksNum = new QSpinBox(this);
  UpDownBlocksNum->setObjectName("UpDownBlocksNum");
  UpDownBlocksNum->setRange(100, 10000);
  UpDownBlocksNum->setValue(1000);
  if (auto* edit = UpDownBlocksNum->findChild<QLineEdit*>()) edit->setObjectName("EditMaximumBlocksNum");
  blocks->addWidget(UpDownBlocksNum);
  blocks->addStretch(1);
  root->addLayout(blocks);

  auto* timer = new QGroupBox(tr("Get status timer:"), this);
  auto* timerLayout = new QHBoxLayout(timer);
  rbtn200ms = new QRadioButton(tr("200 ms"), timer);
  rbtn200ms->setObjectName("rbtn200ms");
  rbtn200ms->setChecked(true);
  rbtn60000ms = new QRadioButton(tr("10 sec"), timer);
  rbtn60000ms->setObjectName("rbtn60000ms");
  timerLayout->addWidget(rbtn200ms);
  timerLayout->addWidget(rbtn60000ms);
  root->addWidget(timer);

  auto* timeouts = new QGroupBox(tr("Timeouts:"), this);
  auto* timeoutsLayout = new QVBoxLayout(timeouts);
  auto* t1 = new QLabel(QStringLiteral("TIMEOUT = %1").arg(settings.Timeout()), timeouts);
  t1->setObjectName("lblTimeout");
  auto* t2 = new QLabel(QStringLiteral("TIMEOUT2 = %1").arg(settings.Timeout2()), timeouts);
  t2->setObjectName("lblTimeout2");
  auto* note = new QLabel(QStringLiteral("Timeouts can be changed\r\nvia setting file \r\n\"ferrolad.txt\""), timeouts);
  note->setObjectName("lblTimeoutsNote");
  note->setStyleSheet("color: grey;");
  timeoutsLayout->addWidget(t1);
  timeoutsLayout->addWidget(t2);
  timeoutsLayout->addWidget(note);
  root->addWidget(timeouts);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btnApply = new QPushButton(tr("Apply"), this);
  btnApply->setObjectName("btnApply");
  buttons->addWidget(btnApply);
  root->addLayout(buttons);
  connect(btnApply, &QPushButton::clicked, this, &TFormProgramSettings::btnApplyClick);
}

void TFormProgramSettings::btnApplyClick() {
  settings_.SetMaxBlocksInFragment(UpDownBlocksNum->value());
  settings_.SetAddCompilationInfoToLog(chbxAddCompilationInfoToLog->isChecked());
  const int interval = rbtn60000ms->isChecked() ? 10000 : 200;
  settings_.SetTimerGetStateInterval(interval);
  if (setStatusInterval_) setStatusInterval_(interval);
}

}  // namespace ferrolad
