// TFormLogs, the "Data transition logs" window: mirrors the transfer log.
#pragma once

#include <QWidget>

#include "comm/transfer_log.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ferrolad {

class TFormLogs final : public QWidget {
  Q_OBJECT
 public:
  explicit TFormLogs(TransferLog& log, QWidget* parent = nullptr);

  QPlainTextEdit* richeditLog = nullptr;
  QPushButton* btnClear = nullptr;
  QPushButton* btnSave = nullptr;
  QLabel* ErrMsgPanel = nullptr;

  // Brings the window up to date with the log.
  void Refresh(bool scrollToEnd);

 private:
  TransferLog& log_;
  size_t shown_ = 0;  // log lines already in richeditLog
};

}  // namespace ferrolad
