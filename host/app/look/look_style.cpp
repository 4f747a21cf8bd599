#include "app/look/look_style.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionSlider>
#include <algorithm>

#include "app/look/controls/focus_ring.h"
#include "app/look/palette.h"

namespace kovali {

namespace {

constexpr int minimumScrollHandle = 24;
constexpr int scrollHandleInset = 2;
constexpr int grooveThickness = 4;
constexpr double kStockRingRadius = 6;

QRect insideRingRoom(const QRect& whole) {
  return whole.adjusted(focusRingRoom, focusRingRoom, -focusRingRoom, -focusRingRoom);
}

/// Draws a stock control through `draw` without the toolkit's own focus look, and the shared ring
/// around it while it has the focus; `room` draws the control inside the room kept for the ring.
template <class Option, class Draw>
void drawRinged(const Option& option, QPainter& painter, bool room, Draw draw) {
  Option plain = option;
  plain.state &= ~QStyle::State_HasFocus;
  if (room) plain.rect = insideRingRoom(option.rect);
  draw(plain);
  if (option.state & QStyle::State_HasFocus) {
    paintFocusRing(painter, appearanceOf(option.palette), option.rect, kStockRingRadius);
  }
}

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
  // The knob runs inside the room the focus ring keeps.
  QStyleOptionSlider track = slider;
  track.rect = insideRingRoom(slider.rect);
  if (part == QStyle::SC_SliderGroove) return track.rect;
  if (part != QStyle::SC_SliderHandle) return {};
  const int length = lengthOf(track);
  const int knob = std::min(LookStyle::sliderKnob, length);
  const int start =
      QStyle::sliderPositionFromValue(track.minimum, track.maximum, track.sliderPosition, length - knob,
                                      track.upsideDown);
  const QRect stretch = along(track, start, knob);
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
  QRectF groove = sliderPart(slider, QStyle::SC_SliderGroove);
  if (horizontal(slider)) {
    groove.setHeight(grooveThickness);
    groove.moveTop(knob.center().y() + 0.5 - grooveThickness / 2.0);
  } else {
    groove.setWidth(grooveThickness);
    groove.moveLeft(knob.center().x() + 0.5 - grooveThickness / 2.0);
  }
  if (slider.state & QStyle::State_HasFocus) paintFocusRing(painter, appearance, slider.rect, kStockRingRadius);
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
  painter.setPen(QPen(Palette::inkTertiary(appearance), 1));
  painter.setBrush(Palette::surface(appearance));
  painter.drawEllipse(QRectF(knob).adjusted(0.5, 0.5, -0.5, -0.5));
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
  if (const auto* menu = qstyleoption_cast<const QStyleOptionComboBox*>(option); menu && control == CC_ComboBox) {
    drawRinged(*menu, *painter, false, [&](const QStyleOptionComboBox& plain) {
      QProxyStyle::drawComplexControl(control, &plain, painter, widget);
    });
    return;
  }
  QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QSize LookStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                                  const QWidget* widget) const {
  const QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
  const bool keepsRoom = type == CT_PushButton || type == CT_CheckBox;
  return keepsRoom ? size.grownBy(QMargins(focusRingRoom, focusRingRoom, focusRingRoom, focusRingRoom)) : size;
}

void LookStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
  const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
  if (button && (element == CE_PushButton || element == CE_CheckBox)) {
    drawRinged(*button, *painter, true,
               [&](const QStyleOptionButton& plain) { QProxyStyle::drawControl(element, &plain, painter, widget); });
    return;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

void LookStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
  const auto* field = qstyleoption_cast<const QStyleOptionFrame*>(option);
  if (field && element == PE_PanelLineEdit) {
    // A field keeps the room for its ring in its own text margins.
    drawRinged(*field, *painter, false,
               [&](const QStyleOptionFrame& plain) { QProxyStyle::drawPrimitive(element, &plain, painter, widget); });
    return;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void applySharedLook(QApplication& application) { application.setStyle(new LookStyle); }

}  // namespace kovali
