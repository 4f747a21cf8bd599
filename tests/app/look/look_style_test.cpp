#include "app/look/look_style.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>

#include "app/look/palette.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

QColor over(const QColor& top, const QColor& bottom) {
  const double alpha = top.alphaF();
  const auto mix = [alpha](double upper, double lower) { return upper * alpha + lower * (1 - alpha); };
  return QColor::fromRgbF(mix(top.redF(), bottom.redF()), mix(top.greenF(), bottom.greenF()),
                          mix(top.blueF(), bottom.blueF()));
}

TEST(LookStyle, ScrollBarsAndSlidersAreDrawnInThePalettesColoursWithoutArrows) {
  const QColor lightWindow = Palette::cream();
  const QColor darkWindow = Palette::charcoal();
  QPalette light;
  light.setColor(QPalette::Window, lightWindow);
  QPalette dark;
  dark.setColor(QPalette::Window, darkWindow);
  enum class Where { handleMiddle, barTop, grooveEnd, grooveStart };
  struct Case {
    const char* name;
    const QPalette& palette;
    Where where;
    QColor expected;
  } cases[] = {
      {"light scroll handle", light, Where::handleMiddle, over(LookStyle::scrollHandle(light, false), lightWindow)},
      {"dark scroll handle", dark, Where::handleMiddle, over(LookStyle::scrollHandle(dark, false), darkWindow)},
      {"no arrow above a handle at the end", light, Where::barTop, lightWindow},
      {"light groove after the knob", light, Where::grooveEnd, over(LookStyle::sliderGroove(light), lightWindow)},
      {"dark groove after the knob", dark, Where::grooveEnd, over(LookStyle::sliderGroove(dark), darkWindow)},
      {"filled groove before the knob", dark, Where::grooveStart, LookStyle::sliderFilled()},
  };
  LookStyle style;
  for (const auto& c : cases) {
    QWidget window;
    window.setPalette(c.palette);
    window.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    const bool scrolling = c.where == Where::handleMiddle || c.where == Where::barTop;
    QAbstractSlider* control = scrolling ? static_cast<QAbstractSlider*>(new QScrollBar(Qt::Vertical))
                                         : new QSlider(Qt::Horizontal);
    control->setStyle(&style);
    control->setRange(0, 100);
    control->setPageStep(scrolling ? 50 : 10);
    control->setValue(c.where == Where::handleMiddle ? 50 : c.where == Where::barTop ? 100 : 50);
    layout->addWidget(control);
    const QImage image = renderWidget(window, scrolling ? QSize(LookStyle::scrollBarExtent, 200) : QSize(200, 24));
    const QRect area = control->geometry();
    const QPoint point = c.where == Where::handleMiddle ? area.center()
                         : c.where == Where::barTop     ? QPoint(area.center().x(), area.top() + 4)
                         : c.where == Where::grooveEnd  ? QPoint(area.right() - 4, area.center().y())
                                                        : QPoint(area.left() + 4, area.center().y());
    EXPECT_TRUE(pixelIs(image, point.x(), point.y(), c.expected)) << c.name;
  }
}

}  // namespace
}  // namespace kovali
