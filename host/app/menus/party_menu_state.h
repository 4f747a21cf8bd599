#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "model/session_state.h"

namespace kovali {

/// The texts and enabled states of the party's quick controls, as the "Party" menu and the tray
/// item show them, read from the session and the number of phones that said hello.
struct PartyMenuState {
  /// "Pause" while the party plays, otherwise "Play".
  std::string playPauseTitle;
  /// Play/pause needs a current song or a queue to start.
  bool canPlayPause = false;
  /// Skip needs a current song.
  bool canSkip = false;
  /// "Nothing playing", or the current song's title and artist.
  std::string nowPlaying;
  /// "Up next: nothing queued", or the first queued title and how many follow it.
  std::string upNext;
  /// "2 requests waiting…" while requests wait for the DJ; nothing otherwise.
  std::optional<std::string> requests;
  /// "3 partygoers · Playing": the tray item's status line.
  std::string statusLine;

  static PartyMenuState of(const vinaro::SessionState& state, std::size_t partygoerCount);

  bool operator==(const PartyMenuState&) const = default;
};

}  // namespace kovali
