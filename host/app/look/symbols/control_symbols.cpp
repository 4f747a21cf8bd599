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

QPainterPath arc(QPointF centre, double radius, double startDegrees, double sweepDegrees) {
  const QRectF box(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
  QPainterPath path;
  path.arcMoveTo(box, startDegrees);
  path.arcTo(box, startDegrees, sweepDegrees);
  return stroked(path);
}

QPainterPath musicNote() {
  QPainterPath head;
  head.addEllipse(QPointF(0.42, 0.76), 0.18, 0.14);
  return head.united(polyline({{0.58, 0.74}, {0.58, 0.1}, {0.84, 0.22}}));
}

QPainterPath mic() {
  QPainterPath path = roundedBox(QRectF(0.35, 0.06, 0.3, 0.52), 0.15);
  path = path.united(arc({0.5, 0.42}, 0.28, 180, 180));
  return path.united(polyline({{0.5, 0.72}, {0.5, 0.92}})).united(polyline({{0.34, 0.92}, {0.66, 0.92}}));
}

QPainterPath laptopComputer() {
  return stroked(roundedBox(QRectF(0.18, 0.2, 0.64, 0.46), 0.05)).united(polyline({{0.04, 0.8}, {0.96, 0.8}}, 0.1));
}

QPainterPath airplayAudio() {
  QPainterPath path = arc({0.5, 0.5}, 0.2, -30, 240).united(arc({0.5, 0.5}, 0.38, -30, 240));
  return path.united(polygon({{0.5, 0.6}, {0.28, 0.92}, {0.72, 0.92}}));
}

QPainterPath wave3Right() {
  QPainterPath path;
  for (const double radius : {0.26, 0.52, 0.78}) path = path.united(arc({0.1, 0.5}, radius, -35, 70));
  return path;
}

QPainterPath cableConnector() {
  QPainterPath path = roundedBox(QRectF(0.28, 0.3, 0.44, 0.36), 0.06);
  path = path.united(polyline({{0.4, 0.08}, {0.4, 0.3}})).united(polyline({{0.6, 0.08}, {0.6, 0.3}}));
  return path.united(polyline({{0.5, 0.66}, {0.5, 0.94}}));
}

QPainterPath display() {
  QPainterPath path = stroked(roundedBox(QRectF(0.06, 0.12, 0.88, 0.58), 0.06));
  return path.united(polyline({{0.5, 0.7}, {0.5, 0.86}})).united(polyline({{0.3, 0.88}, {0.7, 0.88}}));
}

QPainterPath speakerWave2() {
  QPainterPath path = polygon({{0.06, 0.36}, {0.24, 0.36}, {0.46, 0.14}, {0.46, 0.86}, {0.24, 0.64}, {0.06, 0.64}});
  return path.united(arc({0.46, 0.5}, 0.2, -45, 90)).united(arc({0.46, 0.5}, 0.38, -45, 90));
}

QPainterPath hifiSpeaker2() {
  QPainterPath path = stroked(roundedBox(QRectF(0.1, 0.16, 0.48, 0.78), 0.06));
  path = path.united(ring({0.34, 0.66}, 0.13)).united(ring({0.34, 0.34}, 0.05, 0.07));
  return path.united(polyline({{0.66, 0.06}, {0.9, 0.06}, {0.9, 0.84}, {0.66, 0.84}}));
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
    case Symbol::musicNote:
      return musicNote();
    case Symbol::mic:
      return mic();
    case Symbol::laptopComputer:
      return laptopComputer();
    case Symbol::airplayAudio:
      return airplayAudio();
    case Symbol::wave3Right:
      return wave3Right();
    case Symbol::cableConnector:
      return cableConnector();
    case Symbol::display:
      return display();
    case Symbol::speakerWave2:
      return speakerWave2();
    case Symbol::checkmark:
      return polyline({{0.14, 0.52}, {0.4, 0.78}, {0.88, 0.22}}, 0.12);
    case Symbol::hifiSpeaker2:
      return hifiSpeaker2();
    default:
      return {};
  }
}

}  // namespace kovali
