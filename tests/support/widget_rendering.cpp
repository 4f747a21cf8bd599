#include "support/widget_rendering.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kovali {

QImage renderWidget(QWidget& widget, QSize size) {
  widget.resize(size);
  widget.show();
  QCoreApplication::processEvents();
  return grabWidget(widget);
}

void settleLayouts() {
  // Nested layouts settle one level per pass of posted layout requests.
  for (int pass = 0; pass < 8; ++pass) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QCoreApplication::processEvents();
}

QImage grabWidget(QWidget& widget) {
  settleLayouts();
  return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage screenImage(QWidget& window) {
  settleLayouts();
  return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_ARGB32);
}

::testing::AssertionResult pixelIs(const QImage& image, int x, int y, const QColor& expected, int tolerance) {
  if (!image.valid(x, y)) return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is outside the image";
  const QColor actual = image.pixelColor(x, y);
  const bool near = std::abs(actual.red() - expected.red()) <= tolerance &&
                    std::abs(actual.green() - expected.green()) <= tolerance &&
                    std::abs(actual.blue() - expected.blue()) <= tolerance;
  if (near) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << actual.name().toStdString()
                                       << ", expected " << expected.name().toStdString();
}

namespace {

double relativeLuminance(const QColor& color) {
  const auto linear = [](double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

}  // namespace

double contrastRatio(const QColor& first, const QColor& second) {
  const double a = relativeLuminance(first);
  const double b = relativeLuminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QPalette darkPalette(const QPalette& light) {
  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Base, QColor(40, 40, 40));
  dark.setColor(QPalette::Text, Qt::white);
  return dark;
}

}  // namespace kovali
