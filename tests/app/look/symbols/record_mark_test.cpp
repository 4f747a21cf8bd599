#include "app/look/symbols/record_mark.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

#include "app/look/palette.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

QImage drawMark(int side, bool dark) {
  QImage image(side, side, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  paintRecordMark(painter, QRectF(0, 0, side, side), dark);
  return image;
}

TEST(RecordMark, DrawsEachLayerAtItsGridPlaceInBothVariantsAndAtAnySize) {
  // Points on the 200-unit grid, relative to the centre, each inside one layer only.
  struct Layer {
    const char* name;
    QPointF grid;
    QColor light;
    QColor dark;
  } layers[] = {
      {"disc", {-3, 94}, Palette::charcoal(), Palette::amber()},
      {"label", {-26, 0}, Palette::amber(), Palette::cream()},
      {"long hand", {0, -55}, Palette::cream(), Palette::charcoal()},
      // The short hand points down, turned 47 degrees toward the right about the centre.
      {"short hand", {40 * std::sin(47 * M_PI / 180), 40 * std::cos(47 * M_PI / 180)}, Palette::orange(),
       Palette::charcoal()},
      {"spindle", {0, 0}, Palette::charcoal(), Palette::orange()},
  };
  for (const int side : {200, 60}) {
    for (const bool dark : {false, true}) {
      const QImage image = drawMark(side, dark);
      const double scale = side / 200.0;
      for (const auto& layer : layers) {
        const QPointF at = QPointF(side / 2.0, side / 2.0) + layer.grid * scale;
        EXPECT_TRUE(pixelIs(image, static_cast<int>(at.x()), static_cast<int>(at.y()), dark ? layer.dark : layer.light))
            << layer.name << " at side " << side << (dark ? ", dark" : ", light");
      }
      EXPECT_TRUE(pixelIs(image, 0, 0, Qt::white)) << "the corners stay clear at side " << side;
    }
  }
}

TEST(RecordMark, GroovesAreFaintRingsInsideTheirCircles) {
  const QImage image = drawMark(200, false);
  // The outer groove's stroke spans radii 83 to 86; just outside it is the plain disc.
  const QColor groove = image.pixelColor(100, 100 - 85);
  const QColor disc = image.pixelColor(100, 100 - 88);
  EXPECT_TRUE(pixelIs(image, 100, 100 - 88, Palette::charcoal()));
  EXPECT_GT(groove.lightness(), disc.lightness()) << "a white line at 8 % over the disc";
  EXPECT_LT(groove.lightness(), disc.lightness() + 30);
}

TEST(RecordMark, WidgetHasTheSideItIsGiven) {
  RecordMark mark(60, true);
  EXPECT_EQ(mark.size(), QSize(60, 60));
  EXPECT_TRUE(pixelIs(grabWidget(mark), 30, 30, Palette::orange())) << "the spindle of the dark variant";
}

}  // namespace
}  // namespace kovali
