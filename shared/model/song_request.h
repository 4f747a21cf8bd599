#pragma once

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/date.h"
#include "model/participant.h"
#include "model/track.h"

namespace vinaro {

enum class RequestStatus { pending, approved, rejected };

template <>
struct EnumNames<RequestStatus> {
  static constexpr std::string_view typeName = "RequestStatus";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 3> rawValues = {"pending", "approved", "rejected"};
};

/// What a request asks for: one song, or a whole album or playlist resolved on approval.
struct RequestItem {
  std::variant<Track, PlaylistRef> value;

  static RequestItem track(Track track) { return {std::move(track)}; }
  static RequestItem collection(PlaylistRef ref) { return {std::move(ref)}; }

  const Track* trackValue() const { return std::get_if<Track>(&value); }
  const PlaylistRef* collectionValue() const { return std::get_if<PlaylistRef>(&value); }

  /// Identity for duplicate checks: "track:<id>" or "collection:<source>:<id>".
  std::string key() const;
  const std::string& title() const;
  /// The artist for a song; "Album"/"Playlist", subtitle and song count for a collection.
  std::string subtitle() const;
  const std::optional<std::string>& artworkURLTemplate() const;

  bool operator==(const RequestItem&) const = default;
};

/// A partygoer's suggestion, pending until a DJ approves or rejects it.
struct SongRequest {
  std::string id;
  RequestItem item;
  Participant requestedBy;
  Date createdAt;
  RequestStatus status = RequestStatus::pending;
  std::optional<Date> resolvedAt;
  std::vector<std::string> votes;  // participant ids

  std::optional<Track> track() const;
  std::optional<PlaylistRef> collection() const;
  bool isPending() const { return status == RequestStatus::pending; }
  std::size_t voteCount() const { return votes.size(); }
  bool hasVote(std::string_view participantID) const;

  bool operator==(const SongRequest&) const = default;
};

void writeJSON(wire::Writer& writer, const SongRequest& request);
SongRequest readJSON(const wire::Value& value, std::type_identity<SongRequest>);

}  // namespace vinaro

template <>
struct std::hash<vinaro::RequestItem> {
  std::size_t operator()(const vinaro::RequestItem& item) const {
    return vinaro::hashFields(item.value);
  }
};

template <>
struct std::hash<vinaro::SongRequest> {
  std::size_t operator()(const vinaro::SongRequest& r) const {
    return vinaro::hashFields(r.id, r.item, r.requestedBy, r.createdAt, r.status, r.resolvedAt, r.votes);
  }
};
