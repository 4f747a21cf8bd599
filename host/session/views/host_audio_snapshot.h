#pragma once

#include <string>

#include "audio/audio_inputs.h"
#include "audio/audio_output.h"
#include "audio/multi_room_audio.h"
#include "heos/heos_controller.h"
#include "protocol/host_audio_state.h"

namespace kovali {

/// What a DJ's phone is shown of the host's sound: outputs, multi-room, HEOS and live inputs.
vinaro::HostAudioState hostAudioSnapshot(const AudioOutput& audio, const MultiRoomAudio& multiRoom,
                                         const HEOSController& heos, const AudioInputs& inputs);

/// "party" (connected and playing the party), "connected", "failed", "off", "searching",
/// "connecting" or "notfound", as phones read HEOS's state.
std::string heosStatusWord(const HEOSController& heos);

}  // namespace kovali
