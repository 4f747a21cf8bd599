#pragma once

#include <optional>
#include <string>

namespace kovali {

/// Connects to the sound server (PulseAudio, or PipeWire's pulse server) the way the player does
/// and hangs up again. Nothing when it answers within `timeoutSeconds`, else why not, as a
/// sentence. Blocks: call it off the main thread.
std::optional<std::string> soundServerProblem(double timeoutSeconds = 3);

}  // namespace kovali
