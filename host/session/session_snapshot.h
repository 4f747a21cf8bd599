#pragma once

#include <set>
#include <string>
#include <vector>

#include "model/date.h"
#include "model/session_state.h"
#include "protocol/json_fields.h"

namespace kovali {

/// What the session file keeps: the whole session as the host holds it, the devices that hold
/// the DJ role, and when it was taken.
struct SessionSnapshot {
  vinaro::SessionState state;
  std::vector<std::string> djDeviceIDs;  // ascending
  vinaro::Date savedAt;

  /// The snapshot of a store's session, with its set of DJ devices in ascending order.
  static SessionSnapshot of(vinaro::SessionState state, const std::set<std::string>& djDeviceIDs,
                            vinaro::Date savedAt) {
    return {std::move(state), {djDeviceIDs.begin(), djDeviceIDs.end()}, savedAt};
  }

  static auto wireFields() {
    using vinaro::wire::field;
    return std::tuple{field("state", &SessionSnapshot::state), field("djDeviceIDs", &SessionSnapshot::djDeviceIDs),
                      field("savedAt", &SessionSnapshot::savedAt)};
  }

  bool operator==(const SessionSnapshot&) const = default;
};

}  // namespace kovali
