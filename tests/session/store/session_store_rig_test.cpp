// The whole party on the real-speaker rig: a DJ's phone turns multi-room on and off while the
// party's music plays; what both AirPlay speakers and this computer's output play is measured.

#include <QTest>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "audio/multi_room_audio.h"
#include "platform/runtime/queue_timer.h"
#include "platform/sound/airplay/pulse_stream_player.h"
#include "platform/sound/capture/pulse_multi_room_capture.h"
#include "platform/sound/rendering/pulse_audio_renderer.h"
#include "server/ready_port.h"
#include "session/store/pulse_party.h"
#include "support/guest_client.h"
#include "support/sound_recording.h"
#include "support/speaker_capture.h"
#include "support/timed_monitor_recorder.h"

namespace kovali {
namespace {

using Clock = std::chrono::steady_clock;
using vinaro::AudioCommand;

constexpr double filler = 800, reference = 500, mark = 1800;
constexpr double referenceAt = 1.0, markAt = 14.0;  // where the notes begin in the song, in seconds
constexpr double driftLimit = 0.15;  // the controller realigns this computer's copy beyond it

/// One-second notes: the reference note places the song on the clock while this computer plays it
/// live, the filler carries the song while multi-room starts, and the mark's start is measured at
/// both speakers and on this computer.
std::vector<double> markedTune() {
  std::vector<double> notes{300, reference};
  notes.resize(static_cast<std::size_t>(markAt), filler);
  notes.insert(notes.end(), {mark, mark});
  notes.resize(notes.size() + 14, filler);
  return notes;
}

double secondsBetween(Clock::time_point later, Clock::time_point earlier) {
  return std::chrono::duration<double>(later - earlier).count();
}

/// The party on the real player, its multi-room on the real capture, stream player and renderer,
/// inside tests/support/airplay_rig.sh.
class AirPlayRigPartyTest : public PulseServerPartyTest {
 protected:
  void SetUp() override {
    if (rigSpeakers().size() < 2) GTEST_SKIP() << "needs the AirPlay rig of airplay_rig_test.sh";
    makeFolders();
    secrets.items[{DJPIN::service, DJPIN::account}] = "2468";
  }

  std::unique_ptr<MultiRoomAudio> makeMultiRoom() override {
    return std::make_unique<MultiRoomAudio>(
        preferences,
        MultiRoomAudio::Platform{
            .scheduler = scheduler,
            .capture = std::make_unique<PulseMultiRoomCapture>(systemPlayer, scheduler),
            .player = std::make_unique<PulseStreamPlayer>(),
            .makeRenderer =
                [](const AudioFormat& format, std::shared_ptr<RenderSynchronizer> synchronizer) {
                  return std::unique_ptr<AudioRenderer>(
                      std::make_unique<PulseAudioRenderer>(format, std::move(synchronizer)));
                },
            .copyFeederTimer = timersOnOwnQueue(QStringLiteral("kovaliapp.host.multiroom.copy")),
        });
  }

  /// A phone that joined the running party and holds the DJ role.
  std::unique_ptr<GuestClient> joinAsDJ() {
    store().start();
    auto phone = std::make_unique<GuestClient>();
    if (!phone->connectTo(confirmReadyPort(*advertiser, *server))) return nullptr;
    phone->sendCommand("hello", vinaro::Command{vinaro::Command::Hello{"Dee", "device-dj", 1}});
    if (!answered(*phone, "hello")) return nullptr;
    phone->sendCommand("pin", vinaro::Command{vinaro::Command::AuthenticateDJ{"2468"}});
    return answered(*phone, "pin") ? std::move(phone) : nullptr;
  }

  /// Sends an audio command from the phone; false when the host refused it or did not answer.
  static bool send(GuestClient& phone, const AudioCommand::Value& action, const std::string& id) {
    phone.sendCommand(id, vinaro::Command{AudioCommand{action}});
    return answered(phone, id);
  }

  /// Waits for the host's answer to `id`; false when it is an error or does not come.
  static bool answered(GuestClient& phone, const std::string& id) {
    std::optional<vinaro::Envelope<vinaro::Event>> answer;
    const bool came = QTest::qWaitFor(
        [&] {
          for (std::size_t i = 0; i < phone.received.size() && !answer; ++i) {
            if (auto event = phone.event(i); event && event->replyTo == id) answer = event;
          }
          return answer.has_value();
        },
        GuestClient::timeoutMs);
    return came && !std::holds_alternative<vinaro::ProtocolError>(answer->body.payload);
  }

  /// Chooses every speaker of the rig in the speaker menu, as the user would.
  bool chooseRigSpeakers() {
    SpeakerPicker& picker = store().multiRoom().speakerPicker();
    const auto listed = [&](const RigSpeaker& speaker) {
      const auto choices = picker.choices();
      return std::ranges::any_of(choices, [&](const auto& choice) { return choice.name == speaker.name; });
    };
    if (!waitUntil([&] { return std::ranges::all_of(rigSpeakers(), listed); }, 15)) return false;
    for (const auto& choice : picker.choices()) picker.setChosen(choice.id, true);
    picker.menuClosed();
    return true;
  }

  /// The multi-room lines of the engine log, for a failure's message.
  std::string multiRoomLog() const {
    std::string lines;
    for (const auto& line : player->log()) {
      if (line.text.starts_with("multi-room: ")) lines += line.text + "\n";
    }
    return lines;
  }

  /// The last delay behind the live sound that the engine log gave for the speakers, in seconds.
  std::optional<double> loggedLatency() const {
    std::optional<double> seconds;
    const std::string prefix = "multi-room: speakers run about ";
    for (const auto& line : player->log()) {
      if (line.text.starts_with(prefix)) seconds = std::atof(line.text.c_str() + prefix.size());
    }
    return seconds;
  }
};

TEST_F(AirPlayRigPartyTest, APhonesMultiRoomPlaysTheSongInStepOnBothSpeakersAndThisComputer) {
  const auto songs = index({{"Marks", markedTune(), 1.0}, {"Next", {600, 1000}, 1.0}, {"Last", {700}, 1.0}});
  ASSERT_EQ(songs.size(), 3u);
  for (const auto& song : songs) store().add(song);
  const auto dj = joinAsDJ();
  ASSERT_TRUE(dj) << "the phone did not become the DJ";
  TimedMonitorRecorder computer("music.monitor");
  ASSERT_EQ(computer.error(), "");

  // This computer plays the song live: where its reference note was heard places every note.
  const auto began = Clock::now();
  ASSERT_TRUE(store().dispatch(vinaro::action::Play{}, vinaro::Actor::host()));
  ASSERT_TRUE(waitUntil([&] { return systemPlayer.playbackTime() > referenceAt + 1.3; }, 10));
  const auto heard = computer.since(began).onset(reference);
  ASSERT_TRUE(heard) << "the song was not heard on this computer";
  const auto live = [&](double songSeconds) {
    return *heard + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(songSeconds - referenceAt));
  };

  ASSERT_TRUE(send(*dj, AudioCommand::SetMultiRoom{true}, "on"));
  const auto turnedOn = Clock::now();
  ASSERT_TRUE(waitUntil([&] { return store().multiRoom().status() == MultiRoomAudio::Status::on(); }, 10))
      << store().multiRoom().summary();
  ASSERT_TRUE(chooseRigSpeakers()) << "the speaker menu did not list the rig's speakers" << rigDaemons();
  std::vector<SpeakerCapture> speakers;
  for (const auto& speaker : rigSpeakers()) speakers.emplace_back(speaker.capture);

  // The speakers play the mark about as far behind the live song as the stream holds.
  bool markPlayed = false;
  for (const auto deadline = Clock::now() + std::chrono::seconds(30); !markPlayed && Clock::now() < deadline;) {
    QTest::qWait(300);
    markPlayed = std::ranges::all_of(speakers, [](SpeakerCapture& s) { return s.read() && s.onset(mark); }) &&
                 computer.since(turnedOn).onset(mark);
  }
  QTest::qWait(2500);  // the whole mark, for its length
  for (auto& speaker : speakers) speaker.read();
  const auto mirrored = computer.since(turnedOn);
  const auto latency = loggedLatency();
  ASSERT_TRUE(markPlayed) << "the mark did not reach every output; speaker tones " << speakers[0].mainTone() << ", "
                          << speakers[1].mainTone() << " Hz; log:\n"
                          << multiRoomLog() << rigDaemons();
  EXPECT_TRUE(logged("multi-room: receiving sound"));
  EXPECT_TRUE(logged("multi-room: this computer joined at"));

  const auto first = *speakers[0].onset(mark), second = *speakers[1].onset(mark), here = *mirrored.onset(mark);
  const double behind = secondsBetween(first, live(markAt));
  std::printf("mark: speaker 2 %+.1f ms, this computer %+.1f ms from speaker 1, which plays %.3f s behind the "
              "live song; the log says %.1f s\n",
              secondsBetween(second, first) * 1000, secondsBetween(here, first) * 1000, behind, latency.value_or(-1));
  // Each output writes ahead of the stream player's clock by the latency its sink reports. The
  // copy here keeps to the clock within a few ms; the receivers play on time by their own account,
  // yet about 0.09 s before what PulseAudio's AirPlay sinks report and about 0.03 s after what
  // PipeWire's report. So the copy is held to the drift the controller itself tolerates before it
  // realigns this computer, and the speakers to each other as closely as the receivers keep time.
  EXPECT_NEAR(secondsBetween(second, first), 0, 0.030 + rigTimekeeping().apart);
  EXPECT_NEAR(secondsBetween(here, first), 0, driftLimit);
  EXPECT_NEAR(secondsBetween(here, second), 0, driftLimit);
  for (const auto& speaker : speakers) {
    EXPECT_NEAR(speaker.mainTone(), filler, 40);
    EXPECT_GT(secondsOfTone(speaker.sound(), mark, SpeakerCapture::rate), 1.5);
  }
  ASSERT_TRUE(latency) << "the log never said how far behind the speakers run";
  // Within half a second, beyond the quarter second the estimate's 0.5 s steps may round away.
  EXPECT_NEAR(*latency, behind, 0.75);

  // Off: the music is heard live on this computer again, and nothing more reaches the speakers.
  ASSERT_TRUE(send(*dj, AudioCommand::SetMultiRoom{false}, "off"));
  QTest::qWait(1500);  // what the speakers and the sink held when it went off
  const auto afterOff = Clock::now();
  std::vector<SpeakerCapture> silent;
  for (const auto& speaker : rigSpeakers()) silent.emplace_back(speaker.capture);
  QTest::qWait(2500);
  const auto alone = computer.since(afterOff);
  EXPECT_GT(secondsOfTone(alone.sound, filler), 2.0);
  for (auto& speaker : silent) {
    ASSERT_TRUE(speaker.read());
    EXPECT_EQ(speaker.mainTone(), 0) << "a speaker still plays" << rigDaemons();
  }
  EXPECT_EQ(store().multiRoom().status(), MultiRoomAudio::Status::off());
}

}  // namespace
}  // namespace kovali
