#pragma once

#include <optional>

#include "model/session_action.h"
#include "protocol/command.h"

namespace vinaro {

/// The change a guest's command asks of the party, or nothing for the commands the host handles
/// itself (greeting, DJ login, music lookups, audio, saved playlists). Values pass unchanged.
std::optional<SessionAction> sessionAction(const Command& command);

}  // namespace vinaro
