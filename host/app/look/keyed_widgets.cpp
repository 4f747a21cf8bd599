#include "app/look/keyed_widgets.h"

#include <algorithm>

namespace kovali {

std::vector<bool> longestIncreasingRun(const std::vector<std::ptrdiff_t>& oldPlaces) {
  // Patience sorting: tails[k] ends the best run of length k + 1 found so far.
  std::vector<std::size_t> tails;
  std::vector<std::ptrdiff_t> before(oldPlaces.size(), -1);
  for (std::size_t entry = 0; entry < oldPlaces.size(); ++entry) {
    if (oldPlaces[entry] < 0) continue;
    const auto longer = std::lower_bound(tails.begin(), tails.end(), oldPlaces[entry],
                                         [&](std::size_t tail, std::ptrdiff_t value) { return oldPlaces[tail] < value; });
    if (longer != tails.begin()) before[entry] = static_cast<std::ptrdiff_t>(*(longer - 1));
    if (longer == tails.end()) {
      tails.push_back(entry);
    } else {
      *longer = entry;
    }
  }
  std::vector<bool> inRun(oldPlaces.size(), false);
  for (auto entry = tails.empty() ? -1 : static_cast<std::ptrdiff_t>(tails.back()); entry >= 0; entry = before[entry]) {
    inRun[static_cast<std::size_t>(entry)] = true;
  }
  return inRun;
}

}  // namespace kovali
