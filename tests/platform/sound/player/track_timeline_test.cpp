#include "platform/sound/player/track_timeline.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

using Position = TrackTimeline::Position;

TEST(TrackTimeline, TellsWhichEntryIsHeardAndHowFarIntoIt) {
  TrackTimeline timeline;
  EXPECT_EQ(timeline.at(0), std::nullopt);
  timeline.begin("1", 1000);
  timeline.begin("2", 5000);  // ends "1" there
  timeline.end(7000);

  struct Case {
    std::int64_t played;
    std::optional<Position> heard;
  };
  const Case cases[] = {
      {900, Position{"1", 0}},  // still the latency of what was dropped before
      {1000, Position{"1", 0}},
      {4999, Position{"1", 3999}},
      {5000, Position{"2", 0}},
      {6999, Position{"2", 1999}},
      {7000, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(timeline.at(c.played), c.heard) << c.played;
  EXPECT_FALSE(timeline.isFinished(6999));
  EXPECT_TRUE(timeline.isFinished(7000));
}

TEST(TrackTimeline, AnEntryWithoutSoundIsPassedOver) {
  TrackTimeline timeline;
  timeline.begin("1", 0);
  timeline.end(100);
  timeline.begin("2", 100);  // unreadable: begun and ended at once
  timeline.end(100);
  timeline.begin("3", 100);
  EXPECT_EQ(timeline.at(100), (Position{"3", 0}));
  EXPECT_FALSE(timeline.isFinished(1'000'000));
}

TEST(TrackTimeline, ForgetsEntriesThatWereHeardToTheirEnd) {
  TrackTimeline timeline;
  timeline.begin("1", 0);
  timeline.begin("2", 100);
  timeline.dropBefore(150);
  EXPECT_EQ(timeline.at(50), (Position{"2", 0}));  // "1" is gone
  timeline.clear();
  EXPECT_EQ(timeline.at(150), std::nullopt);
}

}  // namespace
}  // namespace kovali
