#include <gtest/gtest.h>

#include <cmath>

#include "model/session_state.h"

namespace vinaro {
namespace {

SessionState fullyPopulated() {
  const Participant ana{"device-ana", "Ana", Role::guest};
  const Participant host = Participant::host("Kovali");
  const Track first{"t1", "First/Song", "Band", "Record", 180, "https://art.example/a/{w}x{h}bb.jpg", true};
  const Track second{"t2", "Caf\u00E9", "Duo", std::nullopt, std::nullopt, std::nullopt, false};
  const PlaylistRef album{PlaylistRef::Source::album, "al1", "Record", "Band", std::nullopt, 10};
  return SessionState{
      .sessionID = "0D0F9B2C-6A5E-4C1B-9E0A-3F2D1C0B9A87",
      .name = "Friday",
      .revision = 7,
      .mode = PartyMode::suggestion,
      .settings = {true, 2, false, true, 1, true},
      .playback = {PlaybackStatus::playing, QueueItem{"q1", first, host, Date{1500}}, 12.5, Date{1733564400123.5}},
      .queue = {QueueItem{"q2", second, ana, Date{2000}}},
      .requests = {SongRequest{"r1", RequestItem::collection(album), ana, Date{3000}, RequestStatus::pending,
                               std::nullopt, {"device-ana", "host"}},
                   SongRequest{"r2", RequestItem::track(second), ana, Date{2500}, RequestStatus::rejected, Date{4000}, {}}},
      .source = album,
      .participantCount = 2,
      .input = LiveInput{"mic-1", "USB Mic", true},
      .delayedOutputs = std::vector<std::string>{"Kitchen"},
      .badges = std::map<std::string, std::string>{{"device-ana", "gold"}},
      .partygoers = std::vector<Participant>{ana},
  };
}

constexpr const char* kFullyPopulatedJSON =
    R"({"badges":{"device-ana":"gold"},"delayedOutputs":["Kitchen"],)"
    R"("input":{"id":"mic-1","name":"USB Mic","queueWasPlaying":true},"mode":"suggestion","name":"Friday",)"
    R"("participantCount":2,"partygoers":[{"id":"device-ana","name":"Ana","role":"guest"}],)"
    R"("playback":{"current":{"addedAt":1500,"addedBy":{"id":"host","name":"Kovali","role":"dj"},"id":"q1",)"
    R"("track":{"album":"Record","artist":"Band","artworkURLTemplate":"https://art.example/a/{w}x{h}bb.jpg",)"
    R"("duration":180,"id":"t1","isExplicit":true,"title":"First/Song"}},"elapsed":12.5,"elapsedAt":1733564400123.5,)"
    R"("status":"playing"},)"
    R"("queue":[{"addedAt":2000,"addedBy":{"id":"device-ana","name":"Ana","role":"guest"},"id":"q2",)"
    R"("track":{"artist":"Duo","id":"t2","isExplicit":false,"title":"Café"}}],)"
    R"("requests":[{"collection":{"id":"al1","name":"Record","source":"album","subtitle":"Band","trackCount":10},)"
    R"("createdAt":3000,"id":"r1","requestedBy":{"id":"device-ana","name":"Ana","role":"guest"},"status":"pending",)"
    R"("votes":["device-ana","host"]},)"
    R"({"createdAt":2500,"id":"r2","requestedBy":{"id":"device-ana","name":"Ana","role":"guest"},"resolvedAt":4000,)"
    R"("status":"rejected","track":{"artist":"Duo","id":"t2","isExplicit":false,"title":"Café"},"votes":[]}],)"
    R"("revision":7,"sessionID":"0D0F9B2C-6A5E-4C1B-9E0A-3F2D1C0B9A87",)"
    R"("settings":{"allowDuplicates":false,"autoPlaysTopRequest":true,"limitsPerGuest":true,)"
    R"("limitsRequestsPerGuest":true,"maxPendingPerGuest":2,"maxRequestsPerGuest":1,"roundRobinGuests":false},)"
    R"("source":{"id":"al1","name":"Record","source":"album","subtitle":"Band","trackCount":10}})";

TEST(SessionStateJSON, FullyPopulatedStateEncodesByteForByteAndDecodesBackEqual) {
  const SessionState state = fullyPopulated();
  EXPECT_EQ(wire::encode(state), kFullyPopulatedJSON);
  EXPECT_EQ(wire::decode<SessionState>(kFullyPopulatedJSON), state);
}

TEST(SessionStateJSON, OptionalPartsAreAbsentWhenMissingAndRequiredOnesFail) {
  SessionState bare = fullyPopulated();
  bare.source.reset();
  bare.input.reset();
  bare.delayedOutputs.reset();
  bare.badges.reset();
  bare.partygoers.reset();
  const std::string json = wire::encode(bare);
  const wire::Value written = wire::parse(json);
  for (const char* key : {"source", "input", "delayedOutputs", "badges", "partygoers"}) {
    EXPECT_FALSE(written.contains(key)) << key;
  }
  EXPECT_EQ(wire::decode<SessionState>(json), bare);

  for (const char* required : {"queue", "participantCount", "revision", "settings", "requests"}) {
    wire::Value value = wire::parse(json);
    value.erase(required);
    auto result = wire::tryDecode<SessionState>(value.dump());
    ASSERT_FALSE(result) << required;
    EXPECT_NE(result.error().description().find(required), std::string::npos) << result.error().description();
  }
}

TEST(SessionStateJSON, AStateWithANonFiniteElapsedCannotBeWritten) {
  SessionState state = fullyPopulated();
  state.playback.elapsed = std::nan("");
  EXPECT_THROW(wire::encode(state), wire::EncodeError);
}

}  // namespace
}  // namespace vinaro
