#include <QSignalSpy>
#include <gmock/gmock.h>

#include "music/player_engine_fixture.h"

namespace kovali {
namespace {

TEST_F(PlayerEngineTest, KeepsTheLast300LogLines) {
  for (int i = 1; i <= 301; ++i) engine.log("line " + std::to_string(i));
  ASSERT_EQ(engine.log().size(), PlayerEngine::logCapacity);
  EXPECT_EQ(engine.log().front().text, "line 2");
  EXPECT_EQ(engine.log().back().text, "line 301");

  engine.log("line 302");
  ASSERT_EQ(engine.log().size(), PlayerEngine::logCapacity);
  EXPECT_EQ(engine.log().front().text, "line 3");
  EXPECT_NE(engine.log()[0].id, engine.log()[1].id);
  EXPECT_EQ(engine.log().back().date, scheduler.now());
}

TEST_F(PlayerEngineTest, LogsEveryStrategyAssignmentButNotifiesOnlyAChange) {
  QSignalSpy changes(&engine, &PlayerEngine::strategyChanged);
  engine.setStrategy(PlayerEngine::Strategy::currentAndNext);
  engine.setStrategy(PlayerEngine::Strategy::currentOnly);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_THAT(logTexts(), ::testing::ElementsAre("strategy → Current + next", "strategy → Current only"));
}

TEST_F(PlayerEngineTest, LogsAChangedOutputLatencyOnly) {
  QSignalSpy changes(&engine, &PlayerEngine::outputLatencyChanged);
  engine.setOutputLatency(0);
  engine.setOutputLatency(2.5);
  engine.setOutputLatency(2.5);
  engine.setOutputLatency(2);
  engine.setOutputLatency(0.25);
  EXPECT_EQ(changes.count(), 3);
  EXPECT_THAT(logTexts(), ::testing::ElementsAre("output latency → 2.5s", "output latency → 2.0s",
                                                 "output latency → 0.25s"));
}

TEST(PlayerEngineStrategy, IsBuiltFromItsExactRawValueOnly) {
  using Strategy = PlayerEngine::Strategy;
  EXPECT_EQ(vinaro::enumFromRawValue<Strategy>("Current + next"), Strategy::currentAndNext);
  EXPECT_EQ(vinaro::enumFromRawValue<Strategy>("Current only"), Strategy::currentOnly);
  EXPECT_EQ(vinaro::enumFromRawValue<Strategy>("current only"), std::nullopt);
  EXPECT_EQ(vinaro::enumFromRawValue<Strategy>("Current+next"), std::nullopt);
}

TEST(PlayerEngineTexts, WritesTimesAsMinutesAndSeconds) {
  struct Case {
    double seconds;
    const char* text;
  };
  const Case cases[] = {{0, "0:00"}, {59.99, "0:59"}, {75.9, "1:15"}, {600, "10:00"}, {3600, "60:00"}};
  for (const auto& c : cases) EXPECT_EQ(PlayerEngine::timeText(c.seconds), c.text) << c.seconds;
}

TEST(PlayerEngineTexts, DescribesPlayerErrors) {
  struct Case {
    const char* name;
    MusicPlayerError error;
    const char* sentence;
  };
  const std::string domain = "MPMusicPlayerControllerErrorDomain";
  const Case cases[] = {
      {"another domain", {"kovaliapp.player", 3, std::nullopt, "The sound server is not running."},
       "The sound server is not running. (kovaliapp.player 3)"},
      {"another domain with an underlying error", {"kovaliapp.player", 3, 111, "The sound server is not running."},
       "The sound server is not running. (kovaliapp.player 3, 111)"},
      {"cannot prepare", {domain, 6, std::nullopt, "ignored"},
       "The music player couldn't prepare the song. If no song plays, check that its file can be read. "
       "(MPMusicPlayerControllerErrorDomain 6)"},
      {"not responding wins over cannot prepare", {domain, 6, 9, "ignored"},
       "The music player on this computer isn't responding. If no song plays, restart this computer. "
       "(MPMusicPlayerControllerErrorDomain 6, 9)"},
      {"code 9 counts only underneath", {domain, 9, std::nullopt, "Something else."},
       "Something else. (MPMusicPlayerControllerErrorDomain 9)"},
  };
  for (const auto& c : cases) EXPECT_EQ(PlayerEngine::describe(c.error), c.sentence) << c.name;
}

TEST(PlayerEngineTexts, MapsThePlayersStatusToTheSessions) {
  using vinaro::PlaybackStatus;
  const std::pair<MusicPlayerStatus, PlaybackStatus> cases[] = {
      {MusicPlayerStatus::stopped, PlaybackStatus::stopped},
      {MusicPlayerStatus::playing, PlaybackStatus::playing},
      {MusicPlayerStatus::seekingForward, PlaybackStatus::playing},
      {MusicPlayerStatus::seekingBackward, PlaybackStatus::playing},
      {MusicPlayerStatus::paused, PlaybackStatus::paused},
      {MusicPlayerStatus::interrupted, PlaybackStatus::paused},
      {static_cast<MusicPlayerStatus>(42), PlaybackStatus::stopped},
  };
  for (const auto& [seen, mapped] : cases) {
    EXPECT_EQ(PlayerEngine::sessionStatus(seen), mapped) << vinaro::rawValue(seen);
  }
}

}  // namespace
}  // namespace kovali
