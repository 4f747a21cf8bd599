#include "app/look/palette.h"

#include <QPalette>
#include <gtest/gtest.h>

namespace kovali {
namespace {

TEST(Palette, TheWindowColoursLightnessDecidesTheAppearance) {
  struct Case {
    const char* name;
    QColor window;
    Appearance expected;
  } cases[] = {
      {"white", Qt::white, Appearance::light},
      {"light grey", QColor(239, 239, 239), Appearance::light},
      {"dark grey", QColor(53, 53, 53), Appearance::dark},
      {"black", Qt::black, Appearance::dark},
      {"saturated but light", QColor(255, 220, 120), Appearance::light},
      {"saturated but dark", QColor(20, 30, 90), Appearance::dark},
  };
  for (const auto& c : cases) {
    QPalette palette;
    palette.setColor(QPalette::Window, c.window);
    EXPECT_EQ(appearanceOf(palette), c.expected) << c.name;
  }
}

TEST(Palette, AppearanceColoursSwapInkAndPaperAndKeepTheirOpacities) {
  EXPECT_EQ(Palette::ink(Appearance::light), Palette::charcoal());
  EXPECT_EQ(Palette::ink(Appearance::dark), Palette::cream());
  EXPECT_EQ(Palette::paper(Appearance::light), Palette::cream());
  EXPECT_EQ(Palette::paper(Appearance::dark), Palette::charcoal());
  EXPECT_EQ(Palette::surface(Appearance::light), QColor(Qt::white));
  EXPECT_EQ(Palette::surface(Appearance::dark), QColor::fromRgbF(0.23, 0.23, 0.23));
  for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
    EXPECT_EQ(Palette::inkSecondary(appearance).rgb(), Palette::ink(appearance).rgb());
    EXPECT_NEAR(Palette::inkSecondary(appearance).alphaF(), 0.62, 0.005);
    EXPECT_NEAR(Palette::inkTertiary(appearance).alphaF(), 0.4, 0.005);
    EXPECT_NEAR(Palette::inkQuaternary(appearance).alphaF(), 0.14, 0.005);
    EXPECT_NEAR(Palette::hairline(appearance).alphaF(), 0.12, 0.005);
  }
}

}  // namespace
}  // namespace kovali
