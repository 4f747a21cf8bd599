#include "app/look/hairline.h"

#include <QPainter>

#include "app/look/palette.h"

namespace kovali {

Hairline::Hairline(Qt::Orientation orientation, QWidget* parent) : QWidget(parent) {
  if (orientation == Qt::Horizontal) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  } else {
    setFixedWidth(1);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  }
}

void Hairline::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), Palette::hairline(appearanceOf(*this))); }

RoundedSurface::RoundedSurface(double cornerRadius, QWidget* parent) : QWidget(parent), cornerRadius_(cornerRadius) {}

void RoundedSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Palette::surface(appearanceOf(*this)));
  painter.drawRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
}

}  // namespace kovali
