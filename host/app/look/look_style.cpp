#include "app/look/look_style.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>

#include "app/look/palette.h"

namespace kovali {

namespace {

constexpr int minimumScrollHandle = 24;
constexpr int scrollHandleInset = 2;
constexpr int grooveThickness = 4;

bool horizontal(const QStyleOptionSlider& slider) { return slider.orientation == Qt::Horizontal; }

/// A stretch `[start, start + length)` along the control's length, as a rectangle across all of it.
QRect along(const QStyleOptionSlider& slider, int start, int length) {
  const QRect& whole = slider.rect;
  return horizontal(slider) ? QRect(whole.x() + start, whole.y(), length, whole.height())
                            : QRect(whole.x(), whole.y() + start, whole.width(), length);
}

int lengthOf(const QStyleOptionSlider& slider) {
  return horizontal(slider) ? slider.rect.width() : slider.rect.height();
}

QRect scrollBarPart(const QStyleOptionSlider& bar, QStyle::SubControl part) {
  const int length = lengthOf(bar);
  const qint64 range = qint64(bar.maximum) - bar.minimum;
  int handle = range > 0 ? static_cast<int>(qint64(bar.pageStep) * length / (range + bar.pageStep)) : length;
  handle = std::clamp(handle, std::min(minimumScrollHandle, length), length);
  const int start =
      QStyle::sliderPositionFromValue(bar.minimum, bar.maximum, bar.sliderPosition, length - handle, bar.upsideDown);
  switch (part) {
    case QStyle::SC_ScrollBarGroove:
      return bar.rect;
    case QStyle::SC_ScrollBarSlider:
      return along(bar, start, handle);
    case QStyle::SC_ScrollBarSubPage:
      return along(bar, 0, start);
    case QStyle::SC_ScrollBarAddPage:
      return along(bar, start + handle, length - start - handle);
    default:
      return {};  // no arrows, no first and last buttons
  }
}

QRect sliderPart(const QStyleOptionSlider& slider, QStyle::SubControl part) {
  if (part == QStyle::SC_SliderGroove) return slider.rect;
  if (part != QStyle::SC_SliderHandle) return {};
  const int length = lengthOf(slider);
  const int knob = std::min(LookStyle::sliderKnob, length);
  const int start =
      QStyle::sliderPositionFromValue(slider.minimum, slider.maximum, slider.sliderPosition, length - knob,
                                      slider.upsideDown);
  const QRect stretch = along(slider, start, knob);
  QRect square(0, 0, knob, knob);
  square.moveCenter(stretch.center());
  return square;
}

void drawScrollBar(const QStyleOptionSlider& bar, QPainter& painter) {
  if (bar.maximum == bar.minimum) return;
  const bool pressed = (bar.state & QStyle::State_Sunken) && (bar.activeSubControls & QStyle::SC_ScrollBarSlider);
  const QRectF handle =
      QRectF(scrollBarPart(bar, QStyle::SC_ScrollBarSlider)).adjusted(scrollHandleInset, scrollHandleInset,
                                                                      -scrollHandleInset, -scrollHandleInset);
  const double radius = std::min(handle.width(), handle.height()) / 2;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(LookStyle::scrollHandle(bar.palette, pressed));
  painter.drawRoundedRect(handle, radius, radius);
}

void drawSlider(const QStyleOptionSlider& slider, QPainter& painter) {
  const Appearance appearance = appearanceOf(slider.palette);
  const QRect knob = sliderPart(slider, QStyle::SC_SliderHandle);
  QRectF groove = QRectF(slider.rect).adjusted(1, 1, -1, -1);
  if (horizontal(slider)) {
    groove.setHeight(grooveThickness);
    groove.moveTop(knob.center().y() + 0.5 - grooveThickness / 2.0);
  } else {
    groove.setWidth(grooveThickness);
    groove.moveLeft(knob.center().x() + 0.5 - grooveThickness / 2.0);
  }
  // The part between the minimum and the knob is filled.
  QRectF filled = groove;
  const QPointF middle = QRectF(knob).center();
  if (horizontal(slider)) {
    slider.upsideDown ? filled.setLeft(middle.x()) : filled.setRight(middle.x());
  } else {
    slider.upsideDown ? filled.setTop(middle.y()) : filled.setBottom(middle.y());
  }
  const double radius = grooveThickness / 2.0;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(LookStyle::sliderGroove(slider.palette));
  painter.drawRoundedRect(groove, radius, radius);
  painter.setBrush(slider.state & QStyle::State_Enabled ? LookStyle::sliderFilled() : Palette::inkTertiary(appearance));
  painter.drawRoundedRect(filled, radius, radius);
  const bool focused = slider.state & QStyle::State_HasFocus;
  const double rim = focused ? 2 : 1;
  painter.setPen(QPen(focused ? Palette::focusRing(appearance) : Palette::inkTertiary(appearance), rim));
  painter.setBrush(Palette::surface(appearance));
  painter.drawEllipse(QRectF(knob).adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2));
}

}  // namespace

QColor LookStyle::scrollHandle(const QPalette& palette, bool pressed) {
  const Appearance appearance = appearanceOf(palette);
  return pressed ? Palette::inkTertiary(appearance) : withOpacity(Palette::ink(appearance), 0.25);
}

QColor LookStyle::sliderFilled() { return Palette::teal(); }

QColor LookStyle::sliderGroove(const QPalette& palette) { return Palette::inkQuaternary(appearanceOf(palette)); }

int LookStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  switch (metric) {
    case PM_ScrollBarExtent:
      return scrollBarExtent;
    case PM_ScrollBarSliderMin:
      return minimumScrollHandle;
    case PM_SliderThickness:
    case PM_SliderControlThickness:
      return sliderThickness;
    case PM_SliderLength:
      return sliderKnob;
    default:
      return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

QRect LookStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                                const QWidget* widget) const {
  if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option)) {
    if (control == CC_ScrollBar) return scrollBarPart(*slider, part);
    if (control == CC_Slider) return sliderPart(*slider, part);
  }
  return QProxyStyle::subControlRect(control, option, part, widget);
}

void LookStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                   const QWidget* widget) const {
  if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option)) {
    if (control == CC_ScrollBar || control == CC_Slider) {
      painter->save();
      control == CC_ScrollBar ? drawScrollBar(*slider, *painter) : drawSlider(*slider, *painter);
      painter->restore();
      return;
    }
  }
  QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void applySharedLook(QApplication& application) { application.setStyle(new LookStyle); }

}  // namespace kovali
