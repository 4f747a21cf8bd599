#include "app/look/symbols/record_mark.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/look/palette.h"

namespace kovali {

namespace {

/// A capsule centred on x = 0 spanning from `top` to `bottom` (grid units).
QPainterPath capsule(double width, double top, double bottom) {
  QPainterPath path;
  path.addRoundedRect(QRectF(-width / 2, top, width, bottom - top), width / 2, width / 2);
  return path;
}

void disc(QPainter& painter, double diameter, const QColor& color) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawEllipse(QPointF(0, 0), diameter / 2, diameter / 2);
}

/// A ring whose outer edge is the circle of `outerDiameter`.
void groove(QPainter& painter, double outerDiameter, const QColor& color) {
  constexpr double lineWidth = 3;
  QPen pen(color, lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  pen.setMiterLimit(10);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const double radius = (outerDiameter - lineWidth) / 2;
  painter.drawEllipse(QPointF(0, 0), radius, radius);
}

}  // namespace

void paintRecordMark(QPainter& painter, const QRectF& square, bool dark) {
  const QColor grooveColor = dark ? QColor(0, 0, 0, qRound(0.12 * 255)) : QColor(255, 255, 255, qRound(0.08 * 255));

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  // The mark is designed on a 200 by 200 grid centred on the origin.
  painter.translate(square.center());
  const double scale = std::min(square.width(), square.height()) / 200.0;
  painter.scale(scale, scale);

  disc(painter, 200, dark ? Palette::amber() : Palette::charcoal());
  groove(painter, 172, grooveColor);
  groove(painter, 140, grooveColor);
  disc(painter, 72, dark ? Palette::cream() : Palette::amber());

  painter.setPen(Qt::NoPen);
  painter.setBrush(dark ? Palette::charcoal() : Palette::cream());
  painter.drawPath(capsule(8, -74, 2));

  painter.save();
  painter.rotate(-47);  // about the centre, so the hand's near end stays on the spindle
  painter.setBrush(dark ? Palette::charcoal() : Palette::orange());
  painter.drawPath(capsule(13, 0, 58));
  painter.restore();

  disc(painter, 16, dark ? Palette::orange() : Palette::charcoal());
  painter.restore();
}

RecordMark::RecordMark(double size, bool dark, QWidget* parent) : QWidget(parent), dark_(dark) {
  const int side = static_cast<int>(std::lround(size));
  setFixedSize(side, side);
}

void RecordMark::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintRecordMark(painter, QRectF(rect()), dark_);
}

}  // namespace kovali
