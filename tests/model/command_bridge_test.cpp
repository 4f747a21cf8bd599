#include <gtest/gtest.h>

#include "model/command_bridge.h"

namespace vinaro {
namespace {

using C = Command;

TEST(CommandBridge, MapsPartyChangesAndLeavesTheRestToTheHost) {
  const PlaylistRef album{PlaylistRef::Source::album, "a", "A", std::nullopt, std::nullopt, std::nullopt};
  const SessionSettings settings{true, 1, true, false, 2, true};
  struct Case {
    const char* name;
    Command command;
    std::optional<SessionAction> expected;
  } cases[] = {
      {"suggestCollection", {C::SuggestCollection{album}}, action::Suggest{album}},
      {"remove", {C::Remove{"q"}}, action::Remove{"q"}},
      {"move", {C::Move{"q", -1}}, action::Move{"q", -1}},
      {"setMode", {C::SetMode{PartyMode::suggestion}}, action::SetMode{PartyMode::suggestion}},
      {"approveRequest keeps position", {C::ApproveRequest{"r", QueuePosition::next}},
       action::ApproveRequest{"r", QueuePosition::next}},
      {"rejectRequest", {C::RejectRequest{"r"}}, action::RejectRequest{"r"}},
      {"voteRequest down", {C::VoteRequest{"r", false}}, action::Vote{"r", false}},
      {"updateSettings", {C::UpdateSettings{settings}}, action::UpdateSettings{settings}},
      {"setBadge nil", {C::SetBadge{}}, action::SetBadge{std::nullopt}},
      {"setBadge tier", {C::SetBadge{"vip"}}, action::SetBadge{"vip"}},
      {"clearQueue", {C::ClearQueue{}}, action::ClearQueue{}},
      {"play", {C::Play{}}, action::Play{}},
      {"pause", {C::Pause{}}, action::Pause{}},
      {"skip", {C::Skip{}}, action::Skip{}},
      {"hello", {C::Hello{"A", "d", 1}}, std::nullopt},
      {"authenticateDJ", {C::AuthenticateDJ{"1234"}}, std::nullopt},
      {"resignDJ", {C::ResignDJ{}}, std::nullopt},
      {"search", {C::Search{"q", 25, C::SearchKind::songs}}, std::nullopt},
      {"listTracks", {C::ListTracks{album}}, std::nullopt},
      {"add", {C::Add{"t"}}, std::nullopt},
      {"listPlaylists", {C::ListPlaylists{}}, std::nullopt},
      {"loadPlaylist", {C::LoadPlaylist{album, true}}, std::nullopt},
      {"saveQueueAsPlaylist", {C::SaveQueueAsPlaylist{"n"}}, std::nullopt},
      {"deletePlaylist", {C::DeletePlaylist{"p"}}, std::nullopt},
      {"audio", {AudioCommand{AudioCommand::Refresh{}}}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sessionAction(c.command), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace vinaro
