#include "app/menus/party_menu_state.h"

#include <algorithm>

#include "app/party/party_view_model.h"

namespace kovali {

namespace {

using vinaro::PlaybackStatus;

constexpr const char* middleDot = " \u00B7 ";

std::string nowPlayingLine(const vinaro::SessionState& state) {
  const auto& current = state.playback.current;
  if (!current) return "Nothing playing";
  return current->track.title + middleDot + current->track.artist;
}

std::string upNextLine(const vinaro::SessionState& state) {
  if (state.queue.empty()) return "Up next: nothing queued";
  std::string line = "Up next: " + state.queue.front().track.title;
  if (state.queue.size() > 1) line += "  +" + std::to_string(state.queue.size() - 1);
  return line;
}

std::optional<std::string> requestsLine(const vinaro::SessionState& state) {
  const auto waiting = std::count_if(state.requests.begin(), state.requests.end(), [](const auto& request) {
    return request.status == vinaro::RequestStatus::pending;
  });
  if (waiting == 0) return std::nullopt;
  const std::string count = waiting == 1 ? "1 request" : std::to_string(waiting) + " requests";
  return count + " waiting\u2026";
}

}  // namespace

PartyMenuState PartyMenuState::of(const vinaro::SessionState& state, std::size_t partygoerCount) {
  const auto& playback = state.playback;
  return PartyMenuState{
      .playPauseTitle = playback.status == PlaybackStatus::playing ? "Pause" : "Play",
      .canPlayPause = playback.current.has_value() || !state.queue.empty(),
      .canSkip = playback.current.has_value(),
      .nowPlaying = nowPlayingLine(state),
      .upNext = upNextLine(state),
      .requests = requestsLine(state),
      .statusLine = partygoersText(partygoerCount) + middleDot + playbackWord(playback.status),
  };
}

}  // namespace kovali
