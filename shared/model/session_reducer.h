#pragma once

#include <vector>

#include "model/song_request.h"

namespace vinaro {

/// The one pure function that turns a party state into the next.
struct SessionReducer {
  /// How long, in seconds, a resolved request stays before it is pruned.
  static constexpr double resolvedRequestLifetime = 600;

  /// Pending requests first, more votes first, then earlier first (stable); then the resolved
  /// ones in their previous order.
  static std::vector<SongRequest> orderedRequests(std::vector<SongRequest> requests);
};

}  // namespace vinaro
