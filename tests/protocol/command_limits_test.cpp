#include <gtest/gtest.h>

#include "model/session_state.h"
#include "protocol/command_limits.h"
#include "protocol/json_writer.h"

namespace vinaro {
namespace {

using C = Command;

PlaylistRef refWith(std::string id, std::string name, std::optional<std::string> subtitle = std::nullopt,
                    std::optional<std::string> artwork = std::nullopt) {
  return PlaylistRef{PlaylistRef::Source::album, std::move(id), std::move(name), std::move(subtitle),
                     std::move(artwork), 9};
}

TEST(CommandLimits, EachKeptTextIsRefusedOneBytePastItsLimit) {
  const std::string id(128, 'i');
  const std::string text(256, 't');
  const std::string overID = id + "i";
  const std::string overText = text + "t";
  struct Case {
    const char* name;
    Command atLimit;
    Command over;
    const char* sentence;
  } cases[] = {
      {"search", {C::Search{text}}, {C::Search{overText}}, "The search is too long; it may have at most 256 bytes."},
      {"add", {C::Add{id}}, {C::Add{overID}}, "The song ID is too long; it may have at most 128 bytes."},
      {"suggestion id", {C::SuggestCollection{refWith(id, "n")}}, {C::SuggestCollection{refWith(overID, "n")}},
       "The collection ID is too long; it may have at most 128 bytes."},
      {"suggestion name", {C::SuggestCollection{refWith("a", text)}}, {C::SuggestCollection{refWith("a", overText)}},
       "The collection name is too long; it may have at most 256 bytes."},
      {"suggestion subtitle", {C::SuggestCollection{refWith("a", "n", text)}},
       {C::SuggestCollection{refWith("a", "n", overText)}},
       "The collection subtitle is too long; it may have at most 256 bytes."},
      {"suggestion artwork", {C::SuggestCollection{refWith("a", "n", std::nullopt, text)}},
       {C::SuggestCollection{refWith("a", "n", std::nullopt, overText)}},
       "The artwork address is too long; it may have at most 256 bytes."},
      {"list tracks", {C::ListTracks{refWith(id, "n")}}, {C::ListTracks{refWith(overID, "n")}},
       "The collection ID is too long; it may have at most 128 bytes."},
      {"load playlist", {C::LoadPlaylist{refWith("a", text), true}}, {C::LoadPlaylist{refWith("a", overText), true}},
       "The collection name is too long; it may have at most 256 bytes."},
      {"remove", {C::Remove{id}}, {C::Remove{overID}}, "The item ID is too long; it may have at most 128 bytes."},
      {"move", {C::Move{id, 1}}, {C::Move{overID, 1}}, "The item ID is too long; it may have at most 128 bytes."},
      {"approve", {C::ApproveRequest{id}}, {C::ApproveRequest{overID}},
       "The request ID is too long; it may have at most 128 bytes."},
      {"reject", {C::RejectRequest{id}}, {C::RejectRequest{overID}},
       "The request ID is too long; it may have at most 128 bytes."},
      {"vote", {C::VoteRequest{id, true}}, {C::VoteRequest{overID, true}},
       "The request ID is too long; it may have at most 128 bytes."},
      {"pin", {C::AuthenticateDJ{std::string(64, '1')}}, {C::AuthenticateDJ{std::string(65, '1')}},
       "The PIN is too long; it may have at most 64 bytes."},
      {"badge", {C::SetBadge{std::string(32, 'b')}}, {C::SetBadge{std::string(33, 'b')}},
       "The badge is too long; it may have at most 32 bytes."},
      {"output", {AudioCommand{AudioCommand::SetOutput{id}}}, {AudioCommand{AudioCommand::SetOutput{overID}}},
       "The output ID is too long; it may have at most 128 bytes."},
      {"preset name", {AudioCommand{AudioCommand::HEOSSavePreset{text}}},
       {AudioCommand{AudioCommand::HEOSSavePreset{overText}}},
       "The preset name is too long; it may have at most 256 bytes."},
      {"source", {AudioCommand{AudioCommand::SetSource{id}}}, {AudioCommand{AudioCommand::SetSource{overID}}},
       "The source ID is too long; it may have at most 128 bytes."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandLimits::refusal(c.atLimit), std::nullopt) << c.name;
    EXPECT_EQ(CommandLimits::refusal(c.over), ProtocolError::badRequest(c.sentence)) << c.name;
  }
}

TEST(CommandLimits, AHelloIsLeftToBeCutWhereItIsTakenIn) {
  EXPECT_EQ(CommandLimits::refusal({C::Hello{std::string(100'000, 'n'), "device", 1}}), std::nullopt);
}

TEST(CommandLimits, TwoHundredGuestsWithEveryTextAtItsLimitKeepAStateUnderOneMegabyte) {
  constexpr int guests = 200;
  const auto text = [](char fill) { return std::string(CommandLimits::maxTextBytes, fill); };
  auto state = SessionState::newParty("8C1F0E52-3C1B-4C55-9B7E-7A0D5C1E2F10", text('p'));
  state.mode = PartyMode::suggestion;
  state.partygoers.emplace();
  state.badges.emplace();
  for (int guest = 0; guest < guests; ++guest) {
    const Participant who{"participant-" + std::to_string(guest), std::string(CommandLimits::maxNameBytes, 'n'),
                          Role::guest};
    state.partygoers->push_back(who);
    (*state.badges)[who.id] = std::string(CommandLimits::maxBadgeBytes, 'b');
    for (int i = 0; i < state.settings.maxPendingPerGuest; ++i) {
      const std::string id = std::to_string(guest) + "-" + std::to_string(i);
      const auto ref = refWith(id + std::string(CommandLimits::maxIDBytes - id.size(), 'i'), text('c'), text('s'),
                               text('a'));
      state.requests.push_back(SongRequest{.id = "request-" + id, .item = RequestItem::collection(ref),
                                           .requestedBy = who, .createdAt = Date{}, .status = RequestStatus::pending,
                                           .resolvedAt = std::nullopt, .votes = {}});
    }
  }
  const auto bytes = wire::encode(state).size();
  EXPECT_LT(bytes, 1'000'000u) << "without votes, which grow with the guests who cast them";
}

}  // namespace
}  // namespace vinaro
