#include <gtest/gtest.h>

#include <set>

#include "protocol/event.h"
#include "envelope_json.h"
#include "protocol/message_codec.h"
#include "support/sample_values.h"

namespace vinaro {
namespace {

using E = Event;

using test::envelopeJSON;
using test::messageJSON;

constexpr const char* kStateJSON =
    R"({"mode":"collaboration","name":"P","participantCount":0,"playback":{"elapsed":0,"elapsedAt":0,"status":"stopped"},)"
    R"("queue":[],"requests":[],"revision":0,"sessionID":"S","settings":{"allowDuplicates":false,"autoPlaysTopRequest":false,)"
    R"("limitsPerGuest":false,"limitsRequestsPerGuest":false,"maxPendingPerGuest":3,"maxRequestsPerGuest":3,)"
    R"("roundRobinGuests":false}})";

constexpr const char* kHostAudioJSON =
    R"({"heos":{"inputs":[{"id":"1027|inputs/aux_in_1","name":"Aux In"}],"isApplying":false,"isPlayingParty":true,)"
    R"("startWithParty":true,"stateIsError":false,"stateText":"Playing","status":"party","title":"HEOS plays the party",)"
    R"("volume":30,"zones":[{"id":-1234,"isIncluded":true,"name":"Kitchen","volume":25}]},)"
    R"("multiRoom":{"detail":"Off","isSupported":true,"playsOnMac":true,"status":"off"},)"
    R"("outputs":[{"id":"73","isDefault":true,"name":"Speakers","transport":"Built-in"}]})";

TEST(EventWireForm, EveryCaseEncodesToItsGoldenJSONAndDecodesBack) {
  const SessionState state = SessionState::newParty("S", "P");
  const Track song{"t1", "Song", "Band", std::nullopt, 61.5, "https://a.example/{w}x{h}.jpg", false};
  const std::string songJSON =
      R"({"artist":"Band","artworkURLTemplate":"https://a.example/{w}x{h}.jpg","duration":61.5,"id":"t1","isExplicit":false,"title":"Song"})";
  const PlaylistRef album{PlaylistRef::Source::album, "a1", "Blue", std::nullopt, std::nullopt, std::nullopt};
  const std::string albumJSON = R"({"id":"a1","name":"Blue","source":"album"})";
  const HostAudioState audio = wire::decode<HostAudioState>(kHostAudioJSON);

  struct Case {
    const char* name;
    Event event;
    std::string json;
  } cases[] = {
      {"welcome", {E::Welcome{"dev-1", Role::guest, state}},
       std::string(R"({"payload":{"participantID":"dev-1","role":"guest","state":)") + kStateJSON + R"(},"type":"welcome"})"},
      {"state", {state}, std::string(R"({"payload":)") + kStateJSON + R"(,"type":"state"})"},
      {"roleChanged", {E::RoleChanged{Role::dj}}, R"({"payload":{"role":"dj"},"type":"roleChanged"})"},
      {"searchResults", {E::SearchResults{{song}, {album}}},
       R"({"payload":{"collections":[)" + albumJSON + R"(],"tracks":[)" + songJSON + R"(]},"type":"searchResults"})"},
      {"empty searchResults", {E::SearchResults{}}, R"({"payload":{"collections":[],"tracks":[]},"type":"searchResults"})"},
      {"tracks", {E::Tracks{album, {song}}},
       R"({"payload":{"ref":)" + albumJSON + R"(,"tracks":[)" + songJSON + R"(]},"type":"tracks"})"},
      {"playlists", {std::vector<PlaylistRef>{album}}, R"({"payload":[)" + albumJSON + R"(],"type":"playlists"})"},
      {"hostAudio", {audio}, std::string(R"({"payload":)") + kHostAudioJSON + R"(,"type":"hostAudio"})"},
      {"error", {ProtocolError::unsupportedVersion("Protocol version 2 is not supported; this host speaks version 1.")},
       R"({"payload":{"code":"unsupported_version","message":"Protocol version 2 is not supported; this host speaks version 1."},"type":"error"})"},
  };
  std::set<std::string> typesSeen;
  for (const auto& c : cases) {
    const std::string expected = envelopeJSON("e1", c.json, "\"c9\"");
    EXPECT_EQ(MessageCodec::encode(Envelope<Event>{1, "e1", "c9", c.event}), expected) << c.name;
    const auto decoded = MessageCodec::decode<Event>(expected);
    ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
    EXPECT_EQ(decoded->body, c.event) << c.name;
    EXPECT_EQ(decoded->replyTo, "c9") << c.name;
    typesSeen.insert(std::string(c.event.type()));
  }
  EXPECT_EQ(typesSeen.size(), E::typeNames.size()) << "every event has a golden case";
}

TEST(EventWireForm, EdgeDecodes) {
  for (const char* payload : {"{}", R"({"tracks":null})", R"({"collections":null,"tracks":[]})"}) {
    const auto decoded =
        MessageCodec::decode<Event>(messageJSON(std::string(R"({"payload":)") + payload + R"(,"type":"searchResults"})"));
    ASSERT_TRUE(decoded) << payload;
    EXPECT_EQ(decoded->body, (Event{E::SearchResults{}})) << payload;
  }
  struct Refusal {
    const char* name;
    std::string body;
    const char* messagePrefix;
  } refusals[] = {
      {"welcome without state", R"({"payload":{"participantID":"d","role":"guest"},"type":"welcome"})", "Could not decode 'welcome': "},
      {"roleChanged without role", R"({"payload":{},"type":"roleChanged"})", "Could not decode 'roleChanged': "},
      {"capital W", R"({"payload":{},"type":"Welcome"})", "Could not decode 'Welcome': Unknown event type 'Welcome'"},
      {"lower-case searchresults", R"({"payload":{},"type":"searchresults"})",
       "Could not decode 'searchresults': Unknown event type 'searchresults'"},
      {"payload missing", R"({"type":"tracks"})", "Could not decode 'tracks': "},
  };
  for (const auto& r : refusals) {
    const auto decoded = MessageCodec::decode<Event>(messageJSON(r.body));
    ASSERT_FALSE(decoded) << r.name;
    EXPECT_EQ(decoded.error().code, ProtocolError::Code::badRequest) << r.name;
    EXPECT_TRUE(decoded.error().message.starts_with(r.messagePrefix)) << r.name << ": " << decoded.error().message;
  }
}

}  // namespace
}  // namespace vinaro
