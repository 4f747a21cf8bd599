// The stream player against the real stream server on 127.0.0.1. The PulseServer tests play
// sound and run only inside tests/platform/sound/pulse_music_player_test.sh, which starts a
// server with a null sink "music" as the default output.

#include "platform/sound/airplay/pulse_stream_player.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/airplay_rig_fixture.h"
#include "support/live_tone_stream.h"
#include "support/sound_recording.h"
#include "support/speaker_capture.h"

namespace kovali {
namespace {

constexpr double segmentSeconds = 48128.0 / 48000;  // 47 AAC frames of 1024
constexpr double priming = 1024.0 / 48000;

using LiveStream = test::LiveToneStream;  // a live tone at 440 Hz

/// Loads `url` and answers the first status reported within `patience` milliseconds.
std::pair<StreamPlayer::ItemStatus, std::string> loadAndWait(StreamPlayer& player, const QUrl& url, int patience = 8000) {
  QSignalSpy status(&player, &StreamPlayer::itemStatusChanged);
  player.load(url);
  if (!status.wait(patience)) return {StreamPlayer::ItemStatus::unknown, "no status within the patience"};
  return {status.front()[0].value<StreamPlayer::ItemStatus>(), status.front()[1].value<std::string>()};
}

TEST(PulseStreamPlayer, AStreamThatCannotBeLoadedFailsWithASentence) {
  LiveStream live;
  ASSERT_NE(live.port(), 0);
  struct Case {
    const char* name;
    QUrl url;
    std::string sentence;
  } cases[] = {
      {"missing playlist", live.url("/missing.m3u8"), "The stream's playlist could not be loaded (HTTP 404)."},
      {"not a playlist", live.url("/init.mp4"), "The stream's playlist is not an HLS playlist."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PulseStreamPlayer player;
    const auto [status, sentence] = loadAndWait(player, c.url);
    EXPECT_EQ(status, StreamPlayer::ItemStatus::failed);
    EXPECT_EQ(sentence, c.sentence);
    EXPECT_TRUE(player.hasItem());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.currentTime(), std::nullopt);
    EXPECT_EQ(player.route(), StreamPlayer::Route::unknown);
  }
}

TEST(PulseServerStreamPlayer, PlaysTheLiveStreamOnThisComputerWithItsTimeAndSeekableRange) {
  LiveStream live;
  ASSERT_NE(live.port(), 0);
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");
  PulseStreamPlayer player;
  const auto [status, sentence] = loadAndWait(player, live.url());
  ASSERT_EQ(status, StreamPlayer::ItemStatus::readyToPlay) << sentence;
  EXPECT_TRUE(player.isPlaying());
  EXPECT_EQ(player.route(), StreamPlayer::Route::thisComputer);
  EXPECT_TRUE(player.outputDevices().empty());

  const auto before = player.currentTime();
  QTest::qWait(600);
  const auto after = player.currentTime();
  ASSERT_TRUE(before && after);
  EXPECT_NEAR(*after - *before, 0.6, 0.2);

  // The newest segment the player has read ends the range: the stream's newest, or the one
  // before when the stream cut another since the player's last reload.
  QTest::qWait(3000);
  const auto range = player.seekableRange();
  ASSERT_TRUE(range);
  const auto newest = live.newestSegment();
  const double end = range->end + priming;
  EXPECT_TRUE(std::abs(end - (newest + 1) * segmentSeconds) < 1e-3 || std::abs(end - newest * segmentSeconds) < 1e-3)
      << "end " << range->end << " with segment " << newest << " the newest";
  EXPECT_LT(range->start, *player.currentTime());
  EXPECT_GT(range->end, *player.currentTime());

  const auto& sound = recorder.stop();
  EXPECT_GT(secondsOfTone(sound, 440), 1.0);
  player.stop();
  EXPECT_FALSE(player.hasItem());
  EXPECT_EQ(player.seekableRange(), std::nullopt);
}

TEST(PulseServerStreamPlayer, ListsASpeakerWithAnOldAndANewSinkOnceUnderItsNewSink) {
  // Sinks named like AirPlay ones; the second stands for the one made when the speaker came back.
  std::vector<int> loaded;
  struct Unload {
    std::vector<int>& loaded;
    ~Unload() {
      for (const int index : loaded) unloadServerModule(index);
    }
  } unload{loaded};
  for (const char* name : {"raop_kitchen_old", "raop_kitchen_new", "raop_patio"}) {
    const std::string speaker = std::string(name).find("kitchen") != std::string::npos ? "Kitchen" : "Patio";
    const auto index =
        loadServerModule("module-null-sink", "sink_name=" + std::string(name) + " sink_properties=device.description=" + speaker);
    ASSERT_TRUE(index.has_value()) << name;
    loaded.push_back(*index);
  }
  PulseStreamPlayer player;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !player.speakerChoices().empty(); }, 5000));
  const std::vector<StreamPlayer::SpeakerChoice> listed{{"raop_kitchen_new", "Kitchen", false},
                                                        {"raop_patio", "Patio", false}};
  EXPECT_EQ(player.speakerChoices(), listed);

  player.setSpeakerChosen("raop_kitchen_new", true);
  const std::vector<StreamPlayer::SpeakerChoice> chosen{{"raop_kitchen_new", "Kitchen", true},
                                                        {"raop_patio", "Patio", false}};
  EXPECT_EQ(player.speakerChoices(), chosen);
  ASSERT_EQ(player.outputDevices().size(), 1u);
  EXPECT_EQ(player.outputDevices().front().id, "raop_kitchen_new") << "the menu's id is the sink it plays on";
}

/// The stream player on the speakers of tests/platform/sound/airplay_rig_test.sh.
class AirPlayRigStreamPlayer : public AirPlayRigTest {
 protected:
  /// The id the picker lists for the speaker named `name`.
  std::optional<std::string> idOf(const std::string& name) const {
    for (const auto& choice : player_.speakerChoices()) {
      if (choice.name == name) return choice.id;
    }
    return std::nullopt;
  }

  PulseStreamPlayer player_;
};

// The tone changes once both speakers play it: a speaker whose sink started late (PipeWire's
// AirPlay sink drops what it missed, and a busy machine starts it later still) still has to
// change with the other.
TEST_F(AirPlayRigStreamPlayer, PlaysOnBothSpeakersTogetherAtTheirVolumes) {
  constexpr float quieter = 0.7f;
  const auto speakers = rigSpeakers();
  ASSERT_TRUE(QTest::qWaitFor([&] { return idOf(speakers[0].name) && idOf(speakers[1].name); }, 30000))
      << "the picker never listed both speakers on " << rigServer();
  for (const auto& speaker : speakers) player_.setSpeakerChosen(*idOf(speaker.name), true);
  ASSERT_EQ(player_.outputDevices().size(), 2u);
  player_.setOutputVolume(*idOf(speakers[0].name), 1.0f);
  player_.setOutputVolume(*idOf(speakers[1].name), quieter);

  LiveStream live;
  ASSERT_NE(live.port(), 0);
  std::vector<std::unique_ptr<SpeakerCapture>> captures;
  for (const auto& speaker : speakers) captures.push_back(std::make_unique<SpeakerCapture>(speaker.capture));
  const auto [status, sentence] = loadAndWait(player_, live.url());
  ASSERT_EQ(status, StreamPlayer::ItemStatus::readyToPlay) << sentence;
  EXPECT_EQ(player_.route(), StreamPlayer::Route::speakers);

  const auto bothPlay = [&](double tone) {
    return [&captures, tone] {
      for (auto& capture : captures) {
        if (!capture->read() || secondsOfTone(capture->sound(), tone, capture->rate) < 1.0) return false;
      }
      return true;
    };
  };
  ASSERT_TRUE(QTest::qWaitFor(bothPlay(440), 25000))
      << "the first tone did not reach both speakers on " << rigServer() << ": "
      << secondsOfTone(captures[0]->sound(), 440, captures[0]->rate) << " s and "
      << secondsOfTone(captures[1]->sound(), 440, captures[1]->rate) << " s";
  // The player holds seconds of the stream ahead: both go on with the first tone a while longer.
  live.setTone(660);
  ASSERT_TRUE(QTest::qWaitFor(bothPlay(660), 25000))
      << "the changed tone did not reach both speakers on " << rigServer() << ": "
      << secondsOfTone(captures[0]->sound(), 660, captures[0]->rate) << " s and "
      << secondsOfTone(captures[1]->sound(), 660, captures[1]->rate) << " s";
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_GT(secondsOfTone(captures[i]->sound(), 440, captures[i]->rate), 2.0) << speakers[i].name;
  }
  const auto first = captures[0]->onset(660);
  const auto second = captures[1]->onset(660);
  ASSERT_TRUE(first && second);
  const double apart = std::chrono::duration<double>(*first - *second).count();
  EXPECT_LT(std::abs(apart), 0.020 + rigTimekeeping().apart) << "the tone changed " << apart << " s apart on " << rigServer();

  // PulseAudio sends a sink's volume to the speaker, PipeWire scales the sink's sound: either way
  // the speaker plays quieter.
  for (const auto& device : player_.outputDevices()) {
    EXPECT_NEAR(device.volume.value_or(-1), device.name == speakers[0].name ? 1.0f : quieter, 0.01f) << device.name;
  }
  const double loud = captures[0]->level(660);
  const double quiet = captures[1]->level(660);
  EXPECT_GT(quiet, 0.0);
  EXPECT_LT(quiet, loud * 0.8) << "levels " << loud << " and " << quiet << " on " << rigServer();
  std::printf("on %s: the tone changed %.3f s apart, levels %.3f and %.3f\n", rigServer().c_str(), apart, loud, quiet);
}

}  // namespace
}  // namespace kovali
