#pragma once

#include <set>
#include <string>
#include <vector>

#include "model/date.h"
#include "model/session_state.h"
#include "protocol/json_fields.h"

namespace vinaro::wire {
class Writer;
}

namespace kovali {

/// A snapshot's parts where they already are, so that saving a big party copies none of it.
struct SessionSnapshotParts {
  const vinaro::SessionState& state;
  const std::vector<std::string>& djDeviceIDs;  // ascending
  vinaro::Date savedAt;
  bool participantIDsArePublic = true;
  /// `state` already encoded, when it is at hand; else it is encoded for the save.
  std::string_view encodedState = {};
};

/// Written with the keys that `SessionSnapshot` reads back.
void writeJSON(vinaro::wire::Writer& writer, const SessionSnapshotParts& parts);

/// What the session file keeps: the whole session as the host holds it, the devices that hold
/// the DJ role, and when it was taken.
struct SessionSnapshot {
  vinaro::SessionState state;
  std::vector<std::string> djDeviceIDs;  // ascending
  vinaro::Date savedAt;
  /// Whether the state names phones by their public ids; files from before this mark may still
  /// hold device ids, and are read as not marked.
  bool participantIDsArePublic = false;

  /// The snapshot of a store's session (which names phones by public ids), with its set of DJ devices in ascending order.
  static SessionSnapshot of(vinaro::SessionState state, const std::set<std::string>& djDeviceIDs,
                            vinaro::Date savedAt) {
    return {std::move(state), {djDeviceIDs.begin(), djDeviceIDs.end()}, savedAt, true};
  }

  static auto wireFields() {
    using vinaro::wire::field;
    return std::tuple{field("state", &SessionSnapshot::state), field("djDeviceIDs", &SessionSnapshot::djDeviceIDs),
                      field("savedAt", &SessionSnapshot::savedAt),
                      field("participantIDsArePublic", &SessionSnapshot::participantIDsArePublic, false)};
  }

  SessionSnapshotParts parts() const { return {state, djDeviceIDs, savedAt, participantIDsArePublic}; }

  bool operator==(const SessionSnapshot&) const = default;
};

}  // namespace kovali
