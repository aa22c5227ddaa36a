#include "ui/form_logs.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace ferrolad {

TFormLogs::TFormLogs(TransferLog& log, QWidget* parent) : QWidget(parent, Qt::Window), log_(log) {
  setObjectName("FormLogs");
  setWindowTitle(tr("Data transition logs"));
  resize(640, 480);
  auto* root = new QVBoxLayout(this);
  ErrMsgPanel = new QLabel(QString::fromStdString(log.ErrMsgPanelCaption()), this);
  ErrMsgPanel->setObjectName("ErrMsgPanel");
  ErrMsgPanel->setStyleSheet("background: #d00000; color: white; font-weight: bold; padding: 4px;");
  ErrMsgPanel->setWordWrap(true);
  ErrMsgPanel->setVisible(false);
  root->addWidget(ErrMsgPanel);
  richeditLog = new QPlainTextEdit(this);
  richeditLog->setObjectName("richeditLog");
  richeditLog->setReadOnly(true);
  richeditLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  richeditLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  richeditLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  richeditLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  root->addWidget(richeditLog, 1);
  auto* buttons = new QHBoxLayout;
  btnClear = new QPushButton(tr("Clear"), this);
  btnClear->setObjectName("btnClear");
  btnSave = new QPushButton(tr("Save to file"), this);
  btnSave->setObjectName("btnSave");
  buttons->addWidget(btnClear);
  buttons->addWidget(btnSave);
  buttons->addStretch(1);
  root->addLayout(buttons);

  connect(btnClear, &QPushButton::clicked, this, [this] { log_.Clear(); });
  connect(btnSave, &QPushButton::clicked, this, [this] { log_.SaveLogToFile(false); });
  log_.SetOnChanged([this](bool scroll) { Refresh(scroll); });
  Refresh(false);
}

void TFormLogs::Refresh(bool scrollToEnd) {
  const auto& lines = log_.Lines();
  if (lines.size() < shown_) {
    // Emptied (cleared or saved automatically): show it anew.
    richeditLog->clear();
    shown_ = 0;
  }
  if (lines.size() > shown_) {
    QString text;
    for (size_t i = shown_; i < lines.size(); ++i) {
      if (i > shown_) text += QLatin1Char('\n');
      text += QString::fromStdString(lines[i]);
    }
    richeditLog->appendPlainText(text);
    shown_ = lines.size();
  }
  if (scrollToEnd) richeditLog->verticalScrollBar()->setValue(richeditLog->verticalScrollBar()->maximum());
  ErrMsgPanel->setText(QString::fromStdString(log_.ErrMsgPanelCaption()));
  ErrMsgPanel->setVisible(log_.ErrMsgPanelVisible());
}

}  // namespace ferrolad
