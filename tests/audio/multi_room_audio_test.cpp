#include "audio/multi_room_audio.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "audio/observed_multi_room.h"
#include "platform/runtime/in_memory_preferences.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

const std::string kNoAirPlay =
    "Multi-room needs the sound server's AirPlay support: install the pulseaudio-module-raop package.";

TEST(MultiRoomAudio, ReadsItsTwoSettingsWithTheirDefaults) {
  struct Case {
    const char* name;
    QVariant playsOnMac;
    QVariant macVolume;
    bool expectedPlaysOnMac;
    int expectedMacVolume;
  } cases[] = {
      {"nothing stored", {}, {}, true, 100},
      {"both stored", false, 35, false, 35},
      {"as a settings file keeps them", QStringLiteral("false"), QStringLiteral("35"), false, 35},
      {"values of another kind", QStringLiteral("no"), 0.5, true, 100},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    if (c.playsOnMac.isValid()) preferences.setValue(MultiRoomAudio::playsOnMacKey, c.playsOnMac);
    if (c.macVolume.isValid()) preferences.setValue(MultiRoomAudio::macVolumeKey, c.macVolume);

    Observed observed(preferences);

    EXPECT_EQ(observed.audio->playsOnMac(), c.expectedPlaysOnMac) << c.name;
    EXPECT_EQ(observed.audio->macVolume(), c.expectedMacVolume) << c.name;
    EXPECT_EQ(observed.audio->status(), MultiRoomAudio::Status::off()) << c.name;
  }
}

TEST(MultiRoomAudio, StartsTapsTheMusicServesTheStreamAndLoadsThePlayerAfterThreeSegments) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  LogCapture system("kovaliapp.multiroom");

  observed.startOn();
  const auto port = observed.audio->streamURL()->port();
  EXPECT_EQ(observed.audio->streamURL()->toString().toStdString(),
            "http://127.0.0.1:" + std::to_string(port) + "/stream.m3u8");
  EXPECT_EQ(observed.lines, (std::vector<std::string>{
                                "status → starting",
                                "tapping 1 music stream(s): 48000 Hz, 2 ch, clock Built-in Audio",
                                "status → on",
                                "stream server on port " + std::to_string(port),
                            }));
  EXPECT_EQ(observed.audio->tappedProcessCount(), 1);
  EXPECT_EQ(observed.capture->started.front().source, "music");
  EXPECT_EQ(observed.audio->summary(), "On · preparing the stream…");

  observed.waitForSegments(2);
  observed.tick();
  EXPECT_TRUE(observed.player->loads.empty()) << "two segments are not enough";
  observed.waitForSegments(3);
  observed.tick();
  ASSERT_EQ(observed.player->loads.size(), 1u);
  EXPECT_EQ(observed.player->loads.front(), *observed.audio->streamURL());
  EXPECT_TRUE(logged(observed, "player loaded http://127.0.0.1:" + std::to_string(port) + "/stream.m3u8"));
  EXPECT_TRUE(observed.audio->isStreaming());

  const auto linesBefore = observed.lines.size();
  observed.player->becomeReady();
  EXPECT_EQ(std::vector<std::string>(observed.lines.begin() + static_cast<long>(linesBefore), observed.lines.end()),
            std::vector<std::string>{"player ready"});
  EXPECT_EQ(system.lines(), observed.lines) << "every line also reaches the system log";
}

TEST(MultiRoomAudio, SummariesFollowTheStateWhileOn) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  EXPECT_EQ(observed.audio->summary(), "Off. The music plays through the sound output above.");

  observed.audio->start();
  EXPECT_EQ(observed.audio->summary(), "On · waiting for the music to start");
  EXPECT_EQ(observed.audio->tappedProcessCount(), 0);
  EXPECT_TRUE(logged(observed, "no music stream yet; waiting for the music to start"));

  observed.musicPlays();
  EXPECT_TRUE(logged(observed, "music streams changed: 1 now"));
  EXPECT_EQ(observed.audio->summary(), "On · preparing the stream…");
  ASSERT_TRUE(QTest::qWaitFor([&] { return observed.audio->streamURL().has_value(); }, 5000));
  observed.waitForSegments(3);
  observed.deliver(2.5, 0);
  observed.tick();
  EXPECT_EQ(observed.audio->summary(), "On · the music is paused or silent");

  observed.player->becomeReady();
  observed.player->time = 10.0;
  observed.player->range = StreamPlayer::TimeRange{0, 10.4};
  observed.deliver(0.5);
  observed.tick();
  EXPECT_EQ(observed.audio->summary(), "On · playing on this computer only about 1.5 s behind. Pick speakers in the "
                                       "list to add them.");
  EXPECT_FALSE(observed.audio->summaryIsError());

  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});
  observed.tick();
  EXPECT_EQ(observed.audio->playerRoute(), MultiRoomAudio::Route::speakers);
  EXPECT_TRUE(observed.audio->isMirroring());
  EXPECT_EQ(observed.audio->summary(), "On · the speakers and this computer play about 1.5 s behind");
  EXPECT_EQ(observed.audio->speakers(), (MultiRoomAudio::Speakers{{"k1", "Kitchen", 50}}));

  observed.audio->setPlaysOnMac(false);
  EXPECT_EQ(observed.audio->summary(), "On · the speakers play about 1.5 s behind; this computer is silent");
}

TEST(MultiRoomAudio, StopResetsTheFieldsAndKeepsTheStatusForTheOwner) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.startOn();
  observed.waitForSegments(3);
  observed.tick();
  observed.player->becomeReady();
  observed.player->time = 5.0;
  observed.player->range = StreamPlayer::TimeRange{0, 5.0};
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});
  observed.tick();
  ASSERT_TRUE(observed.audio->isMirroring());

  observed.audio->stop();

  EXPECT_EQ(observed.audio->status(), MultiRoomAudio::Status::on()) << "the owner sets off";
  EXPECT_EQ(observed.capture->running(), 0);
  EXPECT_FALSE(observed.audio->isStreaming());
  EXPECT_FALSE(observed.audio->streamURL());
  EXPECT_FALSE(observed.audio->stream());
  EXPECT_EQ(observed.audio->tappedProcessCount(), 0);
  EXPECT_FALSE(observed.audio->isReceivingAudio());
  EXPECT_FALSE(observed.audio->isMirroring());
  EXPECT_TRUE(observed.audio->speakers().empty());
  EXPECT_EQ(observed.audio->playerRoute(), MultiRoomAudio::Route::unknown);
  EXPECT_EQ(observed.audio->outputLatency(), 0);
  EXPECT_FALSE(observed.player->hasItem());
  const auto loads = observed.player->loads.size();
  observed.tick();
  EXPECT_EQ(observed.player->loads.size(), loads) << "the monitor is gone";

  observed.audio->setStatus(MultiRoomAudio::Status::off());
  observed.startOn();
  EXPECT_EQ(observed.capture->running(), 1) << "a stopped controller starts again";
}

TEST(MultiRoomAudio, StartFailuresTearDownAndSaySoAndARetryRunsAgain) {
  struct Case {
    const char* name;
    std::function<void(Observed&)> arrange;
    std::string message;
  } cases[] = {
      {"the tap fails", [](Observed& o) { o.capture->tapFailure = "No such entity"; },
       "Could not capture the music (No such entity). Turn multi-room on again."},
      {"the input is not connected", [](Observed& o) { o.audio->setInput("usb-1"); },
       "The source input isn't connected. It plays again when it's back."},
      {"the input cannot be recorded",
       [](Observed& o) {
         o.capture->inputs = {{"usb-1", "USB Mic"}};
         o.capture->recordFailure = "Access denied";
         o.audio->setInput("usb-1");
       },
       "Could not capture USB Mic."},
      {"the format has no encoder", [](Observed& o) { o.capture->tapFormat = AudioFormat{0, 2}; },
       "The encoder does not accept 0 Hz, 2 channels, 32-bit float."},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    Observed observed(preferences);
    observed.musicPlays();
    c.arrange(observed);

    observed.audio->start();
    observed.audio->start();

    EXPECT_EQ(observed.audio->status(), MultiRoomAudio::Status::failed(c.message)) << c.name;
    EXPECT_TRUE(observed.audio->summaryIsError()) << c.name;
    EXPECT_EQ(observed.audio->summary(), c.message) << c.name;
    EXPECT_EQ(observed.capture->running(), 0) << c.name;
    EXPECT_FALSE(observed.audio->stream()) << c.name;
    EXPECT_EQ(std::ranges::count(observed.lines, "status → starting"), 2) << c.name << ": a failure allows a retry";
  }
}

TEST(MultiRoomAudio, ASoundServerWithoutAirPlayFailsWithWhatToInstall) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.player->discoveryFailure = kNoAirPlay;
  observed.musicPlays();

  observed.audio->start();

  EXPECT_EQ(observed.audio->status(), MultiRoomAudio::Status::failed(kNoAirPlay));
  EXPECT_EQ(observed.capture->running(), 0);
}

TEST(MultiRoomAudio, InputModeRecordsTheChosenInputInTheLiveStreamsFormat) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.capture->inputs = {{"usb-1", "USB Mic"}};
  observed.capture->tapFormat = AudioFormat{44100, 2};
  observed.startOn();

  observed.audio->setInput("usb-1");

  ASSERT_EQ(observed.capture->started.size(), 2u);
  EXPECT_EQ(observed.capture->started.back().source, "usb-1");
  EXPECT_EQ(observed.capture->started.back().format, (AudioFormat{44100, 2})) << "the live stream's format";
  EXPECT_EQ(observed.capture->running(), 1) << "the music is no longer tapped";
  EXPECT_EQ(observed.audio->inputName(), "USB Mic");
  EXPECT_TRUE(logged(observed, "streaming USB Mic instead of the music: 44100 Hz, 2 ch"));
  observed.audio->stop();

  observed.audio->setStatus(MultiRoomAudio::Status::off());
  observed.audio->start();
  EXPECT_EQ(observed.capture->started.back().format, kFormat) << "without a live stream: 48000 Hz stereo";
}

TEST(MultiRoomAudio, AFailedItemIsAProblemAndThePlayerLoadsAgainNoSoonerThanThreeSecondsLater) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.startOn();
  observed.waitForSegments(3);
  observed.tick();
  ASSERT_EQ(observed.player->loads.size(), 1u);
  const int changes = observed.changes;

  observed.player->fail("");

  EXPECT_EQ(observed.audio->problem(), "The stream to the speakers failed: unknown error");
  EXPECT_EQ(observed.audio->summary(), "The stream to the speakers failed: unknown error");
  EXPECT_TRUE(observed.audio->summaryIsError());
  EXPECT_FALSE(observed.audio->isStreaming());
  EXPECT_EQ(observed.changes, changes + 1);
  observed.scheduler.advance(2.0);
  EXPECT_EQ(observed.player->loads.size(), 1u);
  observed.scheduler.advance(1.0);
  EXPECT_EQ(observed.player->loads.size(), 2u);
}

TEST(MultiRoomAudio, StatusAssignmentsLogAndReportOnlyChanges) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  QSignalSpy status(observed.audio.get(), &MultiRoomAudio::statusChanged);

  observed.audio->setStatus(MultiRoomAudio::Status::failed("A."));
  observed.audio->setStatus(MultiRoomAudio::Status::failed("A."));
  observed.audio->setStatus(MultiRoomAudio::Status::off());

  EXPECT_EQ(observed.lines, (std::vector<std::string>{"status → failed(\"A.\")", "status → off"}));
  EXPECT_EQ(status.count(), 2);
  EXPECT_EQ(observed.changes, 2);
}

TEST(MultiRoomAudio, PlaysOnMacIsSavedAndReportedEvenWhenUnchanged) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  QSignalSpy playsOnMac(observed.audio.get(), &MultiRoomAudio::playsOnMacChanged);

  observed.audio->setPlaysOnMac(true);
  EXPECT_EQ(preferences.boolValue(MultiRoomAudio::playsOnMacKey), true);
  EXPECT_EQ(observed.changes, 1);
  EXPECT_EQ(playsOnMac.count(), 0);
  EXPECT_TRUE(observed.lines.empty());

  observed.audio->setPlaysOnMac(false);
  EXPECT_EQ(preferences.boolValue(MultiRoomAudio::playsOnMacKey), false);
  EXPECT_EQ(observed.changes, 2);
  EXPECT_EQ(playsOnMac.count(), 1);
  EXPECT_EQ(observed.lines, std::vector<std::string>{"this computer stays silent"});
}

TEST(MultiRoomAudio, MacVolumeIsSavedAsGivenAndAppliedClamped) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  QSignalSpy volume(observed.audio.get(), &MultiRoomAudio::macVolumeChanged);

  observed.audio->setMacVolume(100);
  EXPECT_EQ(preferences.doubleValue(MultiRoomAudio::macVolumeKey), 100.0) << "saved although unchanged";
  EXPECT_EQ(volume.count(), 0);
  EXPECT_EQ(observed.changes, 0);

  observed.audio->setMacVolume(35);
  EXPECT_EQ(observed.audio->macVolume(), 35);
  EXPECT_EQ(preferences.doubleValue(MultiRoomAudio::macVolumeKey), 35.0);
  EXPECT_EQ(volume.count(), 1);
  EXPECT_EQ(observed.changes, 1);

  observed.startOn();
  observed.audio->setMacVolume(150);
  EXPECT_EQ(preferences.doubleValue(MultiRoomAudio::macVolumeKey), 150.0) << "stored unchanged";
  EXPECT_EQ(observed.platform.renderers->back()->volume, 1.0f) << "applied clamped";
  observed.audio->setMacVolume(-5);
  EXPECT_EQ(observed.platform.renderers->back()->volume, 0.0f);
}

TEST(MultiRoomAudio, TheMacVolumeReachesThePlayerOnlyWhileItPlaysOnThisComputer) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.playing(10, 10.4);
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});
  observed.tick();
  ASSERT_EQ(observed.audio->playerRoute(), MultiRoomAudio::Route::speakers);

  observed.audio->setMacVolume(30);
  EXPECT_EQ(observed.player->volume, 1.0f) << "the speakers' stream keeps its level";
  EXPECT_TRUE(observed.player->volumeCalls.empty()) << "and so do the speakers";
  EXPECT_FLOAT_EQ(observed.platform.renderers->back()->volume, 0.3f) << "this computer's copy is turned down";

  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, false}});
  observed.tick();
  ASSERT_EQ(observed.audio->playerRoute(), MultiRoomAudio::Route::mac);
  EXPECT_FLOAT_EQ(observed.player->volume, 0.3f) << "alone on this computer, the player is its sound";
}

TEST(MultiRoomAudio, SpeakerVolumesAreClampedAndShown) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}, {"h1", "Hall", std::nullopt, true}});

  observed.audio->setSpeakerVolume("k1", 130);
  observed.audio->setSpeakerVolume("h1", 40);

  EXPECT_EQ(observed.player->volumeCalls, (std::vector<std::pair<std::string, float>>{{"k1", 1.0f}}))
      << "a speaker without a volume is left alone";
  EXPECT_EQ(observed.audio->speakers(),
            (MultiRoomAudio::Speakers{{"k1", "Kitchen", 100}, {"h1", "Hall", std::nullopt}}));
}

}  // namespace
}  // namespace kovali
