#pragma once

#include <cstddef>
#include <optional>

#include "protocol/command.h"
#include "protocol/protocol_error.h"

namespace vinaro {

/// The byte limits on the texts a phone sends, which the host keeps, forwards or searches with:
/// one phone's oversized text would otherwise grow every state, the session file, and each
/// reply to every phone.
namespace CommandLimits {

/// Ids of songs, queue items, requests, collections and outputs; the host's own are far shorter.
inline constexpr std::size_t maxIDBytes = 128;
/// Names and subtitles of collections, search queries and artwork templates.
inline constexpr std::size_t maxTextBytes = 256;
/// A partygoer's name, cut (not refused) at this many bytes and 64 characters.
inline constexpr std::size_t maxNameBytes = 256;
inline constexpr std::size_t maxPINBytes = 64;
inline constexpr std::size_t maxBadgeBytes = 32;

/// Why `command` is refused for a text over its limit (`bad_request`), or nothing.
std::optional<ProtocolError> refusal(const Command& command);

}  // namespace CommandLimits

}  // namespace vinaro
