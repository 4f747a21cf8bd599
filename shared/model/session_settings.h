#pragma once

#include <cstdint>

#include "model/hashing.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace vinaro {

/// The DJ's party rules.
struct SessionSettings {
  /// The range of the per-partygoer limits: 0 lets nobody add, and the host's own settings screen
  /// takes two digits.
  static constexpr std::int64_t smallestLimit = 0;
  static constexpr std::int64_t largestLimit = 99;

  bool limitsPerGuest = false;
  std::int64_t maxPendingPerGuest = 3;
  bool allowDuplicates = false;  // honoured in collaboration mode only
  bool limitsRequestsPerGuest = false;
  std::int64_t maxRequestsPerGuest = 3;
  bool autoPlaysTopRequest = false;

  bool operator==(const SessionSettings&) const = default;
};

/// Writes the six rules and "roundRobinGuests": false, which older phones still read.
void writeJSON(wire::Writer& writer, const SessionSettings& settings);
/// Every key may be missing; the request limit falls back to the song limit.
SessionSettings readJSON(const wire::Value& value, std::type_identity<SessionSettings>);

}  // namespace vinaro

template <>
struct std::hash<vinaro::SessionSettings> {
  std::size_t operator()(const vinaro::SessionSettings& s) const {
    return vinaro::hashFields(s.limitsPerGuest, s.maxPendingPerGuest, s.allowDuplicates, s.limitsRequestsPerGuest,
                              s.maxRequestsPerGuest, s.autoPlaysTopRequest);
  }
};
