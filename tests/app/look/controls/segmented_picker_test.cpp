#include "app/look/controls/segmented_picker.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPalette>

#include "support/widget_rendering.h"

namespace kovali {
namespace {

// The lightness at the left edge of a segment, inside its border and away from its title.
double edgeLightness(const QImage& image, const QAbstractButton& segment) {
  return image.pixelColor(segment.geometry().left() + 3, segment.geometry().center().y()).lightnessF();
}

TEST(SegmentedPicker, TheChosenSegmentStandsOutInTheLightAndTheDarkPalette) {
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, Qt::white);
  for (const QPalette& palette : {light, dark}) {
    QApplication::setPalette(palette);
    SegmentedPicker picker({QStringLiteral("Collaboration"), QStringLiteral("Per requests")});
    picker.setCurrentIndex(1);
    const QImage image = renderWidget(picker, QSize(300, 28));
    const double chosen = edgeLightness(image, *picker.segment(1));
    const double other = edgeLightness(image, *picker.segment(0));
    EXPECT_GT(std::abs(chosen - other), 0.3) << "chosen " << chosen << ", other " << other;
  }
  QApplication::setPalette(light);
}

}  // namespace
}  // namespace kovali
