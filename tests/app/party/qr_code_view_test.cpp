#include "app/party/qr_code_view.h"

#include <QPainter>
#include <gtest/gtest.h>

#include "app/look/palette.h"
#include "support/qr_decoder.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

/// The code on a quiet zone of four modules, as a scanner wants it.
QImage withQuietZone(const QImage& code) {
  const int margin = 4 * 8;
  QImage framed(code.width() + 2 * margin, code.height() + 2 * margin, QImage::Format_ARGB32);
  framed.fill(Qt::white);
  QPainter(&framed).drawImage(margin, margin, code);
  return framed;
}

TEST(QRCodeView, ImageHoldsTheTextWithCharcoalModulesOnTransparency) {
  const QString text = QStringLiteral("kovali://join?host=Kitchen&session=ABC");
  const auto image = QRCodeView::makeImage(text);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), image->height());
  EXPECT_EQ(image->width() % 8, 0) << "8 pixels a module";
  // The top-left finder pattern: a dark corner module, and a light ring one module inside it.
  EXPECT_EQ(image->pixelColor(0, 0).rgba(), Palette::charcoal().rgba());
  EXPECT_EQ(image->pixelColor(8 + 4, 8 + 4).alpha(), 0);
  EXPECT_EQ(decodeQRCodes(withQuietZone(*image)), std::vector<std::string>{text.toStdString()});
}

TEST(QRCodeView, NoImageWhenTheTextIsTooLongForAnyCode) {
  EXPECT_EQ(QRCodeView::makeImage(QString(4000, QLatin1Char('x'))), std::nullopt);
}

TEST(QRCodeView, TileEncodesTheLinksURLNotTheRawHostAndDescribesItself) {
  const vinaro::JoinLink link{"Zoé's Party Mac", "7F3C2A10-0000-4000-8000-00000000A11C"};
  QRCodeView view(link, 170);
  const QImage image = grabWidget(view);

  EXPECT_EQ(image.size(), QSize(170, 170));
  EXPECT_EQ(view.accessibleName(), QStringLiteral("Join QR code for Zoé's Party Mac"));
  EXPECT_EQ(decodeQRCodes(image), std::vector<std::string>{link.url()});
  EXPECT_NE(link.url().find("Zo%C3%A9%27s%20Party%20Mac"), std::string::npos) << link.url();
  // The 7 % inset shows the cream tile; the corners are cut round at 8 %.
  EXPECT_TRUE(pixelIs(image, 85, 6, Palette::cream()));
  EXPECT_TRUE(pixelIs(image, 6, 85, Palette::cream()));
  EXPECT_FALSE(pixelIs(image, 0, 0, Palette::cream())) << "outside the rounded corner";
}

TEST(QRCodeView, KeepsItsProportionsAtAnySize) {
  const vinaro::JoinLink link{"Kitchen", "S"};
  for (const int side : {100, 300}) {
    QRCodeView view(link, side);
    const QImage image = grabWidget(view);
    const int inset = static_cast<int>(side * 0.07);
    EXPECT_TRUE(pixelIs(image, inset - 1, inset - 1, Palette::cream())) << "inside the inset at " << side;
    EXPECT_TRUE(pixelIs(image, inset + 1, inset + 1, Palette::charcoal())) << "the first module at " << side;
    EXPECT_EQ(decodeQRCodes(image), std::vector<std::string>{link.url()}) << side;
  }
}

TEST(QRCodeView, ATextNoCodeCanHoldStillGivesAFullTileWithItsLabel) {
  const vinaro::JoinLink link{std::string(3000, 'x'), "S"};
  QRCodeView view(link, 170);
  const QImage image = grabWidget(view);

  EXPECT_EQ(image.size(), QSize(170, 170));
  EXPECT_TRUE(decodeQRCodes(image).empty());
  EXPECT_EQ(view.accessibleName().left(17), QStringLiteral("Join QR code for "));
  const QColor centre = image.pixelColor(85, 85);
  EXPECT_NE(centre, Palette::cream()) << "a faint grey fill over the cream";
  EXPECT_LT(std::abs(centre.lightness() - Palette::cream().lightness()), 60);
}

}  // namespace
}  // namespace kovali
