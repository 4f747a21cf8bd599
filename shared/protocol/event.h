#pragma once

#include <array>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/session_state.h"
#include "protocol/envelope.h"
#include "protocol/host_audio_state.h"
#include "protocol/protocol_error.h"

namespace vinaro {

/// What the host tells a phone: the body of every message the host sends.
struct Event {
  struct Welcome {
    std::string participantID;
    Role role = Role::guest;
    SessionState state;  // as this guest may see it
    // Wire name: each field's key.
    static auto wireFields() {
      using wire::field;
      return std::tuple{field("participantID", &Welcome::participantID), field("role", &Welcome::role),
                        field("state", &Welcome::state)};
    }
    bool operator==(const Welcome&) const = default;
  };
  struct RoleChanged {
    Role role = Role::guest;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("role", &RoleChanged::role)}; }
    bool operator==(const RoleChanged&) const = default;
  };
  struct SearchResults {
    std::vector<Track> tracks;
    std::vector<PlaylistRef> collections;
    // Wire name: each field's key.
    static auto wireFields() {
      using wire::field;
      return std::tuple{field("tracks", &SearchResults::tracks, std::vector<Track>{}),
                        field("collections", &SearchResults::collections, std::vector<PlaylistRef>{})};
    }
    bool operator==(const SearchResults&) const = default;
  };
  struct Tracks {
    PlaylistRef ref;
    std::vector<Track> tracks;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("ref", &Tracks::ref), wire::field("tracks", &Tracks::tracks)}; }
    bool operator==(const Tracks&) const = default;
  };

  using Payload = std::variant<Welcome, SessionState, RoleChanged, SearchResults, Tracks, std::vector<PlaylistRef>,
                               HostAudioState, ProtocolError>;

  /// Wire names, one per alternative of Payload, in the same order.
  // Wire name: the "type" of each message.
  static constexpr std::array<std::string_view, 8> typeNames = {
      "welcome", "state", "roleChanged", "searchResults", "tracks", "playlists", "hostAudio", "error"};

  Payload payload;

  std::string_view type() const { return typeNames[payload.index()]; }

  void writeBody(wire::ObjectWriter& object) const;
  static Event readBody(const wire::ObjectReader& object);

  bool operator==(const Event&) const = default;
};

}  // namespace vinaro

template <>
struct std::hash<vinaro::Event> {
  std::size_t operator()(const vinaro::Event& event) const {
    return vinaro::hashFields(event.payload);
  }
};
