#pragma once

#include <optional>

#include "model/date.h"

namespace kovali {

/// How fast one connection may change the party: `perSecond` commands on average, with bursts
/// of up to `burst`, about what a person tapping fast can reach. Beyond it a command is refused,
/// so one phone's flood leaves the host's time to the others.
class CommandRate {
 public:
  static constexpr double perSecond = 10;
  static constexpr double burst = 20;

  /// Takes one command at `now`; false when the connection is over its rate.
  bool take(vinaro::Date now);

 private:
  double allowance_ = burst;
  std::optional<vinaro::Date> last_;
};

}  // namespace kovali
