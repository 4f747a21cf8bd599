#include "platform/sound/devices/audio_system.h"

namespace kovali {

AudioSystem::~AudioSystem() = default;

}  // namespace kovali
