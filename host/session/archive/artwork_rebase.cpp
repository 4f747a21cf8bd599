#include "session/archive/artwork_rebase.h"

#include "platform/library/artwork_address.h"

namespace kovali {

namespace {

void rebase(std::optional<std::string>& artworkTemplate, const std::string& address) {
  if (artworkTemplate) artworkTemplate = rebasedArtworkTemplate(*artworkTemplate, address);
}

}  // namespace

vinaro::SessionState withArtworkAt(vinaro::SessionState state, const std::string& address) {
  if (state.playback.current) rebase(state.playback.current->track.artworkURLTemplate, address);
  for (auto& item : state.queue) rebase(item.track.artworkURLTemplate, address);
  for (auto& request : state.requests) {
    std::visit([&](auto& value) { rebase(value.artworkURLTemplate, address); }, request.item.value);
  }
  return state;
}

}  // namespace kovali
