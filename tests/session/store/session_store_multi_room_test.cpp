#include <map>

#include "audio/stream/hls_stream.h"
#include "session/store/session_store_fixture.h"
#include "support/stream_audio.h"

namespace kovali {
namespace {

using vinaro::AudioCommand;

/// A DJ's phone steering the multi-room controller itself (on its capture and player fakes).
class SessionStoreMultiRoomTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    setPIN("2468");
    makeStore();
    multiRoom->real = true;
    startHosting();
    dj = join("Dee", "device-dj");
    dj->sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
    ASSERT_TRUE(dj->waitForMessages(4));
  }

  void send(const AudioCommand::Value& action, const std::string& id) {
    dj->received.clear();
    sendAudio(*dj, action, id);
  }

  std::string entry(const std::string& key) const {
    if (const auto& published = advertiser->published()) {
      for (const auto& [name, value] : published->txt) {
        if (name == key) return value;
      }
    }
    return "<missing>";
  }

  /// The music's sound reaches the stream until it holds three segments.
  void musicFlowsForThreeSegments() {
    const AudioFormat format{48000, 2};
    std::int64_t frame = 0;
    while (multiRoom->stream()->segmentCount() < 3) {
      multiRoom->capture->deliver(test::sineBuffer(format, frame, 4800, 440, 0.5f));
      frame += 4800;
      ASSERT_TRUE(QTest::qWaitFor([&] { return multiRoom->stream()->writerHealth().framesAppended >= frame; }, 10000));
    }
  }

  std::unique_ptr<GuestClient> dj;
};

TEST_F(SessionStoreMultiRoomTest, APhoneTurnsMultiRoomOnSteersItAndTurnsItOffWithTheRecordFollowing) {
  multiRoom->capture->changeStreams({"Kovali music"});
  multiRoom->streamPlayer->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});

  send(AudioCommand::SetMultiRoom{true}, "on");
  EXPECT_EQ(entry("multiroom"), "on");
  EXPECT_EQ(multiRoom->capture->running(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return multiRoom->streamURL().has_value(); }, 5000));
  musicFlowsForThreeSegments();
  advance(1.0);
  ASSERT_EQ(multiRoom->streamPlayer->loads.size(), 1u);
  multiRoom->streamPlayer->becomeReady();
  multiRoom->streamPlayer->time = 20.0;
  multiRoom->streamPlayer->range = StreamPlayer::TimeRange{0, 20.5};
  advance(1.0);
  EXPECT_EQ(entry("audio"), "1");
  EXPECT_EQ(entry("route"), "speakers+mac");
  EXPECT_EQ(entry("latency"), "1.5");

  send(AudioCommand::SetSpeakerVolume{"k1", 30}, "volume");
  EXPECT_EQ(multiRoom->streamPlayer->volumeCalls.back(), (std::pair<std::string, float>{"k1", 0.3f}));
  EXPECT_EQ(multiRoom->speakers().front().volume, 30);

  send(AudioCommand::SetPlaysOnMac{false}, "silent");
  EXPECT_EQ(entry("route"), "speakers");
  EXPECT_FALSE(multiRoom->isMirroring());

  send(AudioCommand::SetMultiRoom{false}, "off");
  EXPECT_EQ(entry("multiroom"), "off");
  EXPECT_EQ(entry("route"), "?");
  EXPECT_EQ(entry("audio"), "0");
  EXPECT_EQ(entry("latency"), "0.0");
  EXPECT_EQ(multiRoom->capture->running(), 0);
  EXPECT_FALSE(multiRoom->streamPlayer->hasItem());
}

}  // namespace
}  // namespace kovali
