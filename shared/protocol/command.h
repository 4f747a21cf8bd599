#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "model/participant.h"
#include "model/session_settings.h"
#include "model/track.h"
#include "protocol/audio_command.h"
#include "protocol/envelope.h"

namespace vinaro {

/// What a phone asks of the host: the body of every message a phone sends.
struct Command {
  struct Hello {
    std::string name;
    std::string deviceID;
    std::int64_t protocolVersion = 0;
    // Wire name: each field's key.
    static auto wireFields() {
      using wire::field;
      return std::tuple{field("name", &Hello::name), field("deviceID", &Hello::deviceID),
                        field("protocolVersion", &Hello::protocolVersion)};
    }
    bool operator==(const Hello&) const = default;
  };
  struct AuthenticateDJ {
    std::string pin;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("pin", &AuthenticateDJ::pin)}; }
    bool operator==(const AuthenticateDJ&) const = default;
  };
  struct ResignDJ {
    bool operator==(const ResignDJ&) const = default;
  };
  enum class SearchKind { songs, albums, playlists };
  struct Search {
    std::string query;
    std::int64_t limit = 25;
    SearchKind kind = SearchKind::songs;
    // Wire name: each field's key.
    static auto wireFields() {
      using wire::field;
      return std::tuple{field("query", &Search::query), field("limit", &Search::limit, 25),
                        field("kind", &Search::kind, SearchKind::songs)};
    }
    bool operator==(const Search&) const = default;
  };
  struct ListTracks {
    PlaylistRef ref;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("ref", &ListTracks::ref)}; }
    bool operator==(const ListTracks&) const = default;
  };
  struct Add {
    std::string trackID;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("trackID", &Add::trackID)}; }
    bool operator==(const Add&) const = default;
  };
  struct SuggestCollection {
    PlaylistRef ref;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("ref", &SuggestCollection::ref)}; }
    bool operator==(const SuggestCollection&) const = default;
  };
  struct Remove {
    std::string itemID;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("itemID", &Remove::itemID)}; }
    bool operator==(const Remove&) const = default;
  };
  struct Move {
    std::string itemID;
    std::int64_t toIndex = 0;
    // Wire name: each field's key.
    static auto wireFields() {
      return std::tuple{wire::field("itemID", &Move::itemID), wire::field("toIndex", &Move::toIndex)};
    }
    bool operator==(const Move&) const = default;
  };
  struct ClearQueue {
    bool operator==(const ClearQueue&) const = default;
  };
  struct Play {
    bool operator==(const Play&) const = default;
  };
  struct Pause {
    bool operator==(const Pause&) const = default;
  };
  struct Skip {
    bool operator==(const Skip&) const = default;
  };
  struct SetMode {
    PartyMode mode = PartyMode::collaboration;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("mode", &SetMode::mode)}; }
    bool operator==(const SetMode&) const = default;
  };
  struct ApproveRequest {
    std::string requestID;
    QueuePosition position = QueuePosition::end;
    // Wire name: each field's key.
    static auto wireFields() {
      return std::tuple{wire::field("requestID", &ApproveRequest::requestID),
                        wire::field("position", &ApproveRequest::position)};
    }
    bool operator==(const ApproveRequest&) const = default;
  };
  struct RejectRequest {
    std::string requestID;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("requestID", &RejectRequest::requestID)}; }
    bool operator==(const RejectRequest&) const = default;
  };
  struct VoteRequest {
    std::string requestID;
    bool up = true;
    // Wire name: each field's key.
    static auto wireFields() {
      return std::tuple{wire::field("requestID", &VoteRequest::requestID), wire::field("up", &VoteRequest::up)};
    }
    bool operator==(const VoteRequest&) const = default;
  };
  struct ListPlaylists {
    PlaylistRef::Source source = PlaylistRef::Source::library;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("source", &ListPlaylists::source)}; }
    bool operator==(const ListPlaylists&) const = default;
  };
  struct LoadPlaylist {
    PlaylistRef ref;
    bool replaceQueue = false;
    // Wire name: each field's key.
    static auto wireFields() {
      return std::tuple{wire::field("ref", &LoadPlaylist::ref), wire::field("replaceQueue", &LoadPlaylist::replaceQueue)};
    }
    bool operator==(const LoadPlaylist&) const = default;
  };
  struct SaveQueueAsPlaylist {
    std::string name;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("name", &SaveQueueAsPlaylist::name)}; }
    bool operator==(const SaveQueueAsPlaylist&) const = default;
  };
  struct DeletePlaylist {
    std::string id;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("id", &DeletePlaylist::id)}; }
    bool operator==(const DeletePlaylist&) const = default;
  };
  struct UpdateSettings {
    SessionSettings settings;
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("settings", &UpdateSettings::settings)}; }
    bool operator==(const UpdateSettings&) const = default;
  };
  struct SetBadge {
    std::optional<std::string> tier;  // any text; the reducer refuses unknown tiers
    static SetBadge withTier(std::optional<SupporterTier> tier) {
      if (!tier) return {};
      return {std::string(rawValue(*tier))};
    }
    // Wire name: each field's key.
    static auto wireFields() { return std::tuple{wire::field("tier", &SetBadge::tier)}; }
    bool operator==(const SetBadge&) const = default;
  };

  using Payload = std::variant<Hello, AuthenticateDJ, ResignDJ, Search, ListTracks, Add, SuggestCollection, Remove,
                               Move, ClearQueue, Play, Pause, Skip, SetMode, ApproveRequest, RejectRequest,
                               VoteRequest, ListPlaylists, LoadPlaylist, SaveQueueAsPlaylist, DeletePlaylist,
                               AudioCommand, UpdateSettings, SetBadge>;

  /// One per alternative of Payload, in the same order.
  // Wire name: the "type" of each message.
  static constexpr std::array<std::string_view, 24> typeNames = {
      "hello",         "authenticateDJ", "resignDJ",      "search",        "listTracks",
      "add",           "suggestCollection", "remove",     "move",          "clearQueue",
      "play",          "pause",          "skip",          "setMode",       "approveRequest",
      "rejectRequest", "voteRequest",    "listPlaylists", "loadPlaylist",  "saveQueueAsPlaylist",
      "deletePlaylist", "audio",         "updateSettings", "setBadge"};

  Payload payload;

  std::string_view type() const { return typeNames[payload.index()]; }
  /// Whether only a DJ (or the host) may send this command.
  bool requiresDJ() const;

  void writeBody(wire::ObjectWriter& object) const;
  static Command readBody(const wire::ObjectReader& object);

  bool operator==(const Command&) const = default;
};

template <>
struct EnumNames<Command::SearchKind> {
  static constexpr std::string_view typeName = "SearchKind";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 3> rawValues = {"songs", "albums", "playlists"};
};

}  // namespace vinaro

template <>
struct std::hash<vinaro::Command> {
  std::size_t operator()(const vinaro::Command& command) const {
    return vinaro::hashFields(command.payload);
  }
};
