#include "app/look/symbols/symbol.h"

#include "app/look/symbols/control_symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <numbers>

namespace kovali {

namespace {

// Every symbol is drawn on a 1 by 1 grid, then scaled into the box.

QPainterPath capsule(QPointF from, QPointF to, double width) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(Qt::RoundCap);
  QPainterPath line(from);
  line.lineTo(to);
  return stroker.createStroke(line);
}

QPainterPath ticket() {
  QPainterPath body;
  body.addRoundedRect(QRectF(0.04, 0.2, 0.92, 0.6), 0.08, 0.08);
  QPainterPath notches;
  notches.addEllipse(QPointF(0.04, 0.5), 0.1, 0.1);
  notches.addEllipse(QPointF(0.96, 0.5), 0.1, 0.1);
  for (const double y : {0.28, 0.42, 0.56, 0.7}) notches.addRect(QRectF(0.66, y - 0.03, 0.04, 0.06));
  return body.subtracted(notches);
}

QPainterPath heart() {
  QPainterPath path(QPointF(0.5, 0.9));
  path.cubicTo(0.2, 0.68, 0.02, 0.5, 0.02, 0.32);
  path.cubicTo(0.02, 0.17, 0.14, 0.08, 0.28, 0.08);
  path.cubicTo(0.38, 0.08, 0.46, 0.14, 0.5, 0.22);
  path.cubicTo(0.54, 0.14, 0.62, 0.08, 0.72, 0.08);
  path.cubicTo(0.86, 0.08, 0.98, 0.17, 0.98, 0.32);
  path.cubicTo(0.98, 0.5, 0.8, 0.68, 0.5, 0.9);
  path.closeSubpath();
  return path;
}

QPainterPath star() {
  QPainterPath path;
  const QPointF centre(0.5, 0.54);
  for (int i = 0; i < 10; ++i) {
    const double radius = i % 2 == 0 ? 0.5 : 0.21;
    const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
    const QPointF point = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
    if (i == 0) {
      path.moveTo(point);
    } else {
      path.lineTo(point);
    }
  }
  path.closeSubpath();
  return path;
}

QPainterPath crown() {
  QPainterPath path;
  path.moveTo(0.08, 0.3);
  path.lineTo(0.3, 0.55);
  path.lineTo(0.5, 0.2);
  path.lineTo(0.7, 0.55);
  path.lineTo(0.92, 0.3);
  path.lineTo(0.82, 0.76);
  path.lineTo(0.18, 0.76);
  path.closeSubpath();
  path.addEllipse(QPointF(0.08, 0.27), 0.065, 0.065);
  path.addEllipse(QPointF(0.5, 0.17), 0.065, 0.065);
  path.addEllipse(QPointF(0.92, 0.27), 0.065, 0.065);
  path.addRoundedRect(QRectF(0.18, 0.81, 0.64, 0.09), 0.03, 0.03);
  return path.simplified();
}

QPainterPath waveform() {
  static constexpr std::array heights = {0.18, 0.42, 0.7, 0.94, 0.56, 0.8, 0.48, 0.28, 0.14};
  QPainterPath path;
  for (std::size_t i = 0; i < heights.size(); ++i) {
    const double x = 0.06 + 0.11 * static_cast<double>(i);
    const double half = heights[i] / 2;
    path.addPath(capsule(QPointF(x, 0.5 - half + 0.035), QPointF(x, 0.5 + half - 0.035), 0.07));
  }
  return path;
}

/// One person's outline: a head and rounded shoulders, standing on `baseline`.
QPainterPath person(QPointF head, double headRadius, double shoulderHalfWidth, double baseline) {
  QPainterPath path;
  path.addEllipse(head, headRadius, headRadius);
  const double top = head.y() + headRadius * 1.55;
  path.moveTo(head.x() - shoulderHalfWidth, baseline);
  path.cubicTo(head.x() - shoulderHalfWidth, top, head.x() + shoulderHalfWidth, top, head.x() + shoulderHalfWidth,
               baseline);
  path.closeSubpath();
  return path;
}

QPainterPath people2() {
  QPainterPath path = person(QPointF(0.68, 0.3), 0.11, 0.2, 0.74);
  path.addPath(person(QPointF(0.38, 0.36), 0.14, 0.26, 0.86));
  return path;
}

QPainterPath people3() {
  QPainterPath path = person(QPointF(0.2, 0.34), 0.09, 0.16, 0.74);
  path.addPath(person(QPointF(0.8, 0.34), 0.09, 0.16, 0.74));
  path.addPath(person(QPointF(0.5, 0.36), 0.13, 0.24, 0.86));
  return path;
}

QPainterPath hand() {
  QPainterPath palm;
  palm.addRoundedRect(QRectF(0.24, 0.42, 0.52, 0.5), 0.2, 0.2);
  const std::array<std::pair<double, double>, 4> fingers = {{{0.3, 0.24}, {0.42, 0.1}, {0.54, 0.1}, {0.66, 0.2}}};
  for (const auto& [x, top] : fingers) palm = palm.united(capsule(QPointF(x, top), QPointF(x, 0.55), 0.1));
  return palm.united(capsule(QPointF(0.3, 0.66), QPointF(0.12, 0.46), 0.1));
}

/// A ring with an exclamation mark inside, cut out of one filled shape.
QPainterPath exclamationCircle() {
  QPainterPath ring;
  ring.addEllipse(QPointF(0.5, 0.5), 0.46, 0.46);
  QPainterPath hole;
  hole.addEllipse(QPointF(0.5, 0.5), 0.38, 0.38);
  QPainterPath mark = ring.subtracted(hole);
  mark.addPath(capsule(QPointF(0.5, 0.26), QPointF(0.5, 0.56), 0.09));
  mark.addEllipse(QPointF(0.5, 0.72), 0.055, 0.055);
  return mark;
}

void fill(QPainter& painter, const QPainterPath& path, const QColor& color) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawPath(path);
}

void outline(QPainter& painter, const QPainterPath& path, const QColor& color) {
  QPen pen(color, 0.06);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(path);
}

}  // namespace

void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color) {
  const double side = std::min(box.width(), box.height());
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(box.center() - QPointF(side / 2, side / 2));
  painter.scale(side, side);
  switch (symbol) {
    case Symbol::ticketFill: fill(painter, ticket(), color); break;
    case Symbol::heartFill: fill(painter, heart(), color); break;
    case Symbol::starFill: fill(painter, star(), color); break;
    case Symbol::crownFill: fill(painter, crown(), color); break;
    case Symbol::waveform: fill(painter, waveform(), color); break;
    case Symbol::person2: outline(painter, people2(), color); break;
    case Symbol::person3: outline(painter, people3(), color); break;
    case Symbol::handRaised: outline(painter, hand(), color); break;
    case Symbol::exclamationCircle: fill(painter, exclamationCircle(), color); break;
    default: fill(painter, controlSymbolPath(symbol), color); break;
  }
  painter.restore();
}

}  // namespace kovali
