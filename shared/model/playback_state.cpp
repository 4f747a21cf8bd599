#include "model/playback_state.h"

#include <algorithm>

namespace vinaro {

double PlaybackState::position(Date date) const {
  double position = elapsed;
  if (status == PlaybackStatus::playing) position += std::max(0.0, date.secondsSince(elapsedAt));
  if (current && current->track.duration && position > *current->track.duration) {
    position = *current->track.duration;
  }
  return position >= 0 ? position : 0;  // NaN fails the comparison too
}

void writeJson(wire::Writer& writer, const QueueItem& item) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("addedAt", item.addedAt);
    object.field("addedBy", item.addedBy);
    object.field("id", item.id);
    object.field("track", item.track);
  });
}

QueueItem readJson(const wire::Value& value, std::type_identity<QueueItem>) {
  const wire::ObjectReader object(value);
  return QueueItem{
      .id = object.required<std::string>("id"),
      .track = object.required<Track>("track"),
      .addedBy = object.required<Participant>("addedBy"),
      .addedAt = object.required<Date>("addedAt"),
  };
}

void writeJson(wire::Writer& writer, const LiveInput& input) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", input.id);
    object.field("name", input.name);
    object.field("queueWasPlaying", input.queueWasPlaying);
  });
}

LiveInput readJson(const wire::Value& value, std::type_identity<LiveInput>) {
  const wire::ObjectReader object(value);
  return {object.required<std::string>("id"), object.required<std::string>("name"),
          object.required<bool>("queueWasPlaying")};
}

void writeJson(wire::Writer& writer, const PlaybackState& playback) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("current", playback.current);
    object.field("elapsed", playback.elapsed);
    object.field("elapsedAt", playback.elapsedAt);
    object.field("status", playback.status);
  });
}

PlaybackState readJson(const wire::Value& value, std::type_identity<PlaybackState>) {
  const wire::ObjectReader object(value);
  return PlaybackState{
      .status = object.required<PlaybackStatus>("status"),
      .current = object.optional<QueueItem>("current"),
      .elapsed = object.required<double>("elapsed"),
      .elapsedAt = object.required<Date>("elapsedAt"),
  };
}

}  // namespace vinaro
