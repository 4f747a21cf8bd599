#include <gtest/gtest.h>

#include "audio/observed_multi_room.h"

namespace kovali {
namespace {

TEST(MultiRoomMonitor, SoundCountsWhileLessThanTwoSecondsOfSilenceFollowIt) {
  struct Case {
    const char* name;
    std::int64_t silentFrames;
    bool receiving;
  } cases[] = {
      {"1.99 s of silence", 95'520, true},
      {"2.0 s of silence", 96'000, false},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    Observed observed(preferences);
    observed.startOn();
    observed.tick();
    EXPECT_FALSE(observed.audio->isReceivingAudio()) << c.name << ": a stream that never had sound";

    observed.deliver(0.1);
    observed.deliverFrames(c.silentFrames, 0);
    const int changes = observed.changes;
    observed.tick();

    EXPECT_EQ(observed.audio->isReceivingAudio(), c.receiving) << c.name;
    EXPECT_EQ(logged(observed, "receiving sound"), c.receiving) << c.name;
    EXPECT_EQ(observed.changes, changes + (c.receiving ? 1 : 0)) << c.name;
  }
}

TEST(MultiRoomMonitor, AStreamThatGetsNothingForTwoSecondsNoLongerReceives) {
  struct Case {
    const char* name;
    double wallClockStep;  // seconds, once the sound has stopped
  } cases[] = {
      {"a steady clock", 0},
      {"the wall clock set back an hour", -3600},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    Observed observed(preferences);
    observed.startOn();
    observed.tick();
    observed.deliver(0.5);
    observed.tick();
    ASSERT_TRUE(observed.audio->isReceivingAudio()) << c.name;

    // The player stopped: the tap ends and its last sound stays the newest the stream holds.
    observed.scheduler.stepWallClock(c.wallClockStep);
    observed.tick();
    EXPECT_TRUE(observed.audio->isReceivingAudio()) << c.name << ": a second without sound";
    observed.tick();
    EXPECT_FALSE(observed.audio->isReceivingAudio()) << c.name << ": two seconds without sound";
    EXPECT_TRUE(logged(observed, "silence")) << c.name;
  }
}

TEST(MultiRoomMonitor, TheLatencyIsTheDistanceBehindTheLiveEdgePlusASecondInHalfSeconds) {
  struct Case {
    const char* name;
    double behind;
    double latency;
    const char* line;
  } cases[] = {
      {"0.2 s", 0.2, 1.0, "speakers run about 1.0 s behind"},
      {"0.25 s rounds away from zero", 0.25, 1.5, "speakers run about 1.5 s behind"},
      {"0.3 s", 0.3, 1.5, "speakers run about 1.5 s behind"},
      {"40 s is capped", 40, 30.0, "speakers run about 30.0 s behind"},
      {"ahead of the edge", -0.5, 1.0, "speakers run about 1.0 s behind"},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    Observed observed(preferences);
    observed.playing(100, 100 + c.behind);

    observed.tick();
    EXPECT_EQ(observed.audio->outputLatency(), c.latency) << c.name;
    EXPECT_TRUE(logged(observed, c.line)) << c.name;

    const auto lines = observed.lines.size();
    const int changes = observed.changes;
    observed.deliver(0.1);  // the music goes on
    observed.tick();
    EXPECT_EQ(observed.lines.size(), lines) << c.name << ": an unchanged estimate says nothing";
    EXPECT_EQ(observed.changes, changes) << c.name;
  }
}

TEST(MultiRoomMonitor, ATickWhileNotOnDoesNothing) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.playing(5, 6);
  observed.audio->setStatus(MultiRoomAudio::Status::failed("A."));
  const int changes = observed.changes;
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});

  observed.tick();

  EXPECT_TRUE(observed.audio->speakers().empty());
  EXPECT_EQ(observed.audio->outputLatency(), 0);
  EXPECT_EQ(observed.changes, changes);
}

TEST(MultiRoomMonitor, ASpeakerThatGoesLeavesTheSpeakersAtTheNextTickAndJoinsThemAgainWhenBack) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.playing(5, 6);
  const FakeStreamPlayer::Speaker kitchen{"k1", "Kitchen", 0.5f, true};
  const FakeStreamPlayer::Speaker garden{"g1", "Garden", 1.0f, true};
  observed.player->changeSpeakers({kitchen, garden});
  observed.tick();
  ASSERT_EQ(observed.audio->speakers().size(), 2u);

  int changes = observed.changes;
  observed.player->changeSpeakers({kitchen});
  observed.tick();
  ASSERT_EQ(observed.audio->speakers().size(), 1u);
  EXPECT_EQ(observed.audio->speakers().front().name, "Kitchen");
  EXPECT_EQ(observed.changes, changes + 1);
  EXPECT_EQ(observed.audio->playerRoute(), MultiRoomAudio::Route::speakers) << "the party plays on the other speaker";

  changes = observed.changes;
  const FakeStreamPlayer::Speaker gardenBack{"g2", "Garden", 1.0f, true};  // the sound server's new sink
  observed.player->changeSpeakers({kitchen, gardenBack});
  observed.tick();
  ASSERT_EQ(observed.audio->speakers().size(), 2u);
  EXPECT_EQ(observed.audio->speakers().back().id, "g2");
  EXPECT_EQ(observed.changes, changes + 1);
}

TEST(MultiRoomMonitor, TheMusicsStreamsAndTheDefaultOutputTakeTheCaptureAgain) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.startOn();
  const auto stream = observed.audio->stream();
  const auto url = observed.audio->streamURL();
  const int changes = observed.changes;

  observed.musicPlays();
  EXPECT_EQ(observed.capture->started.size(), 1u) << "the same set of streams does nothing";
  EXPECT_EQ(observed.changes, changes);

  observed.audio->defaultOutputChanged();
  EXPECT_EQ(observed.capture->started.size(), 2u);
  EXPECT_EQ(observed.capture->running(), 1);
  EXPECT_TRUE(logged(observed, "default output changed"));
  EXPECT_EQ(observed.changes, changes + 1);
  EXPECT_EQ(observed.audio->stream(), stream) << "the same format keeps the stream";
  EXPECT_EQ(observed.audio->streamURL(), url);

  observed.capture->changeStreams({});
  EXPECT_TRUE(logged(observed, "music streams changed: 0 now"));
  EXPECT_EQ(observed.capture->running(), 0);
  EXPECT_EQ(observed.audio->summary(), "On · waiting for the music to start");

  observed.capture->tapFailure = "Connection refused";
  observed.musicPlays();
  EXPECT_EQ(observed.audio->problem(), "Could not capture the music (Connection refused). Turn multi-room on again.");
  EXPECT_TRUE(logged(observed, "re-tap failed: Could not capture the music (Connection refused). Turn multi-room on "
                               "again."));
  EXPECT_EQ(observed.audio->status(), MultiRoomAudio::Status::on());
}

TEST(MultiRoomMonitor, NoticesInInputModeOrWhileOffDoNothing) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.audio->defaultOutputChanged();
  observed.musicPlays();
  EXPECT_TRUE(observed.capture->started.empty()) << "while off";

  observed.capture->inputs = {{"usb-1", "USB Mic"}};
  observed.audio->setInput("usb-1");
  observed.audio->start();
  const auto started = observed.capture->started.size();
  observed.audio->defaultOutputChanged();
  observed.capture->changeStreams({});
  EXPECT_EQ(observed.capture->started.size(), started);
}

TEST(MultiRoomMonitor, AnUnpluggedInputIsAProblemUntilItIsBack) {
  const std::string problem = "USB Mic was disconnected. It plays again when it's back.";
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.capture->inputs = {{"usb-1", "USB Mic"}};
  observed.audio->setInput("usb-1");
  observed.audio->start();
  ASSERT_EQ(observed.capture->running(), 1);

  observed.capture->inputs.clear();
  observed.tick();
  EXPECT_TRUE(logged(observed, "USB Mic was disconnected"));
  EXPECT_EQ(observed.audio->problem(), problem);
  EXPECT_EQ(observed.audio->summary(), problem);
  EXPECT_EQ(observed.capture->running(), 0);

  observed.tick();
  EXPECT_EQ(observed.capture->running(), 0) << "still away";
  observed.capture->inputs = {{"usb-1", "USB Mic"}};
  observed.tick();
  EXPECT_EQ(observed.capture->running(), 1);
  EXPECT_FALSE(observed.audio->problem());
}

TEST(MultiRoomMonitor, AnInputRecordingTheSoundServerEndedIsRecordedAgain) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.capture->inputs = {{"usb-1", "USB Mic"}};
  observed.audio->setInput("usb-1");
  observed.audio->start();
  ASSERT_EQ(observed.capture->running(), 1);

  // The server restarted (or the input came back between two ticks): the input is there again,
  // but its recording is over.
  observed.capture->endAll();
  observed.tick();
  EXPECT_EQ(observed.capture->running(), 1);
  ASSERT_EQ(observed.capture->started.size(), 2u);
  EXPECT_EQ(observed.capture->started.back().source, "usb-1");
  EXPECT_TRUE(logged(observed, "USB Mic stopped recording; recording it again"));
  EXPECT_FALSE(observed.audio->problem());

  observed.tick();
  EXPECT_EQ(observed.capture->started.size(), 2u) << "a recording that runs is left alone";
}

TEST(MultiRoomMonitor, SwitchingTheSourceWhileOn) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.audio->setInput("usb-1");
  EXPECT_TRUE(observed.capture->started.empty()) << "while off it only keeps the id";
  observed.audio->setInput(std::nullopt);

  observed.startOn();
  const int changes = observed.changes;
  observed.audio->setInput(std::nullopt);
  EXPECT_EQ(observed.changes, changes) << "the same source does nothing";

  observed.audio->setInput("usb-1");
  EXPECT_EQ(observed.audio->problem(), "The source input isn't connected. It plays again when it's back.");
  EXPECT_TRUE(logged(observed, "input: The source input isn't connected. It plays again when it's back."));
  EXPECT_EQ(observed.audio->tappedProcessCount(), 0);
  EXPECT_EQ(observed.capture->running(), 0);
  EXPECT_EQ(observed.changes, changes + 1);

  observed.audio->setInput(std::nullopt);
  EXPECT_FALSE(observed.audio->problem());
  EXPECT_EQ(observed.capture->running(), 1);
  EXPECT_EQ(observed.capture->started.back().source, "music");
}

TEST(MultiRoomMonitor, ThisComputersCopyRealignsAfterTwoDriftingReadingsInARow) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.playing(50, 51);
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});
  observed.tick();
  ASSERT_TRUE(observed.audio->isMirroring());
  ASSERT_TRUE(logged(observed, "this computer joined at 50.00 s"));
  auto& renderer = *observed.platform.renderers->back();
  const int flushes = renderer.flushes;

  // The copy's clock stands near 50 s (little real time passes); the player's time is set apart.
  const auto realigns = [&] {
    return std::ranges::count_if(observed.lines, [](const std::string& line) { return line.starts_with("this computer realigned"); });
  };
  observed.player->time = 50.3;
  observed.tick();
  observed.player->time = 50.1;
  observed.tick();
  EXPECT_EQ(realigns(), 0) << "one reading out of step, then one in step";
  observed.player->time = 50.3;
  observed.tick();
  observed.player->time = 50.3;
  observed.tick();
  EXPECT_EQ(realigns(), 1);
  EXPECT_GT(renderer.flushes, flushes) << "a realign starts the copy again";
  observed.tick();
  EXPECT_EQ(realigns(), 1) << "the count went back to 0";
}

}  // namespace
}  // namespace kovali
