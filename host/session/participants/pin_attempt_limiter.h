#pragma once

#include <QHostAddress>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "model/date.h"

namespace kovali {

/// Slows down guessing of the DJ PIN, by where the guesses come from (a network source, which a
/// phone cannot choose the way it chooses its device id) and across the whole host.
///
/// Five wrong PINs from one source within five minutes lock that source. Twenty anywhere (one
/// source counting at most five) slow the whole host down instead of locking it: from then on
/// until an hour passes without wrong PINs, sources with wrong PINs on record share one compared attempt every `hostPaceSeconds`,
/// and a source with none, such as the DJ's phone, is compared at once, so guests guessing
/// never lock out the DJ. While locked, attempts are refused without being compared. The first
/// lock lasts 30 s and each further one twice as long as the one before, up to 15 minutes (an
/// hour without a wrong PIN starts them over). A right PIN outside a lock clears its source's
/// count. At most `maxSources` sources are remembered; the one idle longest is forgotten first.
class PINAttemptLimiter {
 public:
  static constexpr int allowedFailures = 5;
  static constexpr int allowedHostFailures = 20;
  static constexpr double windowSeconds = 5 * 60;
  static constexpr double firstLockSeconds = 30;
  static constexpr double longestLockSeconds = 15 * 60;
  static constexpr std::size_t maxSources = 512;
  static constexpr double hostPaceSeconds = 5;

  /// The source of a phone at `address`: the address itself, IPv4 or IPv6 (a party's phones
  /// share one IPv6 network).
  static std::string sourceOf(const QHostAddress& address);

  /// How long attempts from `source` at `now` are still refused unread, or nothing when an
  /// attempt may be compared.
  std::optional<double> lockRemaining(const std::string& source, vinaro::Date now) const;
  /// A wrong PIN from `source`; answers whether it locked the source or the host.
  bool recordFailure(const std::string& source, vinaro::Date now);
  /// A right PIN from `source`: its count starts over.
  void recordSuccess(const std::string& source);
  /// How many sources are remembered.
  std::size_t rememberedSources() const { return sources_.size(); }

 private:
  /// Wrong PINs within the window and the locks they earned, for one source or the host.
  struct Tally {
    int failures = 0;
    vinaro::Date firstFailure;  // of the current window
    vinaro::Date lastSeen;
    int locks = 0;
    std::optional<vinaro::Date> lockedUntil;
    // A source's wrong PINs counted toward the host, within the host window that began then.
    int hostShare = 0;
    vinaro::Date hostShareWindow;

    std::optional<double> remaining(vinaro::Date now) const;
    /// Counts one wrong PIN; locks when it is the `allowed`th within the window.
    bool fail(vinaro::Date now, int allowed);
  };

  Tally& sourceTally(const std::string& source, vinaro::Date now);
  bool hostSlowed(vinaro::Date now) const;
  /// Counts a wrong PIN from `own` toward the host while that source's share is not used up.
  bool failHost(Tally& own, vinaro::Date now);

  std::map<std::string, Tally> sources_;
  Tally host_;
  vinaro::Date nextHostAttempt_;  // while the host is slowed down
};

}  // namespace kovali
