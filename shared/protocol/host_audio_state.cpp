#include "protocol/host_audio_state.h"

namespace vinaro {

bool HostAudioState::MultiRoom::isActive() const { return status == "on" || status == "starting"; }

std::optional<std::string> HostAudioState::MultiRoom::visibleDetail() const {
  const bool reportsError = isError.value_or(status == "failed");
  if (reportsError || !isSupported) return detail;
  return std::nullopt;
}

bool HostAudioState::HEOS::isConnected() const { return status == "connected" || status == "party"; }

bool HostAudioState::HEOS::isBusy() const { return status == "searching" || status == "connecting"; }

}  // namespace vinaro
