#include <algorithm>

#include "model/session_reducer.h"

namespace vinaro {

std::vector<SongRequest> SessionReducer::orderedRequests(std::vector<SongRequest> requests) {
  const auto resolved = std::stable_partition(requests.begin(), requests.end(),
                                              [](const SongRequest& request) { return request.isPending(); });
  std::stable_sort(requests.begin(), resolved, [](const SongRequest& a, const SongRequest& b) {
    if (a.votes.size() != b.votes.size()) return a.votes.size() > b.votes.size();
    return a.createdAt < b.createdAt;
  });
  return requests;
}

}  // namespace vinaro
