#include "session/participants/pin_attempt_limiter.h"

#include <algorithm>
#include <cmath>

namespace kovali {

namespace {

// After this long without a wrong PIN, locks start again from the shortest.
constexpr double kForgiveLocksAfterSeconds = 3600;

}  // namespace

std::optional<double> PINAttemptLimiter::Tally::remaining(vinaro::Date now) const {
  if (!lockedUntil) return std::nullopt;
  const double left = lockedUntil->secondsSince(now);
  if (left <= 0) return std::nullopt;
  return left;
}

bool PINAttemptLimiter::Tally::fail(vinaro::Date now, int allowed) {
  if (now.secondsSince(lastSeen) > kForgiveLocksAfterSeconds) locks = 0;
  lastSeen = now;
  if (failures == 0 || now.secondsSince(firstFailure) > windowSeconds) {
    failures = 0;
    firstFailure = now;
  }
  if (++failures < allowed) return false;
  const double length = std::min(firstLockSeconds * std::pow(2.0, std::min(locks, 16)), longestLockSeconds);
  ++locks;
  failures = 0;
  lockedUntil = now.addingSeconds(length);
  return true;
}

std::string PINAttemptLimiter::sourceOf(const QHostAddress& address) {
  bool isIPv4 = false;
  const quint32 ipv4 = address.toIPv4Address(&isIPv4);  // also an IPv4 address mapped into IPv6
  if (isIPv4) return QHostAddress(ipv4).toString().toStdString();
  return QHostAddress(address.toIPv6Address()).toString().toStdString();  // without a scope
}

std::optional<double> PINAttemptLimiter::lockRemaining(const std::string& source, vinaro::Date now) const {
  const auto found = sources_.find(source);
  if (found == sources_.end()) return std::nullopt;
  std::optional<double> longest = found->second.remaining(now);
  const double paced = nextHostAttempt_.secondsSince(now);
  if (hostSlowed(now) && paced > 0) longest = std::max(longest.value_or(0), paced);
  return longest;
}

bool PINAttemptLimiter::recordFailure(const std::string& source, vinaro::Date now) {
  Tally& own = sourceTally(source, now);
  const bool sourceLocked = own.fail(now, allowedFailures);
  const bool hostLocked = failHost(own, now);
  if (hostSlowed(now)) nextHostAttempt_ = now.addingSeconds(hostPaceSeconds);
  return sourceLocked || hostLocked;
}

bool PINAttemptLimiter::hostSlowed(vinaro::Date now) const {
  // Once tripped, guessing stays slow until the guessing has stopped for as long as locks are kept.
  return host_.locks > 0 && now.secondsSince(host_.lastSeen) <= kForgiveLocksAfterSeconds;
}

bool PINAttemptLimiter::failHost(Tally& own, vinaro::Date now) {
  const bool windowOpen = host_.failures > 0 && now.secondsSince(host_.firstFailure) <= windowSeconds;
  if (!windowOpen || own.hostShareWindow != host_.firstFailure) own.hostShare = 0;
  if (own.hostShare >= allowedFailures) return false;
  ++own.hostShare;
  const bool locked = host_.fail(now, allowedHostFailures);
  own.hostShareWindow = host_.firstFailure;
  return locked;
}

void PINAttemptLimiter::recordSuccess(const std::string& source) { sources_.erase(source); }

PINAttemptLimiter::Tally& PINAttemptLimiter::sourceTally(const std::string& source, vinaro::Date now) {
  if (!sources_.contains(source) && sources_.size() >= maxSources) {
    // A source still locked is kept over an idle one, so flooding the table frees no one.
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
