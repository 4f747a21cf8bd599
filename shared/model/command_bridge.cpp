#include "model/command_bridge.h"

#include "model/overloaded.h"

namespace vinaro {

std::optional<SessionAction> sessionAction(const Command& command) {
  using Result = std::optional<SessionAction>;
  return std::visit(
      Overloaded{
          [](const Command::SuggestCollection& c) -> Result { return action::Suggest{c.ref}; },
          [](const Command::Remove& c) -> Result { return action::Remove{c.itemID}; },
          [](const Command::Move& c) -> Result { return action::Move{c.itemID, c.toIndex}; },
          [](const Command::SetMode& c) -> Result { return action::SetMode{c.mode}; },
          [](const Command::ApproveRequest& c) -> Result { return action::ApproveRequest{c.requestID, c.position}; },
          [](const Command::RejectRequest& c) -> Result { return action::RejectRequest{c.requestID}; },
          [](const Command::VoteRequest& c) -> Result { return action::Vote{c.requestID, c.up}; },
          [](const Command::UpdateSettings& c) -> Result { return action::UpdateSettings{c.settings}; },
          [](const Command::SetBadge& c) -> Result { return action::SetBadge{c.tier}; },
          [](const Command::ClearQueue&) -> Result { return action::ClearQueue{}; },
          [](const Command::Play&) -> Result { return action::Play{}; },
          [](const Command::Pause&) -> Result { return action::Pause{}; },
          [](const Command::Skip&) -> Result { return action::Skip{}; },
          // hello, authenticateDJ, resignDJ, search, listTracks, add, listPlaylists, loadPlaylist,
          // the saved-playlist commands and audio need the host's own services.
          [](const auto&) -> Result { return std::nullopt; },
      },
      command.payload);
}

}  // namespace vinaro
