#include "app/look/symbols/control_symbols.h"

#include <QPainterPathStroker>
#include <initializer_list>

namespace kovali {

namespace {

// Lines are turned into filled shapes of this width, so every control symbol is one fill.
constexpr double kLine = 0.09;

QPainterPath stroked(const QPainterPath& line, double width = kLine) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(Qt::RoundCap);
  stroker.setJoinStyle(Qt::RoundJoin);
  return stroker.createStroke(line);
}

QPainterPath polyline(std::initializer_list<QPointF> points, double width = kLine) {
  QPainterPath path;
  for (const QPointF& point : points) {
    if (path.elementCount() == 0) {
      path.moveTo(point);
    } else {
      path.lineTo(point);
    }
  }
  return stroked(path, width);
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(points)));
  path.closeSubpath();
  // Rounded corners, as the system's filled symbols have.
  return path.united(stroked(path, 0.08));
}

QPainterPath ring(QPointF centre, double radius, double width = kLine) {
  QPainterPath circle;
  circle.addEllipse(centre, radius, radius);
  return stroked(circle, width);
}

QPainterPath roundedBox(const QRectF& box, double radius) {
  QPainterPath path;
  path.addRoundedRect(box, radius, radius);
  return path;
}

QPainterPath pause() {
  return roundedBox(QRectF(0.18, 0.1, 0.22, 0.8), 0.05).united(roundedBox(QRectF(0.6, 0.1, 0.22, 0.8), 0.05));
}

QPainterPath forwardEnd() {
  return polygon({{0.12, 0.14}, {0.12, 0.86}, {0.66, 0.5}}).united(roundedBox(QRectF(0.72, 0.12, 0.14, 0.76), 0.04));
}

QPainterPath clock() { return ring({0.5, 0.5}, 0.42).united(polyline({{0.5, 0.24}, {0.5, 0.5}, {0.68, 0.6}})); }

QPainterPath trash() {
  QPainterPath path = polyline({{0.1, 0.22}, {0.9, 0.22}});
  path = path.united(polyline({{0.36, 0.2}, {0.38, 0.08}, {0.62, 0.08}, {0.64, 0.2}}));
  path = path.united(polyline({{0.2, 0.24}, {0.25, 0.92}, {0.75, 0.92}, {0.8, 0.24}}));
  path = path.united(polyline({{0.42, 0.38}, {0.43, 0.76}}));
  return path.united(polyline({{0.58, 0.38}, {0.57, 0.76}}));
}

QPainterPath checkmarkCircle() {
  QPainterPath disc;
  disc.addEllipse(QPointF(0.5, 0.5), 0.48, 0.48);
  return disc.subtracted(polyline({{0.29, 0.52}, {0.44, 0.67}, {0.72, 0.36}}, 0.1));
}

QPainterPath arrowUpToLine() {
  QPainterPath path = polyline({{0.16, 0.1}, {0.84, 0.1}});
  path = path.united(polyline({{0.5, 0.3}, {0.5, 0.9}}));
  return path.united(polyline({{0.24, 0.56}, {0.5, 0.3}, {0.76, 0.56}}));
}

QPainterPath xmark() { return polyline({{0.18, 0.18}, {0.82, 0.82}}).united(polyline({{0.82, 0.18}, {0.18, 0.82}})); }

QPainterPath headphones() {
  QPainterPath band;
  band.moveTo(0.14, 0.62);
  band.cubicTo(0.14, 0.04, 0.86, 0.04, 0.86, 0.62);
  QPainterPath path = stroked(band);
  path = path.united(roundedBox(QRectF(0.08, 0.5, 0.2, 0.4), 0.06));
  return path.united(roundedBox(QRectF(0.72, 0.5, 0.2, 0.4), 0.06));
}

QPainterPath person() {
  QPainterPath shoulders;
  shoulders.moveTo(0.16, 0.9);
  shoulders.cubicTo(0.16, 0.52, 0.84, 0.52, 0.84, 0.9);
  shoulders.closeSubpath();
  return ring({0.5, 0.3}, 0.17).united(stroked(shoulders));
}

QPainterPath squareStack() {
  QPainterPath front;
  front.addRoundedRect(QRectF(0.1, 0.36, 0.8, 0.54), 0.08, 0.08);
  QPainterPath path = stroked(front);
  path = path.united(polyline({{0.18, 0.24}, {0.82, 0.24}}));
  return path.united(polyline({{0.28, 0.1}, {0.72, 0.1}}));
}

QPainterPath musicNoteList() {
  QPainterPath path;
  for (const double y : {0.2, 0.4, 0.6}) path = path.united(polyline({{0.08, y}, {0.5, y}}));
  path = path.united(polyline({{0.08, 0.8}, {0.36, 0.8}}));
  path = path.united(polyline({{0.82, 0.74}, {0.82, 0.14}, {0.94, 0.2}}));
  QPainterPath head;
  head.addEllipse(QPointF(0.71, 0.78), 0.13, 0.11);
  return path.united(head);
}

QPainterPath handThumbsUp() {
  QPainterPath fist;
  fist.moveTo(0.34, 0.46);
  fist.lineTo(0.48, 0.1);
  fist.cubicTo(0.6, 0.1, 0.62, 0.22, 0.58, 0.4);
  fist.lineTo(0.84, 0.4);
  fist.cubicTo(0.94, 0.4, 0.94, 0.52, 0.88, 0.56);
  fist.lineTo(0.8, 0.9);
  fist.lineTo(0.34, 0.9);
  fist.closeSubpath();
  return stroked(fist).united(stroked(roundedBox(QRectF(0.08, 0.46, 0.18, 0.44), 0.03)));
}

QPainterPath magnifyingGlass() {
  return ring({0.42, 0.42}, 0.3, 0.1).united(polyline({{0.64, 0.64}, {0.88, 0.88}}, 0.13));
}

}  // namespace

QPainterPath controlSymbolPath(Symbol symbol) {
  switch (symbol) {
    case Symbol::playFill:
      return polygon({{0.2, 0.1}, {0.2, 0.9}, {0.86, 0.5}});
    case Symbol::pauseFill:
      return pause();
    case Symbol::forwardEndFill:
      return forwardEnd();
    case Symbol::clock:
      return clock();
    case Symbol::trash:
      return trash();
    case Symbol::checkmarkCircleFill:
      return checkmarkCircle();
    case Symbol::arrowUpToLine:
      return arrowUpToLine();
    case Symbol::xmark:
      return xmark();
    case Symbol::headphones:
      return headphones();
    case Symbol::person:
      return person();
    case Symbol::squareStack:
      return squareStack();
    case Symbol::musicNoteList:
      return musicNoteList();
    case Symbol::handThumbsUp:
      return handThumbsUp();
    case Symbol::magnifyingGlass:
      return magnifyingGlass();
    default:
      return {};
  }
}

}  // namespace kovali
