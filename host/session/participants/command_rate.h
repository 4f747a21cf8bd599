#pragma once

#include <optional>

#include "platform/runtime/monotonic_time.h"

namespace kovali {

/// How fast one connection may send commands: `perSecond` on average, with bursts of up to
/// `burst`, about what a person tapping or typing fast can reach. Beyond it a command is refused,
/// so one phone's flood leaves the host's time to the others.
class CommandRate {
 public:
  /// Changes to the party.
  static constexpr double perSecond = 10;
  static constexpr double burst = 20;
  /// Searches and listings, which phones send as their user types.
  static constexpr double readsPerSecond = 20;
  static constexpr double readBurst = 40;

  static CommandRate forChanges() { return CommandRate(perSecond, burst); }
  static CommandRate forReads() { return CommandRate(readsPerSecond, readBurst); }
  /// `rate` a second on average, in bursts of up to `most`.
  static CommandRate of(double rate, double most) { return CommandRate(rate, most); }

  /// Takes one command at `now` (monotonic, so that setting the wall clock neither stops the
  /// allowance filling nor fills it); false when the connection is over its rate.
  bool take(MonotonicTime now);
  /// Seconds from `now` until one command may be taken; 0 when one may be now.
  double secondsUntilNext(MonotonicTime now) const;
  /// Whether the allowance is whole again at `now`, as if nothing had ever been taken.
  bool isWhole(MonotonicTime now) const { return allowanceAt(now) >= most_; }

 private:
  CommandRate(double rate, double most) : rate_(rate), most_(most), allowance_(most) {}
  double allowanceAt(MonotonicTime now) const;

  double rate_;
  double most_;
  double allowance_;
  std::optional<MonotonicTime> last_;
};

}  // namespace kovali
