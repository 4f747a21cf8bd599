#include "platform/sound/audio_system.h"

namespace kovali {

AudioSystem::~AudioSystem() = default;

}  // namespace kovali
