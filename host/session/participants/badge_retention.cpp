#include "session/participants/badge_retention.h"

#include <algorithm>
#include <utility>

namespace kovali {

void BadgeRetention::seen(const std::string& participantID, MonotonicTime now) { lastSeen_[participantID] = now; }

std::vector<std::string> BadgeRetention::expired(const std::map<std::string, std::string>& badges,
                                                 const std::set<std::string>& connected, MonotonicTime now) {
  std::erase_if(lastSeen_, [&](const auto& entry) { return !badges.contains(entry.first); });
  std::vector<std::pair<MonotonicTime, std::string>> absent;
  std::vector<std::string> gone;
  for (const auto& [id, tier] : badges) {
    if (connected.contains(id)) {
      lastSeen_[id] = now;
      continue;
    }
    const auto seenAt = lastSeen_.find(id);
    const MonotonicTime when = seenAt == lastSeen_.end() ? start_ : seenAt->second;
    if (secondsBetween(when, now) > keepSeconds) {
      gone.push_back(id);
    } else {
      absent.emplace_back(when, id);
    }
  }
  if (absent.size() > maxAbsentHolders) {
    // The most recently seen first; the rest beyond the limit go.
    std::sort(absent.begin(), absent.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (auto it = absent.begin() + maxAbsentHolders; it != absent.end(); ++it) gone.push_back(it->second);
  }
  for (const auto& id : gone) lastSeen_.erase(id);
  return gone;
}

}  // namespace kovali
