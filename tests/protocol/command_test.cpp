#include <gtest/gtest.h>

#include <set>

#include "protocol/command.h"
#include "envelope_json.h"
#include "protocol/message_codec.h"

namespace vinaro {
namespace {

using C = Command;

using test::envelopeJSON;
using test::messageJSON;

const PlaylistRef kAlbum{PlaylistRef::Source::album, "al/1", "Blue", std::nullopt, std::nullopt, 9};
constexpr const char* kAlbumJSON = R"({"id":"al/1","name":"Blue","source":"album","trackCount":9})";

struct GoldenCase {
  const char* name;
  Command command;
  std::string json;  // {"payload":…,"type":…} with sorted keys
};

std::vector<GoldenCase> goldenCases() {
  const std::string album = kAlbumJSON;
  return {
      {"hello", {C::Hello{"Ana", "dev-1", 1}}, R"({"payload":{"deviceID":"dev-1","name":"Ana","protocolVersion":1},"type":"hello"})"},
      {"authenticateDJ", {C::AuthenticateDJ{"0042"}}, R"({"payload":{"pin":"0042"},"type":"authenticateDJ"})"},
      {"resignDJ", {C::ResignDJ{}}, R"({"payload":{},"type":"resignDJ"})"},
      {"search", {C::Search{"disco", 10, C::SearchKind::albums}},
       R"({"payload":{"kind":"albums","limit":10,"query":"disco"},"type":"search"})"},
      {"search with defaults written", {C::Search{"x", 25, C::SearchKind::songs}},
       R"({"payload":{"kind":"songs","limit":25,"query":"x"},"type":"search"})"},
      {"listTracks", {C::ListTracks{kAlbum}}, R"({"payload":{"ref":)" + album + R"(},"type":"listTracks"})"},
      {"add", {C::Add{"song-9"}}, R"({"payload":{"trackID":"song-9"},"type":"add"})"},
      {"suggestCollection", {C::SuggestCollection{kAlbum}}, R"({"payload":{"ref":)" + album + R"(},"type":"suggestCollection"})"},
      {"remove", {C::Remove{"q1"}}, R"({"payload":{"itemID":"q1"},"type":"remove"})"},
      {"move", {C::Move{"q1", -2}}, R"({"payload":{"itemID":"q1","toIndex":-2},"type":"move"})"},
      {"clearQueue", {C::ClearQueue{}}, R"({"payload":{},"type":"clearQueue"})"},
      {"play", {C::Play{}}, R"({"payload":{},"type":"play"})"},
      {"pause", {C::Pause{}}, R"({"payload":{},"type":"pause"})"},
      {"skip", {C::Skip{}}, R"({"payload":{},"type":"skip"})"},
      {"setMode", {C::SetMode{PartyMode::suggestion}}, R"({"payload":{"mode":"suggestion"},"type":"setMode"})"},
      {"approveRequest", {C::ApproveRequest{"r1", QueuePosition::next}},
       R"({"payload":{"position":"next","requestID":"r1"},"type":"approveRequest"})"},
      {"rejectRequest", {C::RejectRequest{"r1"}}, R"({"payload":{"requestID":"r1"},"type":"rejectRequest"})"},
      {"voteRequest", {C::VoteRequest{"r1", false}}, R"({"payload":{"requestID":"r1","up":false},"type":"voteRequest"})"},
      {"listPlaylists", {C::ListPlaylists{PlaylistRef::Source::library}},
       R"({"payload":{"source":"library"},"type":"listPlaylists"})"},
      {"loadPlaylist", {C::LoadPlaylist{kAlbum, true}},
       R"({"payload":{"ref":)" + album + R"(,"replaceQueue":true},"type":"loadPlaylist"})"},
      {"saveQueueAsPlaylist", {C::SaveQueueAsPlaylist{"Mix"}}, R"({"payload":{"name":"Mix"},"type":"saveQueueAsPlaylist"})"},
      {"deletePlaylist", {C::DeletePlaylist{"p1"}}, R"({"payload":{"id":"p1"},"type":"deletePlaylist"})"},
      {"audio", {AudioCommand{AudioCommand::HEOSSetZone{7, true}}},
       R"({"payload":{"action":"heosSetZone","id":7,"included":true},"type":"audio"})"},
      {"updateSettings", {C::UpdateSettings{SessionSettings{true, 2, false, true, 4, false}}},
       R"({"payload":{"settings":{"allowDuplicates":false,"autoPlaysTopRequest":false,"limitsPerGuest":true,)"
       R"("limitsRequestsPerGuest":true,"maxPendingPerGuest":2,"maxRequestsPerGuest":4,"roundRobinGuests":false}},)"
       R"("type":"updateSettings"})"},
      {"setBadge", {C::SetBadge::withTier(SupporterTier::gold)}, R"({"payload":{"tier":"gold"},"type":"setBadge"})"},
      {"setBadge nil", {C::SetBadge::withTier(std::nullopt)}, R"({"payload":{},"type":"setBadge"})"},
  };
}

TEST(CommandWireForm, EveryCaseEncodesToItsGoldenJSONAndDecodesBack) {
  std::set<std::string> typesSeen;
  for (const auto& c : goldenCases()) {
    const Envelope<Command> envelope{1, "m1", std::nullopt, c.command};
    const std::string expected = envelopeJSON("m1", c.json);
    EXPECT_EQ(MessageCodec::encode(envelope), expected) << c.name;
    const auto decoded = MessageCodec::decode<Command>(expected);
    ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
    EXPECT_EQ(decoded->body, c.command) << c.name;
    EXPECT_EQ(decoded->body.type(), wire::parse(c.json)["type"].get<std::string>()) << c.name;
    EXPECT_EQ(std::hash<Command>{}(decoded->body), std::hash<Command>{}(c.command)) << c.name;
    typesSeen.insert(std::string(c.command.type()));
  }
  EXPECT_EQ(typesSeen.size(), C::typeNames.size()) << "every command has a golden case";
}

Expected<Command, ProtocolError> decodeBody(const std::string& typeAndPayload) {
  auto envelope = MessageCodec::decode<Command>(messageJSON(typeAndPayload));
  if (!envelope) return std::move(envelope).error();
  return envelope->body;
}

TEST(CommandWireForm, EdgeDecodes) {
  struct Case {
    const char* name;
    std::string body;
    Command expected;
  } cases[] = {
      {"bodiless without payload", R"({"type":"pause"})", {C::Pause{}}},
      {"bodiless with a number payload", R"({"type":"pause","payload":42})", {C::Pause{}}},
      {"bodiless with null payload", R"({"type":"resignDJ","payload":null})", {C::ResignDJ{}}},
      {"search defaults", R"({"type":"search","payload":{"query":"abc"}})", {C::Search{"abc", 25, C::SearchKind::songs}}},
      {"search null defaults", R"({"type":"search","payload":{"query":"abc","limit":null,"kind":null}})",
       {C::Search{"abc", 25, C::SearchKind::songs}}},
      {"negative limit kept", R"({"type":"search","payload":{"query":"","limit":-5}})", {C::Search{"", -5, C::SearchKind::songs}}},
      {"setBadge empty", R"({"type":"setBadge","payload":{}})", {C::SetBadge{}}},
      {"setBadge null", R"({"type":"setBadge","payload":{"tier":null}})", {C::SetBadge{}}},
      {"setBadge unknown tier kept", R"({"type":"setBadge","payload":{"tier":"platinum"}})", {C::SetBadge{"platinum"}}},
      {"unknown payload key ignored", R"({"type":"remove","payload":{"itemID":"q","comment":"x"}})", {C::Remove{"q"}}},
  };
  for (const auto& c : cases) {
    const auto decoded = decodeBody(c.body);
    ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
    EXPECT_EQ(*decoded, c.expected) << c.name;
  }
}

TEST(CommandWireForm, RefusalsNameTheTypeAndTheReason) {
  struct Case {
    const char* name;
    std::string body;
    std::string expectedMessage;  // exact, or a prefix when it ends with "…"
  } cases[] = {
      {"wrong capitals", R"({"type":"Pause","payload":{}})", "Could not decode 'Pause': Unknown command type 'Pause'"},
      {"empty type", R"({"type":"","payload":{}})", "Could not decode '': Unknown command type ''"},
      {"search without payload", R"({"type":"search"})", "Could not decode 'search': …"},
      {"unknown search kind", R"({"type":"search","payload":{"query":"a","kind":"artists"}})", "Could not decode 'search': …"},
      {"hello without version", R"({"type":"hello","payload":{"name":"A","deviceID":"d"}})", "Could not decode 'hello': …"},
      {"hello with version as string", R"({"type":"hello","payload":{"name":"A","deviceID":"d","protocolVersion":"1"}})",
       "Could not decode 'hello': …"},
  };
  for (const auto& c : cases) {
    const auto decoded = decodeBody(c.body);
    ASSERT_FALSE(decoded) << c.name;
    EXPECT_EQ(decoded.error().code, ProtocolError::Code::badRequest) << c.name;
    if (c.expectedMessage.ends_with("…")) {
      const std::string prefix = c.expectedMessage.substr(0, c.expectedMessage.size() - std::string("…").size());
      EXPECT_TRUE(decoded.error().message.starts_with(prefix)) << c.name << ": " << decoded.error().message;
    } else {
      EXPECT_EQ(decoded.error().message, c.expectedMessage) << c.name;
    }
  }
}

TEST(CommandWireForm, OnlyEightCommandsAreOpenToGuests) {
  std::set<std::string> openToGuests;
  for (const auto& c : goldenCases()) {
    if (!c.command.requiresDJ()) openToGuests.insert(std::string(c.command.type()));
  }
  EXPECT_EQ(openToGuests, (std::set<std::string>{"hello", "authenticateDJ", "search", "listTracks", "add",
                                                  "suggestCollection", "voteRequest", "setBadge"}));
}

}  // namespace
}  // namespace vinaro
