#include "model/song_request.h"

#include <algorithm>

namespace vinaro {

std::string RequestItem::key() const {
  if (const Track* song = trackValue()) return "track:" + song->id;
  const PlaylistRef& ref = *collectionValue();
  return "collection:" + std::string(rawValue(ref.source)) + ":" + ref.id;
}

const std::string& RequestItem::title() const {
  if (const Track* song = trackValue()) return song->title;
  return collectionValue()->name;
}

std::string RequestItem::subtitle() const {
  if (const Track* song = trackValue()) return song->artist;
  const PlaylistRef& ref = *collectionValue();
  std::string text = ref.source == PlaylistRef::Source::album ? "Album" : "Playlist";
  constexpr std::string_view kSeparator = " \u00B7 ";
  if (ref.subtitle && !ref.subtitle->empty()) text.append(kSeparator).append(*ref.subtitle);
  if (ref.trackCount) text.append(kSeparator).append(std::to_string(*ref.trackCount)).append(" songs");
  return text;
}

const std::optional<std::string>& RequestItem::artworkURLTemplate() const {
  if (const Track* song = trackValue()) return song->artworkURLTemplate;
  return collectionValue()->artworkURLTemplate;
}

std::optional<Track> SongRequest::track() const {
  if (const Track* song = item.trackValue()) return *song;
  return std::nullopt;
}

std::optional<PlaylistRef> SongRequest::collection() const {
  if (const PlaylistRef* ref = item.collectionValue()) return *ref;
  return std::nullopt;
}

bool SongRequest::hasVote(std::string_view participantID) const {
  return std::find(votes.begin(), votes.end(), participantID) != votes.end();
}

void writeJSON(wire::Writer& writer, const SongRequest& request) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    if (const PlaylistRef* ref = request.item.collectionValue()) object.field("collection", *ref);
    object.field("createdAt", request.createdAt);
    object.field("id", request.id);
    object.field("requestedBy", request.requestedBy);
    object.field("resolvedAt", request.resolvedAt);
    object.field("status", request.status);
    if (const Track* song = request.item.trackValue()) object.field("track", *song);
    object.field("votes", request.votes);
  });
}

SongRequest readJSON(const wire::Value& value, std::type_identity<SongRequest>) {
  const wire::ObjectReader object(value);
  SongRequest request;
  request.id = object.required<std::string>("id");
  // A collection wins when both keys are present.
  if (auto ref = object.optional<PlaylistRef>("collection")) {
    request.item = RequestItem::collection(std::move(*ref));
  } else {
    request.item = RequestItem::track(object.required<Track>("track"));
  }
  request.requestedBy = object.required<Participant>("requestedBy");
  request.createdAt = object.required<Date>("createdAt");
  request.status = object.required<RequestStatus>("status");
  request.resolvedAt = object.optional<Date>("resolvedAt");
  request.votes = object.optional<std::vector<std::string>>("votes").value_or(std::vector<std::string>{});
  return request;
}

}  // namespace vinaro
