#include "server/parties_in_flight.h"

#include <algorithm>
#include <utility>

namespace kovali {

void PartiesInFlight::update(GuestConnection* holder, std::vector<QByteArray> inSocket, QByteArray newest) {
  Held held{std::move(inSocket), std::move(newest)};
  const auto found = holders_.find(holder);
  if (found != holders_.end() && found->second == held) return;
  if (found != holders_.end()) {
    count(found->second, -1);
    holders_.erase(found);
  }
  if (held.inSocket.empty() && held.newest.isNull()) return;
  count(held, +1);
  holders_.emplace(holder, std::move(held));
  if (!overBudget() || std::exchange(reporting_, true)) return;
  // Reported from the event loop: the caller may be going through every connection.
  QMetaObject::invokeMethod(
      this,
      [this] {
        reporting_ = false;
        if (overBudget()) emit budgetExceeded();
      },
      Qt::QueuedConnection);
}

void PartiesInFlight::count(const Held& held, int sign) {
  for (const QByteArray& party : held.inSocket) adjust(party, sign, 0);
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

GuestConnection* PartiesInFlight::heaviest() const {
  GuestConnection* heaviest = nullptr;
  double most = 0;
  std::uint64_t since = 0;
  for (const auto& [holder, held] : holders_) {
    double share = 0;
    std::uint64_t oldest = UINT64_MAX;
    for (const QByteArray& party : held.inSocket) {
      const Party& counted = parties_.at(party.constData());
      if (!counted.old()) continue;
      share += static_cast<double>(counted.bytes) / counted.inSockets;
      oldest = std::min(oldest, counted.since);
    }
    if (share > most || (share == most && share > 0 && oldest < since)) {
      heaviest = holder;
      most = share;
      since = oldest;
    }
  }
  return heaviest;
}

}  // namespace kovali
