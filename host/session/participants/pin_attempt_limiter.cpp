#include "session/participants/pin_attempt_limiter.h"

#include <algorithm>
#include <cmath>

namespace kovali {

namespace {

// After this long without a wrong PIN, locks start again from the shortest and the host's guard ends.
constexpr double kForgiveAfterSeconds = 3600;

}  // namespace

std::optional<double> PINAttemptLimiter::Tally::remaining(MonotonicTime now) const {
  if (!lockedUntil) return std::nullopt;
  const double left = secondsBetween(now, *lockedUntil);
  if (left <= 0) return std::nullopt;
  return left;
}

bool PINAttemptLimiter::Tally::fail(MonotonicTime now) {
  if (secondsBetween(lastSeen, now) > kForgiveAfterSeconds) locks = 0;
  lastSeen = now;
  latestFailures.push_back(now);
  if (latestFailures.size() > rankedFailures) latestFailures.pop_front();
  if (failures == 0 || secondsBetween(firstFailure, now) > windowSeconds) {
    failures = 0;
    firstFailure = now;
  }
  if (++failures < allowedFailures) return false;
  const double length = std::min(firstLockSeconds * std::pow(2.0, std::min(locks, 16)), longestLockSeconds);
  ++locks;
  failures = 0;
  lockedUntil = secondsAfter(now, length);
  return true;
}

std::string PINAttemptLimiter::sourceOf(const QHostAddress& address) {
  bool isIPv4 = false;
  const quint32 ipv4 = address.toIPv4Address(&isIPv4);  // also an IPv4 address mapped into IPv6
  if (isIPv4) return QHostAddress(ipv4).toString().toStdString();
  return QHostAddress(address.toIPv6Address()).toString().toStdString();  // without a scope
}

std::optional<double> PINAttemptLimiter::lockRemaining(const std::string& source, MonotonicTime now) const {
  const auto found = sources_.find(source);
  if (found == sources_.end()) return std::nullopt;
  return found->second.remaining(now);
}

bool PINAttemptLimiter::guardsHost(MonotonicTime now) const {
  return host_.engaged && host_.lastFailure && secondsBetween(*host_.lastFailure, now) <= kForgiveAfterSeconds;
}

PINAttemptLimiter::Admitted PINAttemptLimiter::admit(ConnectionID connection, const std::string& source,
                                                     MonotonicTime now) {
  if (!guardsHost(now)) return {Admission::compareNow};
  // One place a source: more connections from one address take no more of the turns.
  if (std::any_of(line_.begin(), line_.end(), [&](const Waiting& waiting) {
        return waiting.source == source || waiting.connection == connection;
      })) {
    return {Admission::refused};
  }
  if (line_.empty() && host_.nextTurn <= now) {
    host_.nextTurn = secondsAfter(now, turnSeconds);
    return {Admission::compareNow};
  }
  // Guessers keeping the line full would otherwise keep out a device that only ever sent its PIN,
  // or mistyped it once.
  const auto place = std::find_if(line_.begin(), line_.end(),
                                  [&](const Waiting& waiting) { return goesAhead(source, waiting.source, now); });
  if (!turnComesSoonEnough(static_cast<std::size_t>(place - line_.begin()), now)) return {Admission::refused};
  line_.insert(place, {connection, source});
  Admitted admitted{Admission::waitsInLine};
  if (!turnComesSoonEnough(line_.size() - 1, now)) {
    admitted.displaced = line_.back().connection;
    line_.pop_back();
  }
  return admitted;
}

bool PINAttemptLimiter::turnComesSoonEnough(std::size_t position, MonotonicTime now) const {
  const MonotonicTime turn = secondsAfter(std::max(now, host_.nextTurn), turnSeconds * static_cast<double>(position));
  return secondsBetween(now, turn) <= longestWaitSeconds;
}

PINAttemptLimiter::Standing PINAttemptLimiter::standingOf(const std::string& source, MonotonicTime now) const {
  const auto found = sources_.find(source);
  if (found == sources_.end()) return {};
  const auto& times = found->second.latestFailures;
  const auto recent = std::find_if(times.begin(), times.end(), [now](MonotonicTime failure) {
    return secondsBetween(failure, now) <= hostWindowSeconds;
  });
  if (recent == times.end()) return {};
  return {static_cast<std::size_t>(times.end() - recent), times.back()};
}

bool PINAttemptLimiter::goesAhead(const std::string& source, const std::string& waiting, MonotonicTime now) const {
  const Standing own = standingOf(source, now);
  const Standing other = standingOf(waiting, now);
  if (own.failures != other.failures) return own.failures < other.failures;
  return own.failures > 0 && own.lastFailure < other.lastFailure;
}

std::optional<MonotonicTime> PINAttemptLimiter::nextTurn(MonotonicTime now) const {
  if (line_.empty()) return std::nullopt;
  if (!guardsHost(now)) return now;
  return std::max(now, host_.nextTurn);
}

PINAttemptLimiter::Turn PINAttemptLimiter::serveTurn(MonotonicTime now) {
  Turn turn;
  const bool guarded = guardsHost(now);
  if (guarded && now < host_.nextTurn) return turn;
  while (!line_.empty() && !turn.compared) {
    const Waiting first = std::move(line_.front());
    line_.pop_front();
    // Locked by other connections of its source meanwhile: the turn goes on to the next.
    if (lockRemaining(first.source, now)) {
      turn.refused.push_back(first.connection);
    } else {
      turn.compared = first.connection;
    }
  }
  if (turn.compared && guarded) host_.nextTurn = secondsAfter(now, turnSeconds);
  return turn;
}

void PINAttemptLimiter::leave(ConnectionID connection) {
  std::erase_if(line_, [connection](const Waiting& waiting) { return waiting.connection == connection; });
}

PINAttemptLimiter::Failure PINAttemptLimiter::recordFailure(const std::string& source, MonotonicTime now) {
  Tally& own = sourceTally(source, now);
  const bool lockedSource = own.fail(now);
  return {lockedSource, failHost(own, now)};
}

bool PINAttemptLimiter::failHost(Tally& own, MonotonicTime now) {
  if (host_.engaged && !guardsHost(now)) host_ = {};
  host_.lastFailure = now;
  if (host_.failures > 0 && secondsBetween(host_.firstFailure, now) > hostWindowSeconds) host_.failures = 0;
  if (host_.failures == 0) host_.firstFailure = now;
  if (own.hostShareWindow != host_.firstFailure) own.hostShare = 0;
  own.hostShareWindow = host_.firstFailure;
  if (own.hostShare >= allowedFailures) return false;
  ++own.hostShare;
  if (++host_.failures < allowedHostFailures || host_.engaged) return false;
  host_.engaged = true;
  // The attempt just compared used the turn of this moment.
  host_.nextTurn = std::max(host_.nextTurn, secondsAfter(now, turnSeconds));
  return true;
}

void PINAttemptLimiter::recordSuccess(const std::string& source) { sources_.erase(source); }

std::size_t PINAttemptLimiter::guessingSources(MonotonicTime now) const {
  return static_cast<std::size_t>(std::count_if(sources_.begin(), sources_.end(), [now](const auto& entry) {
    return secondsBetween(entry.second.lastSeen, now) <= hostWindowSeconds;
  }));
}

PINAttemptLimiter::Tally& PINAttemptLimiter::sourceTally(const std::string& source, MonotonicTime now) {
  if (!sources_.contains(source) && sources_.size() >= maxSources) {
    // A source still locked is kept over an idle one, so flooding the table frees no one early.
    const auto idlest = std::min_element(sources_.begin(), sources_.end(), [&](const auto& a, const auto& b) {
      const bool aLocked = a.second.remaining(now).has_value();
      const bool bLocked = b.second.remaining(now).has_value();
      if (aLocked != bLocked) return !aLocked;
      return a.second.lastSeen < b.second.lastSeen;
    });
    sources_.erase(idlest);
  }
  return sources_[source];
}

}  // namespace kovali
