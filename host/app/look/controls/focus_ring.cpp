#include "app/look/controls/focus_ring.h"

#include <QPainter>
#include <QWidget>

#include "app/look/palette.h"

namespace kovali {

namespace {

constexpr double kRingWidth = 2;

}  // namespace

void paintFocusRing(QPainter& painter, const QWidget& control, const QRectF& shape, double radius) {
  if (!control.hasFocus()) return;
  painter.save();
  painter.setOpacity(1);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(withOpacity(Palette::teal(), 0.75), kRingWidth));
  painter.setBrush(Qt::NoBrush);
  const double inset = kRingWidth / 2;
  painter.drawRoundedRect(shape.adjusted(inset, inset, -inset, -inset), radius, radius);
  painter.restore();
}

}  // namespace kovali
