#include "session/archive/session_snapshot.h"

#include "protocol/json_writer.h"

namespace kovali {

void writeJSON(vinaro::wire::Writer& writer, const SessionSnapshotParts& parts) {
  writer.writeObject([&](vinaro::wire::ObjectWriter& object) {
    object.field("state", parts.state);
    object.field("djDeviceIDs", parts.djDeviceIDs);
    object.field("savedAt", parts.savedAt);
    object.field("participantIDsArePublic", parts.participantIDsArePublic);
  });
}

}  // namespace kovali
