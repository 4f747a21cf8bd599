#include "session/session_store.h"

namespace kovali {

// The music commands, the player drive, the timed work, the Bonjour status and the sound remote
// control are not in yet: phones' music commands get no answer, the player does not follow the
// party, and nothing is timed, published or pushed.

void SessionStore::routeMusicCommand(const vinaro::Command&, const vinaro::Participant&, const std::string&,
                                     ConnectionID) {}
void SessionStore::syncPlayer() {}
void SessionStore::handlePlayerEvent(const PlayerEngine::Event&) {}
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
