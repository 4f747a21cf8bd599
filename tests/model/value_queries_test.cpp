#include <gtest/gtest.h>

#include <cmath>

#include "model/playback_state.h"
#include "support/sample_values.h"

namespace vinaro {
namespace {

TEST(ArtworkURL, FillsEveryPlaceholderAndRefusesInvalidURLs) {
  struct Case {
    const char* name;
    std::optional<std::string> urlTemplate;
    int width, height;
    std::optional<std::string> expected;
  } cases[] = {
      {"no template", std::nullopt, 300, 200, std::nullopt},
      {"size suffix", "https://a.example/img/{w}x{h}bb.jpg", 300, 200, "https://a.example/img/300x200bb.jpg"},
      {"placeholder twice", "https://a.example/{w}/{w}x{h}", 64, 32, "https://a.example/64/64x32"},
      {"negative size", "https://a.example/{w}x{h}", -1, 0, "https://a.example/-1x0"},
      {"space makes it invalid", "https://a.example/my art/{w}.jpg", 1, 1, std::nullopt},
      {"empty template", "", 1, 1, std::nullopt},
      {"bad percent escape", "https://a.example/%zz/{w}", 1, 1, std::nullopt},
      {"bad scheme", "1http://x/{w}", 1, 1, std::nullopt},
      {"file path", "file:///music/cover.jpg", 1, 1, "file:///music/cover.jpg"},
  };
  for (const auto& c : cases) {
    Track song = samples::track("t");
    song.artworkURLTemplate = c.urlTemplate;
    EXPECT_EQ(song.artworkURL(c.width, c.height), c.expected) << c.name;
    PlaylistRef ref = samples::album("a");
    ref.artworkURLTemplate = c.urlTemplate;
    EXPECT_EQ(ref.artworkURL(c.width, c.height), c.expected) << c.name;
  }
}

TEST(PlaybackPosition, ExtrapolatesWhilePlayingWithinTheTrack) {
  const Date observed{100000};
  struct Case {
    const char* name;
    PlaybackStatus status;
    double elapsed;
    std::optional<double> duration;
    double secondsLater;
    double expected;
  } cases[] = {
      {"playing advances", PlaybackStatus::playing, 10, 200.0, 15, 25},
      {"clamped to duration", PlaybackStatus::playing, 10, 20.0, 15, 20},
      {"asked before observation", PlaybackStatus::playing, 10, 200.0, -5, 10},
      {"no duration, no bound", PlaybackStatus::playing, 10, std::nullopt, 1000, 1010},
      {"paused ignores time", PlaybackStatus::paused, 10, 200.0, 15, 10},
      {"stopped ignores time", PlaybackStatus::stopped, 10, 200.0, 15, 10},
      {"paused past duration clamped", PlaybackStatus::paused, 300, 200.0, 0, 200},
      {"negative elapsed gives 0", PlaybackStatus::paused, -3, 200.0, 0, 0},
      {"NaN elapsed gives 0", PlaybackStatus::playing, std::nan(""), 200.0, 5, 0},
  };
  for (const auto& c : cases) {
    Track song = samples::track("t", c.duration);
    const PlaybackState playback{c.status, QueueItem{"q", song, samples::ana, Date{0}}, c.elapsed, observed};
    EXPECT_DOUBLE_EQ(playback.position(observed.addingSeconds(c.secondsLater)), c.expected) << c.name;
  }
  const PlaybackState nothingLoaded{PlaybackStatus::playing, std::nullopt, 5, observed};
  EXPECT_DOUBLE_EQ(nothingLoaded.position(observed.addingSeconds(1000)), 1005);
}

TEST(SupporterTier, IsOrderedByDeclarationAndNamedForPeople) {
  EXPECT_GT(SupporterTier::gold, SupporterTier::regular);
  EXPECT_LT(SupporterTier::guest, SupporterTier::regular);
  for (SupporterTier tier : allCases<SupporterTier>()) EXPECT_LE(tier, SupporterTier::vip);
  EXPECT_EQ(displayName(SupporterTier::gold), "Gold Member");
  EXPECT_EQ(displayName(SupporterTier::vip), "VIP Member");
  EXPECT_EQ(Participant::host("Mac"), (Participant{"host", "Mac", Role::dj}));
}

}  // namespace
}  // namespace vinaro
