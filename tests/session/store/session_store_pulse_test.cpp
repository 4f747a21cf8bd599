// The party on the real player and a real sound server; see pulse_party.h.

#include <QElapsedTimer>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "session/store/pulse_party.h"
#include "support/sound_recording.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;

TEST_F(PulseServerPartyTest, SongsWhoseFilesWentAwayAreSkippedWithTheirReasonAndThePartyPlaysOn) {
  // Gone first, in the middle, two in a row, and last.
  const auto songs = index({{"Gone first", {1500}, 1.0},
                            {"Low", {440}, 1.0},
                            {"Gone middle", {1500}, 1.0},
                            {"Gone twice", {1500}, 1.0},
                            {"High", {880}, 1.0},
                            {"Gone last", {1500}, 1.0}});
  ASSERT_EQ(songs.size(), 6u);
  for (const auto& song : songs) store().add(song);
  for (const auto* gone : {&songs[0], &songs[2], &songs[3], &songs[5]}) ASSERT_EQ(std::remove(pathOf(*gone).c_str()), 0);
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");

  ASSERT_TRUE(store().dispatch(vinaro::action::Play{}, vinaro::Actor::host()));
  std::vector<std::string> played;
  const bool ended = waitUntil(
      [&] {
        const auto title = currentTitle();
        if (title != "none" && (played.empty() || played.back() != title)) played.push_back(title);
        return title == "none" && store().state().queue.empty();
      },
      20);
  const auto& sound = recorder.stop();

  ASSERT_TRUE(ended) << "still at " << currentTitle();
  for (const char* title : {"Gone first", "Gone middle", "Gone twice", "Gone last"}) {
    EXPECT_TRUE(logged(std::string("skipped ") + title + ": The file ")) << title;
  }
  EXPECT_NE(store().state().playback.status, PlaybackStatus::playing);
  // Both readable songs were heard in full, in order, and nothing of the others.
  EXPECT_NEAR(secondsOfTone(sound, 440), 1.0, 0.2);
  EXPECT_NEAR(secondsOfTone(sound, 880), 1.0, 0.2);
  EXPECT_EQ(secondsOfTone(sound, 1500), 0);
  const auto low = std::ranges::find(played, "Low");
  const auto high = std::ranges::find(played, "High");
  EXPECT_TRUE(low != played.end() && high != played.end() && low < high);
}

// From the first play on, the position the party shows is the one heard on the sink.
TEST_F(PulseServerPartyTest, ThePartyShowsThePositionThatIsHeardFromTheFirstPlayOn) {
  const auto songs = index({{"Four notes", {300, 500, 700, 900}, 0.5}});
  ASSERT_EQ(songs.size(), 1u);
  store().add(songs[0]);
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");
  QElapsedTimer clock;  // counts from the recording's first sample
  clock.start();
  ASSERT_TRUE(store().dispatch(vinaro::action::Play{}, vinaro::Actor::host()));
  struct Shown {
    double at;  // seconds on the recording's clock
    double position;
  };
  std::vector<Shown> shown;
  waitUntil(
      [&] {
        shown.push_back({static_cast<double>(clock.nsecsElapsed()) / 1e9, sessionPosition()});
        return shown.back().position > 1.6;
      },
      6);
  QTest::qWait(2000);  // what the sink played last reaches the recording
  const auto& sound = recorder.stop();

  // Where the third note begins, 1 s into the song, as heard and as shown at that moment.
  const std::size_t window = recordingRate / 50;
  std::optional<double> heardAt;
  for (std::size_t start = 0; start + window <= sound.size() && !heardAt; start += window) {
    if (std::abs(toneOf(sound.data() + start, window) - 700) < 60) heardAt = static_cast<double>(start) / recordingRate;
  }
  ASSERT_TRUE(heardAt) << "the song was not heard";
  const auto after = std::ranges::find_if(shown, [&](const Shown& s) { return s.at >= *heardAt; });
  ASSERT_NE(after, shown.end());
  std::printf("shown %.3f s when 1.000 s was heard\n", after->position);
  EXPECT_NEAR(after->position, 1.0, 0.25);
}

/// The tone of the first 50 ms of `sound` that carry one, or 0.
double firstTone(const std::vector<float>& sound) {
  const std::size_t window = recordingRate / 20;
  for (std::size_t start = 0; start + window <= sound.size(); start += window) {
    if (const double tone = toneOf(sound.data() + start, window); tone > 0) return tone;
  }
  return 0;
}

// The sound server goes away in the middle of a song and comes back; Play goes on where the
// party shows the song, heard as the note playing there.
TEST_F(PulseServerPartyTest, AfterTheSoundServerCameBackPlayGoesOnWhereThePartyIs) {
  if (!std::getenv("KOVALI_SOUND_SERVER_CONTROL")) GTEST_SKIP() << "needs the server control of the test script";
  const std::vector<double> notes{300, 400, 500, 600, 700, 800, 900, 1000};
  const auto songs = index({{"Steps", notes, 0.5}});
  ASSERT_EQ(songs.size(), 1u);
  store().add(songs[0]);
  ASSERT_TRUE(store().dispatch(vinaro::action::Play{}, vinaro::Actor::host()));
  ASSERT_TRUE(waitUntil([&] { return systemPlayer.playbackTime() > 1.6; }, 5));

  ASSERT_TRUE(controlSoundServer("stop"));
  const bool paused = waitUntil([&] { return store().state().playback.status == PlaybackStatus::paused; }, 5);
  const double shown = sessionPosition();
  ASSERT_TRUE(controlSoundServer("start"));
  ASSERT_TRUE(paused);
  EXPECT_GT(shown, 1.4);
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");
  ASSERT_TRUE(store().dispatch(vinaro::action::Play{}, vinaro::Actor::host()));
  const bool playing = waitUntil([&] { return systemPlayer.playbackTime() > shown + 0.6; }, 5);
  const double playerTime = systemPlayer.playbackTime();
  const double party = sessionPosition();
  const auto& sound = recorder.stop();

  ASSERT_TRUE(playing) << "the player is at " << systemPlayer.playbackTime();
  EXPECT_EQ(currentTitle(), "Steps");
  EXPECT_NEAR(party, playerTime, 0.25);
  // Heard from the note at the position shown (or the next, at a note's very end), never the first.
  const auto at = static_cast<std::size_t>(shown / 0.5);
  const double heard = firstTone(sound);
  EXPECT_TRUE(std::abs(heard - notes[at]) < 30 || std::abs(heard - notes[at + 1]) < 30) << heard << " Hz at " << shown;
  EXPECT_EQ(secondsOfTone(sound, notes[0]), 0);
}

}  // namespace
}  // namespace kovali
