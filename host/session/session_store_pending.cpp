#include "session/session_store.h"

namespace kovali {

// The timed work, the Bonjour status and the sound remote control are not in yet: nothing is
// pruned, played automatically, published or pushed.

void SessionStore::startPruneLoop() {}
void SessionStore::scheduleAutoPlay() {}
void SessionStore::syncDelayedOutputs() {}
void SessionStore::publishTXT() {}
void SessionStore::handleAudio(const vinaro::AudioCommand&, const std::string&, ConnectionID) {}
void SessionStore::audioSettingsChanged() {}
void SessionStore::scheduleAudioPush() {}
void SessionStore::defaultOutputChanged() {}
void SessionStore::reconcileAudio() {}

}  // namespace kovali
