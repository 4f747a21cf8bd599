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

  /// Takes one command at `now` (monotonic, so that setting the wall clock neither stops the
  /// allowance filling nor fills it); false when the connection is over its rate.
  bool take(MonotonicTime now);

 private:
  CommandRate(double rate, double most) : rate_(rate), most_(most), allowance_(most) {}

  double rate_;
  double most_;
  double allowance_;
  std::optional<MonotonicTime> last_;
};

}  // namespace kovali
