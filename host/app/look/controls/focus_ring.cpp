#include "app/look/controls/focus_ring.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "app/look/palette.h"

namespace kovali {

namespace {

constexpr double kRingWidth = 2;
constexpr double kHaloWidth = 1;

void strokeInside(QPainter& painter, const QRectF& shape, double radius, double from, double width,
                  const QColor& color) {
  const double inset = from + width / 2;
  const double corner = std::max(0.0, radius - inset);
  painter.setPen(QPen(color, width));
  painter.drawRoundedRect(shape.adjusted(inset, inset, -inset, -inset), corner, corner);
}

}  // namespace

void paintFocusRing(QPainter& painter, const QWidget& control, const QRectF& shape, double radius) {
  if (control.hasFocus()) paintFocusRing(painter, appearanceOf(control), shape, radius);
}

void paintFocusRing(QPainter& painter, Appearance appearance, const QRectF& shape, double radius) {
  painter.save();
  painter.setOpacity(1);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  strokeInside(painter, shape, radius, kRingWidth, kHaloWidth, Palette::surface(appearance));
  strokeInside(painter, shape, radius, 0, kRingWidth, Palette::focusRing(appearance));
  painter.restore();
}

}  // namespace kovali
