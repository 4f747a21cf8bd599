#include "model/session_settings.h"

namespace vinaro {

void writeJSON(wire::Writer& writer, const SessionSettings& settings) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("allowDuplicates", settings.allowDuplicates);
    object.field("autoPlaysTopRequest", settings.autoPlaysTopRequest);
    object.field("limitsPerGuest", settings.limitsPerGuest);
    object.field("limitsRequestsPerGuest", settings.limitsRequestsPerGuest);
    object.field("maxPendingPerGuest", settings.maxPendingPerGuest);
    object.field("maxRequestsPerGuest", settings.maxRequestsPerGuest);
    object.field("roundRobinGuests", false);
  });
}

SessionSettings readJSON(const wire::Value& value, std::type_identity<SessionSettings>) {
  const wire::ObjectReader object(value);
  SessionSettings settings;
  settings.limitsPerGuest = object.optional<bool>("limitsPerGuest").value_or(false);
  settings.maxPendingPerGuest = object.optional<std::int64_t>("maxPendingPerGuest").value_or(3);
  settings.allowDuplicates = object.optional<bool>("allowDuplicates").value_or(false);
  settings.limitsRequestsPerGuest = object.optional<bool>("limitsRequestsPerGuest").value_or(settings.limitsPerGuest);
  settings.maxRequestsPerGuest =
      object.optional<std::int64_t>("maxRequestsPerGuest").value_or(settings.maxPendingPerGuest);
  settings.autoPlaysTopRequest = object.optional<bool>("autoPlaysTopRequest").value_or(false);
  return settings;
}

}  // namespace vinaro
