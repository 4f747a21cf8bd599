#include "session/archive/session_snapshot.h"

#include "protocol/json_writer.h"

namespace kovali {

void writeJSON(vinaro::wire::Writer& writer, const SessionSnapshotParts& parts) {
  // In key order, so that the writer need not move the state's bytes to sort them.
  writer.writeObject([&](vinaro::wire::ObjectWriter& object) {
    object.field("djDeviceIDs", parts.djDeviceIDs);
    object.field("participantIDsArePublic", parts.participantIDsArePublic);
    object.field("savedAt", parts.savedAt);
    if (parts.encodedState.empty()) {
      object.field("state", parts.state);
    } else {
      object.encodedField("state", parts.encodedState);
    }
  });
}

}  // namespace kovali
