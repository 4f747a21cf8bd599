#pragma once

#include <functional>

#include "model/participant.h"

namespace vinaro {

/// Who makes a change: the host application itself, or a connected phone's participant.
class Actor {
 public:
  static Actor host() { return Actor(true, Participant::host("Host")); }
  static Actor participant(Participant record) { return Actor(false, std::move(record)); }

  bool isHost() const { return isHost_; }
  /// The host, or a participant whose role is dj.
  bool isDJ() const { return isHost_ || record_.role == Role::dj; }
  /// The record written wherever the reducer notes who acted; the host's is "host", "Host", dj.
  const Participant& participant() const { return record_; }

  bool operator==(const Actor&) const = default;

 private:
  Actor(bool isHost, Participant record) : isHost_(isHost), record_(std::move(record)) {}

  bool isHost_;
  Participant record_;
};

}  // namespace vinaro

template <>
struct std::hash<vinaro::Actor> {
  std::size_t operator()(const vinaro::Actor& actor) const {
    if (actor.isHost()) return vinaro::hashFields(0);
    const vinaro::Participant& p = actor.participant();
    return vinaro::hashFields(1, p.id, p.name, p.role);
  }
};
