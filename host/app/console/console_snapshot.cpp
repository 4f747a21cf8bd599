#include "app/console/console_snapshot.h"

#include "session/store/session_store.h"

namespace kovali {

ConsoleSnapshot ConsoleSnapshot::of(const SessionStore& store) {
  ConsoleSnapshot snapshot;
  snapshot.state = store.sharedState();
  for (const auto& [connection, participant] : store.participants()) snapshot.participants.push_back(participant);
  snapshot.lastHostError = store.lastHostError();
  snapshot.playbackError = store.playbackError();
  snapshot.saveProblem = store.saveProblem();
  snapshot.transportNotice = store.transportNotice();
  snapshot.availability = store.music().availability();
  snapshot.serverStatus = store.server().status();
  return snapshot;
}

}  // namespace kovali
