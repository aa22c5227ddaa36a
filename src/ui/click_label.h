// A label that reports clicks (the error line and error code labels answer a click).
#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace ferrolad {

class TClickLabel final : public QLabel {
  Q_OBJECT
 public:
  TClickLabel(const QString& name, const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
  }

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
  }
};

}  // namespace ferrolad
