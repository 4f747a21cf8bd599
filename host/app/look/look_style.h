#pragma once

#include <QProxyStyle>

class QApplication;

namespace kovali {

/// The toolkit's own style with scroll bars and sliders drawn from the host's palette: thin
/// scroll handles without arrows, a slider whose groove, filled part and knob follow the light or
/// dark appearance of the widget they are drawn for.
class LookStyle final : public QProxyStyle {
 public:
  static constexpr int scrollBarExtent = 10;
  static constexpr int sliderThickness = 18;
  static constexpr int sliderKnob = 16;

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
};

/// Makes every window of `application` use the shared look's style.
void applySharedLook(QApplication& application);

}  // namespace kovali
