#include "server/parties_in_flight.h"

#include <algorithm>
#include <utility>

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
    if (found == holders_.end()) {
      const Progress::Mark began{0, reading.taken};
      found = holders_.emplace(holder, Holder{{}, {now, reading.waiting, 0, began, began, began}}).first;
    }
    found->second.progress.record(reading, now);
    found->second.held = std::move(parties);
    count(found->second.held, +1);
  }
  watchBudget();
}

bool PartiesInFlight::sameParties(const OutgoingBacklog::Parties& a, const OutgoingBacklog::Parties& b) {
  return sameBytes(a.newest, b.newest) &&
         std::equal(a.inSocket.begin(), a.inSocket.end(), b.inSocket.begin(), b.inSocket.end(),
                    [](const auto& x, const auto& y) { return x.end == y.end && sameBytes(x.party, y.party); });
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
  if (!overBudget()) {
    lookingAgain_.stop();
    return;
  }
  if (lookingAgain_.isActive()) return;
  // Looked at again while over: a phone reading now may stop later, and the silent ones qualify
  // only once they have been silent a while.
  lookingAgain_ = scheduler_.repeat(GuestLimits::oldPartiesLookSeconds, [this] { emit budgetExceeded(); });
  // And from the event loop at once: the caller may be going through every connection.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (overBudget()) emit budgetExceeded();
      },
      Qt::QueuedConnection);
}

GuestConnection* PartiesInFlight::heaviest() const {
  const MonotonicTime now = scheduler_.monotonicNow();
  GuestConnection* heaviest = nullptr;
  double most = 0;
  std::uint64_t since = 0;
  GuestConnection* furthest = nullptr;  // from finishing, while over the ceiling
  qint64 mostLeft = 0;
  for (const auto& [holder, counted] : holders_) {
    double share = 0;
    std::uint64_t oldest = UINT64_MAX;
    qint64 untilFreed = 0;  // what the socket still writes before it lets go of its last old party
    for (const auto& inSocket : counted.held.inSocket) {
      const Party& party = parties_.at(inSocket.party.constData());
      if (!party.old()) continue;
      share += static_cast<double>(party.bytes) / party.inSockets;
      oldest = std::min(oldest, party.since);
      untilFreed = std::max(untilFreed, inSocket.end - counted.held.written);
    }
    if (share == 0) continue;
    if (untilFreed > mostLeft) {
      furthest = holder;
      mostLeft = untilFreed;
    }
    if (counted.progress.keepsUp(untilFreed, now)) continue;
    if (share > most || (share == most && oldest < since)) {
      heaviest = holder;
      most = share;
      since = oldest;
    }
  }
  return heaviest != nullptr ? heaviest : overCeiling() ? furthest : nullptr;
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
  if (waiting && reading.waiting) heldUp += secondsBetween(recorded, now);
  recorded = now;
  waiting = reading.waiting;
  if (reading.taken > moved.taken || !reading.waiting) moved = {heldUp, reading.taken};
  if (heldUp - paceNext.heldUp < GuestLimits::notReadingSeconds) return;
  paceFrom = paceNext;
  paceNext = {heldUp, reading.taken};
}

bool PartiesInFlight::Progress::keepsUp(qint64 remaining, MonotonicTime now) const {
  const double heldUpNow = heldUp + (waiting ? secondsBetween(recorded, now) : 0);
  if (heldUpNow - moved.heldUp >= GuestLimits::notReadingSeconds) return false;
  const double span = heldUpNow - paceFrom.heldUp;
  if (span < GuestLimits::notReadingSeconds) return true;  // too soon to tell its pace
  const double pace = static_cast<double>(moved.taken - paceFrom.taken) / span;
  return static_cast<double>(remaining) <= pace * GuestLimits::finishOldPartiesSeconds;
}

}  // namespace kovali
