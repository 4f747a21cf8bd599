#pragma once

#include <QProxyStyle>

#include "app/look/controls/focus_ring.h"

class QApplication;

namespace kovali {

/// The toolkit's own style with scroll bars and sliders drawn from the host's palette: thin
/// scroll handles without arrows, a slider whose groove, filled part and knob follow the light or
/// dark appearance of the widget they are drawn for. Sliders, buttons, check boxes, fields and
/// menus show their focus with the shared focus ring; buttons and check boxes keep room for it.
class LookStyle final : public QProxyStyle {
 public:
  static constexpr int scrollBarExtent = 10;
  static constexpr int sliderKnob = 16;
  static constexpr int sliderThickness = sliderKnob + 2 * focusRingRoom;

  /// Colour of a scroll handle at rest, and while it is dragged.
  static QColor scrollHandle(const QPalette& palette, bool pressed);
  /// Colours of a slider's groove before and after its knob.
  static QColor sliderFilled();
  static QColor sliderGroove(const QPalette& palette);

  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                          const QWidget* widget) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                         const QWidget* widget) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};

/// Makes every window of `application` use the shared look's style.
void applySharedLook(QApplication& application);

}  // namespace kovali
