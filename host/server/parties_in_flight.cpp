#include "server/parties_in_flight.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <ranges>
#include <utility>
#include <vector>

#include <QString>

#include "server/guest_limits.h"

namespace kovali {
namespace {

bool sameBytes(const QByteArray& a, const QByteArray& b) { return a.constData() == b.constData() && a.size() == b.size(); }

}  // namespace

void PartiesInFlight::update(GuestConnection* holder, OutgoingBacklog::Parties parties, Reading reading) {
  const MonotonicTime now = scheduler_.monotonicNow();
  auto found = holders_.find(holder);
  if (found != holders_.end() && sameParties(found->second.held, parties)) {
    // What it holds is as counted.
    found->second.held.written = parties.written;
    found->second.progress.record(reading, now);
    return;
  }
  if (found != holders_.end()) count(found->second.held, -1);
  if (parties.inSocket.empty() && parties.newest.isNull()) {
    if (found != holders_.end()) holders_.erase(found);
  } else {
    const bool begins = found == holders_.end() || !sameOldest(found->second.held, parties);
    if (found == holders_.end()) {
      const Progress::Mark began{0, reading.taken};
      found = holders_.emplace(holder, Holder{{}, {now, reading.waiting, 0, began, began, {}}}).first;
    }
    found->second.progress.record(reading, now);
    if (begins) found->second.progress.beginParty();
    found->second.held = std::move(parties);
    count(found->second.held, +1);
  }
  watchBudget();
}

void PartiesInFlight::forget(GuestConnection* holder) {
  spared_.erase(holder);
  update(holder, {}, {});
}

void PartiesInFlight::spare(GuestConnection* holder, bool spared) {
  if (spared) {
    spared_.insert(holder);
  } else {
    spared_.erase(holder);
  }
}

bool PartiesInFlight::sameParties(const OutgoingBacklog::Parties& a, const OutgoingBacklog::Parties& b) {
  return sameBytes(a.newest, b.newest) &&
         std::equal(a.inSocket.begin(), a.inSocket.end(), b.inSocket.begin(), b.inSocket.end(),
                    [](const auto& x, const auto& y) { return x.end == y.end && sameBytes(x.party, y.party); });
}

bool PartiesInFlight::sameOldest(const OutgoingBacklog::Parties& a, const OutgoingBacklog::Parties& b) {
  if (a.inSocket.empty() || b.inSocket.empty()) return a.inSocket.empty() == b.inSocket.empty();
  return sameBytes(a.inSocket.front().party, b.inSocket.front().party);
}

void PartiesInFlight::count(const OutgoingBacklog::Parties& held, int sign) {
  for (const auto& inSocket : held.inSocket) adjust(inSocket.party, sign, 0);
  if (!held.newest.isNull()) adjust(held.newest, 0, sign);
}

void PartiesInFlight::adjust(const QByteArray& party, int inSockets, int newestOf) {
  auto [at, added] = parties_.try_emplace(party.constData(), Party{party.size(), 0, 0, 0});
  Party& counted = at->second;
  if (counted.old()) oldBytes_ -= counted.bytes;
  counted.inSockets += inSockets;
  counted.newestOf += newestOf;
  if (counted.inSockets > 0 && counted.since == 0) counted.since = ++taken_;
  if (counted.old()) oldBytes_ += counted.bytes;
  if (counted.inSockets == 0 && counted.newestOf == 0) parties_.erase(at);
}

void PartiesInFlight::watchBudget() {
  const bool crossedCeiling = overCeiling() && !pastCeiling_;
  pastCeiling_ = overCeiling();
  if (!overBudget()) {
    lookingAgain_.stop();
    return;
  }
  // Past the ceiling, looked at as soon as it is crossed rather than up to a second later: a busy
  // party makes a few more old parties every second.
  if (lookingAgain_.isActive() && !crossedCeiling) return;
  // Looked at again while over: a phone reading now may stop later, and the silent ones qualify
  // only once they have been silent a while.
  if (!lookingAgain_.isActive()) {
    lookingAgain_ = scheduler_.repeat(GuestLimits::oldPartiesLookSeconds, [this] { emit budgetExceeded(); });
  }
  // And from the event loop at once: the caller may be going through every connection.
  if (std::exchange(lookPosted_, true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        lookPosted_ = false;
        if (overBudget()) emit budgetExceeded();
      },
      Qt::QueuedConnection);
}

std::optional<PartiesInFlight::Named> PartiesInFlight::heaviest() const {
  const MonotonicTime now = scheduler_.monotonicNow();
  if (auto named = slowest(now)) return named;
  return overCeiling() ? costliest(now) : std::nullopt;
}

std::optional<PartiesInFlight::Named> PartiesInFlight::slowest(MonotonicTime now) const {
  const Holders::value_type* heaviest = nullptr;
  double most = 0;
  std::uint64_t since = 0;
  for (const auto& entry : holders_) {
    const Holder& counted = entry.second;
    double share = 0;
    std::uint64_t oldest = UINT64_MAX;
    // Judged by what the socket still writes before it lets go of its oldest party: the system
    // holds the start of the next one long before a phone reading steadily finishes the last, and
    // it frees them one after the other, each in time.
    std::optional<qint64> untilOldestFreed;
    for (const auto& inSocket : counted.held.inSocket) {
      const Party& party = parties_.at(inSocket.party.constData());
      if (!party.old()) continue;
      share += static_cast<double>(party.bytes) / party.inSockets;
      oldest = std::min(oldest, party.since);
      if (!untilOldestFreed) untilOldestFreed = inSocket.end - counted.held.written;
    }
    if (share == 0 || counted.progress.keepsUp(*untilOldestFreed, now)) continue;
    if (share > most || (share == most && oldest < since)) {
      heaviest = &entry;
      most = share;
      since = oldest;
    }
  }
  if (heaviest == nullptr) return std::nullopt;
  const Why why = heaviest->second.progress.stopped(now) ? Why::notReading : Why::tooSlow;
  return Named{{heaviest->first}, why};
}

std::optional<PartiesInFlight::Named> PartiesInFlight::costliest(MonotonicTime now) const {
  // Each old party with how long each of its holders keeps it: the rest of it at its own pace.
  struct Kept {
    qint64 bytes = 0;
    std::uint64_t since = 0;
    std::vector<std::pair<double, GuestConnection*>> by;
  };
  std::unordered_map<const char*, Kept> kept;
  for (const auto& [holder, counted] : holders_) {
    if (spared_.contains(holder)) continue;
    for (const auto& inSocket : counted.held.inSocket) {
      const Party& party = parties_.at(inSocket.party.constData());
      if (!party.old()) continue;
      Kept& keeping = kept.try_emplace(inSocket.party.constData(), Kept{party.bytes, party.since, {}}).first->second;
      keeping.by.emplace_back(counted.progress.secondsFor(inSocket.end - counted.held.written, now), holder);
    }
  }
  std::optional<Named> costliest;
  double most = 0;
  std::uint64_t since = 0;
  for (auto& [bytes, began, by] : kept | std::views::values) {
    std::sort(by.begin(), by.end(), [](const auto& a, const auto& b) {
      return a.first > b.first || (a.first == b.first && std::less<>()(a.second, b.second));
    });
    // Its slow holders go together, however many share it, so that sharing makes no one cheaper;
    // a holder that would read it soon stays, as its going would free nothing.
    const double slowest = by.front().first;
    const auto fast = std::find_if(by.begin(), by.end(), [&](const auto& holder) { return holder.first < slowest / 2; });
    const double cost = static_cast<double>(bytes) * (slowest - (fast != by.end() ? fast->first : 0));
    if (cost > most || (cost == most && began < since)) {
      most = cost;
      since = began;
      costliest = Named{{}, Why::pastCeiling};
      for (auto holder = by.begin(); holder != fast; ++holder) costliest->holders.push_back(holder->second);
    }
  }
  return costliest;
}

PartiesInFlight::Standing PartiesInFlight::standing(GuestConnection* holder) const {
  const auto found = holders_.find(holder);
  const MonotonicTime now = scheduler_.monotonicNow();
  return found != holders_.end() ? standing(found->second, now) : Standing{std::numeric_limits<double>::infinity()};
}

PartiesInFlight::Standing PartiesInFlight::standing(const Holder& counted, MonotonicTime now) const {
  Standing standing{counted.progress.pace(now)};
  for (const auto& inSocket : counted.held.inSocket) {
    const Party& party = parties_.at(inSocket.party.constData());
    if (!party.old()) continue;
    standing.oldBytes += party.bytes;
    standing.untilFreed = std::max(standing.untilFreed, inSocket.end - counted.held.written);
  }
  return standing;
}

std::string PartiesInFlight::Standing::text() const {
  const auto megabytes = [](qint64 bytes) { return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1); };
  const QString reading = std::isinf(pace) ? QStringLiteral("taking all it is sent")
                          : pace == 0      ? QStringLiteral("taking nothing")
                                           : QStringLiteral("at %1 KB/s").arg(pace / 1e3, 0, 'f', 1);
  if (oldBytes == 0) return (reading + QStringLiteral(", no old party held")).toStdString();
  return QStringLiteral("%1, %2 MB of old parties held, %3 MB of them still to send")
      .arg(reading, megabytes(oldBytes), megabytes(untilFreed))
      .toStdString();
}

PartiesInFlight::Reading PartiesInFlight::Reading::ofSocket(qint64 written, qint64 unacknowledged, qint64 unsent) {
  // What the system still keeps unacknowledged the phone has not taken; a phone reading slowly
  // may take much before the system asks the socket for more. What the system has not even sent
  // waits on the phone's window: the bytes just handed to a phone that reads have gone at once.
  return {written - unacknowledged, unsent > 0};
}

void PartiesInFlight::Progress::record(Reading reading, MonotonicTime now) {
  // Only while bytes waited at both ends: a socket the host has just filled, or left empty while
  // busy, says nothing of how the phone reads.
  if (waiting && reading.waiting) heldUp += sinceReading(now);
  recorded = now;
  waiting = reading.waiting;
  if (reading.taken > moved.taken || !reading.waiting) moved = {heldUp, reading.taken};
  if (lately.empty() || heldUp - lately.back().heldUp >= GuestLimits::paceOverAtLeastSeconds) {
    lately.push_back({heldUp, moved.taken});
  }
  while (lately.size() > 1 && heldUp - lately[1].heldUp >= GuestLimits::judgePaceSeconds) lately.pop_front();
}

double PartiesInFlight::Progress::heldUpAt(MonotonicTime now) const { return heldUp + (waiting ? sinceReading(now) : 0); }

double PartiesInFlight::Progress::sinceReading(MonotonicTime now) const {
  // A host too busy to look for longer may have let the socket run dry meanwhile.
  return std::min(secondsBetween(recorded, now), GuestLimits::readingsAtMostSeconds);
}

bool PartiesInFlight::Progress::stopped(MonotonicTime now) const {
  return heldUpAt(now) - moved.heldUp >= GuestLimits::notReadingSeconds;
}

double PartiesInFlight::Progress::pace(MonotonicTime now) const {
  if (stopped(now)) return 0;
  // Over every second bytes waited for it since it began its oldest party, to now: what it took
  // shows no faster than it read, and a phone that takes nothing slows with every second.
  const double span = heldUpAt(now) - began.heldUp;
  if (span <= 0) return std::numeric_limits<double>::infinity();  // nothing has waited for it
  const double sinceBegan =
      static_cast<double>(moved.taken - began.taken) / std::max(span, GuestLimits::paceOverAtLeastSeconds);
  // Nor faster than of late: a phone that read the start of its party fast and trickles through
  // the rest keeps it as long as its trickle takes.
  const double lateSpan = lately.empty() ? 0 : heldUpAt(now) - lately.front().heldUp;
  if (lateSpan < GuestLimits::judgePaceSeconds) return sinceBegan;
  return std::min(sinceBegan, static_cast<double>(moved.taken - lately.front().taken) / lateSpan);
}

bool PartiesInFlight::Progress::keepsUp(qint64 remaining, MonotonicTime now) const {
  if (stopped(now)) return false;
  if (heldUpAt(now) - began.heldUp < GuestLimits::judgePaceSeconds) return true;  // too soon to tell its pace
  // Up to the last bytes taken: the system acknowledges in bursts, and a pause shorter than
  // `notReadingSeconds` between them is no sign of a phone slowing down.
  const double span = moved.heldUp - began.heldUp;
  const auto taken = static_cast<double>(moved.taken - began.taken);
  if (span <= 0 || taken <= 0) return true;
  // At the pace the host asks of every phone, or one that reads all it was given since it began
  // its oldest party in time, whatever the party's size.
  return taken >= GuestLimits::keepsUpBytesPerSecond * span ||
         (taken + static_cast<double>(remaining)) * span <= taken * GuestLimits::finishOldPartiesSeconds;
}

double PartiesInFlight::Progress::secondsFor(qint64 remaining, MonotonicTime now) const {
  if (remaining <= 0) return 0;
  const double perSecond = pace(now);
  return perSecond > 0 ? static_cast<double>(remaining) / perSecond : std::numeric_limits<double>::infinity();
}

}  // namespace kovali
