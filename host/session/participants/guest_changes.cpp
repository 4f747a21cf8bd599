#include "session/participants/guest_changes.h"

#include <algorithm>

namespace kovali {

bool GuestChanges::offer(Change change, const std::string& address, MonotonicTime now) {
  auto& line = waiting_[address];
  if (line.size() >= waitingPerAddress) return false;
  forgetQuietGuests(now);
  const auto pace = guests_.try_emplace(change.sender.id, CommandRate::forChanges()).first;
  if (!pace->second.take(now)) {
    if (line.empty()) waiting_.erase(address);
    return false;
  }
  if (line.empty()) turns_.push_back(address);
  line.push_back(std::move(change));
  return true;
}

std::vector<GuestChanges::Change> GuestChanges::take(MonotonicTime now) {
  std::vector<Change> taken;
  while (!turns_.empty() && allGuests_.take(now)) {
    const std::string address = std::move(turns_.front());
    turns_.pop_front();
    auto line = waiting_.find(address);
    taken.push_back(std::move(line->second.front()));
    line->second.pop_front();
    if (line->second.empty()) {
      waiting_.erase(line);
    } else {
      turns_.push_back(address);
    }
  }
  return taken;
}

std::optional<double> GuestChanges::secondsUntilNextTurn(MonotonicTime now) const {
  if (turns_.empty()) return std::nullopt;
  return allGuests_.secondsUntilNext(now);
}

void GuestChanges::forget(ConnectionID connection) {
  for (auto line = waiting_.begin(); line != waiting_.end();) {
    std::erase_if(line->second, [connection](const Change& change) { return change.connection == connection; });
    if (line->second.empty()) {
      std::erase(turns_, line->first);
      line = waiting_.erase(line);
    } else {
      ++line;
    }
  }
}

void GuestChanges::forgetQuietGuests(MonotonicTime now) {
  // Bounded by the guests changing the party now, not by every guest there ever was; looked
  // through once the count has doubled, so a flood's offers do not each walk every guest.
  if (guests_.size() < lookAtGuests_) return;
  std::erase_if(guests_, [now](const auto& guest) { return guest.second.isWhole(now); });
  lookAtGuests_ = std::max<std::size_t>(64, 2 * guests_.size());
}

}  // namespace kovali
