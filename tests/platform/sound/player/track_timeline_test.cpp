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

TEST(TrackTimeline, AnEntryResumedPartWayCountsFromWhereItResumed) {
  TrackTimeline timeline;
  timeline.begin("1", 1000, 192000);  // 4 s into the song
  EXPECT_EQ(timeline.at(1000), (Position{"1", 192000}));
  EXPECT_EQ(timeline.at(1480), (Position{"1", 192480}));
}

TEST(TrackTimeline, WritingAgainFromAFrameForgetsWhatWasWrittenFromThere) {
  struct Case {
    std::int64_t cut;
    std::optional<Position> heardAt5500;
    bool finishedAt6000;
  };
  // "1" from 0 to 5000, "2" from 5000 on, written up to 7000.
  const Case cases[] = {
      {5000, std::nullopt, true},         // "2" goes; "1" still ends at 5000
      {6000, Position{"2", 500}, true},   // "2" was heard already: it ends at the cut
      {4000, std::nullopt, true},         // "1" is cut short too
  };
  for (const auto& c : cases) {
    TrackTimeline timeline;
    timeline.begin("1", 0);
    timeline.begin("2", 5000);
    timeline.end(7000);
    timeline.cutAt(c.cut);
    EXPECT_EQ(timeline.at(5500), c.heardAt5500) << c.cut;
    EXPECT_EQ(timeline.isFinished(6000), c.finishedAt6000) << c.cut;
    EXPECT_FALSE(timeline.isFinished(c.cut - 1)) << c.cut;
  }
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

TEST(TrackTimeline, TellsWhichEntryWasBegunBeforeAFrame) {
  TrackTimeline timeline;
  EXPECT_EQ(timeline.entryBefore(0), std::nullopt);
  timeline.begin("1", 0);
  timeline.begin("2", 100);
  timeline.begin("3", 200);
  timeline.cutAt(250);  // "3" keeps what was written of it
  const std::pair<std::int64_t, std::optional<std::string>> cases[] = {
      {0, std::nullopt}, {1, "1"}, {100, "1"}, {101, "2"}, {200, "2"}, {250, "3"},
  };
  for (const auto& [frame, entry] : cases) EXPECT_EQ(timeline.entryBefore(frame), entry) << frame;
}

}  // namespace
}  // namespace kovali
