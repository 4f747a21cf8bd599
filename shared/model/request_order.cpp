#include <algorithm>
#include <numeric>

#include "model/session_reducer.h"

namespace vinaro {

std::vector<SongRequest> SessionReducer::orderedRequests(std::vector<SongRequest> requests) {
  // Positions are sorted rather than the requests, so that each request is moved only once.
  std::vector<std::size_t> order(requests.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  const auto resolved =
      std::stable_partition(order.begin(), order.end(), [&](std::size_t i) { return requests[i].isPending(); });
  std::stable_sort(order.begin(), resolved, [&](std::size_t a, std::size_t b) {
    const SongRequest& first = requests[a];
    const SongRequest& second = requests[b];
    if (first.votes.size() != second.votes.size()) return first.votes.size() > second.votes.size();
    return first.createdAt < second.createdAt;
  });
  std::vector<SongRequest> ordered;
  ordered.reserve(requests.size());
  for (const std::size_t i : order) ordered.push_back(std::move(requests[i]));
  return ordered;
}

}  // namespace vinaro
