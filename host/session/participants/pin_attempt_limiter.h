#pragma once

#include <QHostAddress>
#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/monotonic_time.h"
#include "server/connection_id.h"

namespace kovali {

/// Slows down guessing of the DJ PIN, by where the guesses come from (a network source, which a
/// phone cannot choose the way it chooses its device id) and across the whole host.
///
/// Five wrong PINs from one source within five minutes lock that source. While locked, attempts
/// are refused without being compared. The first lock lasts 30 s and each further one twice as
/// long as the one before, up to 15 minutes (an hour without a wrong PIN starts them over). A
/// right PIN outside a lock clears its source's count. At most `maxSources` sources are
/// remembered; an idle one is forgotten before a locked one.
///
/// Twenty wrong PINs anywhere within an hour (one source counting at most five) put the host on
/// guard until an hour passes without a wrong PIN: then every attempt, from any source, new or
/// known, is compared only at a turn, one every `turnSeconds`, so however many addresses guess,
/// and whatever sources are forgotten, no more are compared than the turns. Attempts wait for
/// their turns in line, one per source, each held by its connection: a connection that goes, or
/// whose source is locked by its turn, passes the turn on to the one behind it, so holding places
/// and hanging up keeps no one else waiting. An attempt whose turn is more than
/// `longestWaitSeconds` away gets no place. An attempt goes ahead of those from sources with
/// more wrong PINs within the host window (counted up to `rankedFailures`), or as many with the
/// last of them later, taking if it must the place of the last in line: however many addresses
/// keep the line full, a device that mistyped k times waits only until each has had k wrong PINs
/// compared. Times are read on the monotonic clock, so setting the wall clock neither frees a
/// guesser nor holds back the DJ.
class PINAttemptLimiter {
 public:
  static constexpr int allowedFailures = 5;
  static constexpr int allowedHostFailures = 20;
  static constexpr double windowSeconds = 5 * 60;
  static constexpr double hostWindowSeconds = 60 * 60;
  static constexpr double firstLockSeconds = 30;
  static constexpr double longestLockSeconds = 15 * 60;
  static constexpr std::size_t maxSources = 512;
  static constexpr double turnSeconds = 20;
  static constexpr double longestWaitSeconds = 40;
  static constexpr std::size_t rankedFailures = 16;

  /// What a wrong PIN set off.
  struct Failure {
    bool lockedSource = false;  // its source is now locked
    bool guardsHost = false;    // the host went on guard with it
  };

  /// The source of a phone at `address`: the address itself, IPv4 or IPv6 (a party's phones
  /// share one IPv6 network).
  static std::string sourceOf(const QHostAddress& address);

  /// How long attempts from `source` at `now` are still refused unread, or nothing.
  std::optional<double> lockRemaining(const std::string& source, MonotonicTime now) const;
  /// What becomes of an attempt made at `now`.
  enum class Admission {
    compareNow,
    waitsInLine,  // until `serveTurn` hands it its turn
    refused,      // no turn soon enough, or its source already waits
  };
  struct Admitted {
    Admission admission;
    std::optional<ConnectionID> displaced = std::nullopt;  // the attempt whose place it took: refused
  };
  /// Admits an attempt from `source` on `connection`, which its lock (`lockRemaining`) let through.
  Admitted admit(ConnectionID connection, const std::string& source, MonotonicTime now);
  /// When the first attempt in line is due, or nothing when none waits.
  std::optional<MonotonicTime> nextTurn(MonotonicTime now) const;
  /// What a turn at `now` does with the line.
  struct Turn {
    std::vector<ConnectionID> refused;     // their sources were locked meanwhile: refused unread
    std::optional<ConnectionID> compared;  // the attempt to compare now
  };
  /// Takes the turn of `now`, when it has come, from the line.
  Turn serveTurn(MonotonicTime now);
  /// The connection's attempt leaves the line, passing its place on to those behind it.
  void leave(ConnectionID connection);
  /// A wrong PIN from `source`, compared at `now`.
  Failure recordFailure(const std::string& source, MonotonicTime now);
  /// A right PIN from `source`: its count starts over.
  void recordSuccess(const std::string& source);
  /// Whether the host is on guard at `now`.
  bool guardsHost(MonotonicTime now) const;
  /// How many remembered sources gave a wrong PIN within the last hour.
  std::size_t guessingSources(MonotonicTime now) const;
  /// How many sources are remembered.
  std::size_t rememberedSources() const { return sources_.size(); }

 private:
  /// Wrong PINs from one source within the window and the locks they earned.
  struct Tally {
    int failures = 0;
    MonotonicTime firstFailure;  // of the current window
    MonotonicTime lastSeen;
    int locks = 0;
    std::optional<MonotonicTime> lockedUntil;
    // The source's wrong PINs counted toward the host, within the host window that began then.
    int hostShare = 0;
    MonotonicTime hostShareWindow;
    std::deque<MonotonicTime> latestFailures;  // at most `rankedFailures`, for the line's order

    std::optional<double> remaining(MonotonicTime now) const;
    /// Counts one wrong PIN; locks when it is the fifth within the window.
    bool fail(MonotonicTime now);
  };

  /// Wrong PINs across the host and its turns while on guard.
  struct HostGuard {
    int failures = 0;
    MonotonicTime firstFailure;  // of the current window
    std::optional<MonotonicTime> lastFailure;
    bool engaged = false;
    MonotonicTime nextTurn;  // the earliest moment of the next comparison while on guard
  };

  /// An attempt waiting for its turn.
  struct Waiting {
    ConnectionID connection;
    std::string source;
  };

  Tally& sourceTally(const std::string& source, MonotonicTime now);
  /// A source's wrong PINs within the host window before a moment, and the last of them.
  struct Standing {
    std::size_t failures = 0;
    MonotonicTime lastFailure;
  };
  Standing standingOf(const std::string& source, MonotonicTime now) const;
  /// Whether an attempt from `source` goes ahead of one from `waiting` in the line at `now`.
  bool goesAhead(const std::string& source, const std::string& waiting, MonotonicTime now) const;
  /// Whether the attempt `position` places from the front of the line would have its turn soon enough.
  bool turnComesSoonEnough(std::size_t position, MonotonicTime now) const;
  /// Counts a wrong PIN from `own` toward the host while that source's share is not used up;
  /// answers whether the host went on guard with it.
  bool failHost(Tally& own, MonotonicTime now);

  std::map<std::string, Tally> sources_;
  HostGuard host_;
  std::deque<Waiting> line_;
};

}  // namespace kovali
