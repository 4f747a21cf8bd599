#include "app/look/symbols/badge_icon.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "support/widget_rendering.h"

namespace kovali {
namespace {

QColor blend(const QColor& over, double opacity, const QColor& under) {
  auto mix = [&](int a, int b) { return static_cast<int>(std::lround(a * opacity + b * (1 - opacity))); };
  return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()), mix(over.blue(), under.blue()));
}

TEST(BadgeIcon, DrawsTheTiersSymbolInItsColourOnAFaintDiscAndIsNamedByItsTitle) {
  using vinaro::SupporterTier;
  struct Case {
    SupporterTier tier;
    QColor color;
    const char* title;
  } cases[] = {
      {SupporterTier::guest, QColor::fromRgbF(0.2, 0.62, 0.33), "Guest"},
      {SupporterTier::regular, QColor::fromRgbF(0.86, 0.2, 0.24), "Regular"},
      {SupporterTier::gold, QColor::fromRgbF(0.93, 0.68, 0), "Gold Member"},
      {SupporterTier::vip, QColor::fromRgbF(0.49, 0.31, 0.8), "VIP Member"},
  };
  for (const auto& c : cases) {
    BadgeIcon badge(c.tier, 40);
    const QImage image = grabWidget(badge);
    const QColor background = image.pixelColor(0, 0);  // outside the disc
    EXPECT_EQ(badge.accessibleName(), QString::fromLatin1(c.title)) << c.title;
    EXPECT_TRUE(pixelIs(image, 20, 20, c.color)) << c.title << ": the symbol";
    EXPECT_TRUE(pixelIs(image, 20, 2, blend(c.color, 0.18, background))) << c.title << ": the disc";
  }
}

TEST(Symbol, EverySymbolDrawsInsideItsBoxOnly) {
  for (const Symbol symbol : allSymbols) {
    QImage image(60, 60, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      paintSymbol(painter, symbol, QRectF(10, 10, 40, 40), Qt::black);
    }
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < 60; ++y) {
      for (int x = 0; x < 60; ++x) {
        if (qAlpha(image.pixel(x, y)) == 0) continue;
        // Round pens may reach a pixel past the edge.
        (x >= 9 && x < 51 && y >= 9 && y < 51 ? inside : outside) += 1;
      }
    }
    EXPECT_GT(inside, 100) << "symbol " << static_cast<int>(symbol) << " draws something";
    EXPECT_EQ(outside, 0) << "symbol " << static_cast<int>(symbol);
  }
}

}  // namespace
}  // namespace kovali
