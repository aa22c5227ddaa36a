// A round indicator lamp (the shp... controls of the status area).
#pragma once

#include <QColor>
#include <QWidget>

#include "comm/comm_view.h"
#include "device/status_model.h"

namespace ferrolad {

QColor LampQColor(TLampColor color);

class TShape final : public QWidget {
  Q_OBJECT
 public:
  explicit TShape(const QString& objectName, QWidget* parent = nullptr);

  void setLampColor(TLampColor color);
  void setCommColor(TCommColor color);
  TLampColor lampColor() const { return color_; }
  QSize sizeHint() const override { return {16, 16}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TLampColor color_ = TLampColor::White;
};

}  // namespace ferrolad
