// Wire text: the refusals made here reach the phones word for word.
#include <string>

#include "model/session_reducer.h"

namespace vinaro {

namespace {

/// Why `limit`, shown as `label`, cannot replace `stored`, or nothing. A limit kept as it was
/// passes, so that one stored before limits were checked does not block every other change.
std::optional<ProtocolError> limitRefusal(const char* label, std::int64_t limit, std::int64_t stored) {
  if (limit == stored || (limit >= SessionSettings::smallestLimit && limit <= SessionSettings::largestLimit)) {
    return std::nullopt;
  }
  return ProtocolError::badRequest(std::string(label) + " must be a number from " +
                                   std::to_string(SessionSettings::smallestLimit) + " to " +
                                   std::to_string(SessionSettings::largestLimit) + ".");
}

}  // namespace

SessionReducer::Refusal SessionReducer::updateSettings(const SessionSettings& settings, SessionState& state) {
  if (auto refusal =
          limitRefusal("Songs per partygoer", settings.maxPendingPerGuest, state.settings.maxPendingPerGuest)) {
    return refusal;
  }
  if (auto refusal =
          limitRefusal("Requests per partygoer", settings.maxRequestsPerGuest, state.settings.maxRequestsPerGuest)) {
    return refusal;
  }
  state.settings = settings;
  return std::nullopt;
}

}  // namespace vinaro
