#include "app/look/text/fitted_label.h"

#include <gtest/gtest.h>

#include "app/look/system_font.h"

namespace kovali {
namespace {

FittedLabel::Fit fitTitle(const QString& text, int width) {
  FittedLabel label(2, 0.7);
  label.setFont(systemFont(32, QFont::DemiBold));
  label.setText(text);
  return label.fit(width);
}

TEST(FittedLabel, AShortTextKeepsItsSizeOnOneLine) {
  const auto fit = fitTitle(QStringLiteral("Song"), 600);
  EXPECT_EQ(fit.font.pixelSize(), 32);
  EXPECT_EQ(fit.lines, QStringList{QStringLiteral("Song")});
}

TEST(FittedLabel, ATextTooLongForItsLinesIsSetSmallerBeforeItIsCut) {
  const QString text = QStringLiteral("A rather long song title that wraps");
  const int width = QFontMetrics(systemFont(32, QFont::DemiBold)).horizontalAdvance(text) / 2 + 40;
  const auto twoLines = fitTitle(text + QStringLiteral(" once more"), width);
  EXPECT_EQ(twoLines.lines.size(), 2);
  EXPECT_LT(twoLines.font.pixelSize(), 32) << "three lines at full size";
  EXPECT_GE(twoLines.font.pixelSize(), 23) << "never below 0.7 of 32";
  EXPECT_EQ(twoLines.lines.join(QString()), text + QStringLiteral(" once more")) << "nothing cut";

  const auto cut = fitTitle(text.repeated(6), width);
  EXPECT_EQ(cut.font.pixelSize(), 23);
  ASSERT_EQ(cut.lines.size(), 2);
  EXPECT_TRUE(cut.lines[1].endsWith(QChar(0x2026))) << cut.lines[1].toStdString();
}

TEST(FittedLabel, ShowsMarkupAndLineBreaksAsPlainText) {
  FittedLabel label(1, 1.0);
  label.setFont(systemFont(14));
  label.setText(QStringLiteral("<b>DJ</b> &amp;\nfriends"));
  const auto fit = label.fit(2000);
  ASSERT_EQ(fit.lines.size(), 1);
  EXPECT_EQ(fit.lines[0], QStringLiteral("<b>DJ</b> &amp; friends"));
}

}  // namespace
}  // namespace kovali
