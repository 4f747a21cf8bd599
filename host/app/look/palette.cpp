#include "app/look/palette.h"

#include <QPalette>
#include <QWidget>

namespace kovali {

namespace {

QColor rgb(double red, double green, double blue) { return QColor::fromRgbF(red, green, blue); }

}  // namespace

Appearance appearanceOf(const QPalette& palette) {
  return palette.color(QPalette::Window).lightnessF() < 0.5 ? Appearance::dark : Appearance::light;
}

Appearance appearanceOf(const QWidget& widget) { return appearanceOf(widget.palette()); }

const QColor& Palette::cream() {
  static const QColor color = rgb(0.953, 0.914, 0.824);
  return color;
}

const QColor& Palette::charcoal() {
  static const QColor color = rgb(0.169, 0.169, 0.169);
  return color;
}

const QColor& Palette::amber() {
  static const QColor color = rgb(0.878, 0.647, 0.149);
  return color;
}

const QColor& Palette::teal() {
  static const QColor color = rgb(0.165, 0.549, 0.51);
  return color;
}

const QColor& Palette::mint() {
  static const QColor color = rgb(0.365, 0.792, 0.647);
  return color;
}

const QColor& Palette::orange() {
  static const QColor color = rgb(0.831, 0.341, 0.165);
  return color;
}

QColor Palette::ink(Appearance appearance) { return appearance == Appearance::dark ? cream() : charcoal(); }

QColor Palette::paper(Appearance appearance) { return appearance == Appearance::dark ? charcoal() : cream(); }

QColor Palette::surface(Appearance appearance) {
  static const QColor darkSurface = rgb(0.23, 0.23, 0.23);
  return appearance == Appearance::dark ? darkSurface : QColor(Qt::white);
}

QColor Palette::inkSecondary(Appearance appearance) { return withOpacity(ink(appearance), 0.62); }

QColor Palette::inkTertiary(Appearance appearance) { return withOpacity(ink(appearance), 0.4); }

QColor Palette::inkQuaternary(Appearance appearance) { return withOpacity(ink(appearance), 0.14); }

QColor Palette::hairline(Appearance appearance) { return withOpacity(ink(appearance), 0.12); }

// Teal at full strength is 3.4:1 on cream and charcoal and 4.1:1 on white; on dark grounds mint.
QColor Palette::focusRing(Appearance appearance) { return appearance == Appearance::dark ? mint() : teal(); }

QColor withOpacity(QColor color, double opacity) {
  color.setAlphaF(static_cast<float>(opacity));
  return color;
}

void setForeground(QWidget& widget, const QColor& color) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::Text, color);
  widget.setPalette(palette);
}

}  // namespace kovali
