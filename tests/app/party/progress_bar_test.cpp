#include "app/party/progress_bar.h"

#include <gtest/gtest.h>

#include "support/widget_rendering.h"

namespace kovali {
namespace {

QColor trackColor(Appearance) { return QColor(200, 40, 40); }
QColor pausedColor(Appearance) { return QColor(40, 40, 200); }

TEST(ProgressBar, FillsAsFarAsTheSongHasPlayedInTheOwnersColoursAndOrangeWhilePlaying) {
  struct Case {
    const char* name;
    double fraction;
    bool playing;
    int filledUpTo;  // the fill reaches past this x, the track shows beyond `trackFrom`
    int trackFrom;
    QColor fill;
  } cases[] = {
      {"half, playing", 0.5, true, 95, 105, Palette::orange()},
      {"half, paused", 0.5, false, 95, 105, pausedColor(Appearance::light)},
      {"just begun: the smallest fill", 0.001, true, 7, 13, Palette::orange()},
      {"nothing played: no fill", 0, true, -1, 3, Palette::orange()},
  };
  for (const auto& c : cases) {
    ProgressBar bar({.height = 8, .minimumFill = 10, .track = &trackColor, .pausedFill = &pausedColor});
    ProgressModel progress;
    progress.fraction = c.fraction;
    progress.isPlaying = c.playing;
    bar.setProgress(progress);
    const QImage image = renderWidget(bar, QSize(200, 8));
    ASSERT_EQ(image.height(), 8) << c.name;
    if (c.filledUpTo >= 4) {
      EXPECT_TRUE(pixelIs(image, 4, 4, c.fill)) << c.name;
      EXPECT_TRUE(pixelIs(image, c.filledUpTo, 4, c.fill)) << c.name;
    }
    EXPECT_TRUE(pixelIs(image, c.trackFrom, 4, trackColor(Appearance::light))) << c.name;
    EXPECT_TRUE(pixelIs(image, 195, 4, trackColor(Appearance::light))) << c.name;
  }
}

}  // namespace
}  // namespace kovali
