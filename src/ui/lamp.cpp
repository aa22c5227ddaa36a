#include "ui/lamp.h"

#include <QPainter>

namespace ferrolad {

QColor LampQColor(TLampColor color) {
  switch (color) {
    case TLampColor::White: return QColor(0xFF, 0xFF, 0xFF);
    case TLampColor::Silver: return QColor(0xC0, 0xC0, 0xC0);
    case TLampColor::Yellow: return QColor(0xFF, 0xFF, 0x00);
    case TLampColor::Green: return QColor(0x00, 0xC0, 0x00);
    case TLampColor::Red: return QColor(0xFF, 0x00, 0x00);
  }
  return Qt::white;
}

TShape::TShape(const QString& objectName, QWidget* parent) : QWidget(parent) {
  setObjectName(objectName);
  setFixedSize(16, 16);
}

void TShape::setLampColor(TLampColor color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void TShape::setCommColor(TCommColor color) {
  switch (color) {
    case TCommColor::White: setLampColor(TLampColor::White); break;
    case TCommColor::Yellow: setLampColor(TLampColor::Yellow); break;
    case TCommColor::Green: setLampColor(TLampColor::Green); break;
    case TCommColor::Red: setLampColor(TLampColor::Red); break;
  }
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
  p.setBrush(LampQColor(color_));
  const int d = std::min(width(), height()) - 2;
  p.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

}  // namespace ferrolad
