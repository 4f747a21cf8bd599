#pragma once

#include "model/session_state.h"

namespace vinaro::samples {

inline const Participant ana{"device-ana", "Ana", Role::guest};
inline const Participant ben{"device-ben", "Ben", Role::guest};
inline const Participant dj{"device-dj", "Dee", Role::dj};

inline Track track(const std::string& id, std::optional<double> duration = 200.0) {
  return Track{id, "Title " + id, "Artist " + id, std::nullopt, duration, std::nullopt, false};
}

inline QueueItem queueItem(const std::string& id, const std::string& trackID, const Participant& by = ana) {
  return QueueItem{id, track(trackID), by, Date{1000}};
}

inline SongRequest request(const std::string& id, RequestItem item, const Participant& by, double createdAtMs,
                           std::vector<std::string> votes, RequestStatus status = RequestStatus::pending) {
  std::optional<Date> resolvedAt;
  if (status != RequestStatus::pending) resolvedAt = Date{createdAtMs + 1};
  return SongRequest{id, std::move(item), by, Date{createdAtMs}, status, resolvedAt, std::move(votes)};
}

inline PlaylistRef album(const std::string& id, std::string name = "Album") {
  return PlaylistRef{PlaylistRef::Source::album, id, std::move(name), std::nullopt, std::nullopt, std::nullopt};
}

}  // namespace vinaro::samples
