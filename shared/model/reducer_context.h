#pragma once

#include <functional>
#include <string>

#include "model/date.h"

namespace vinaro {

/// The reducer's only clock and only source of new ids; tests pass a fixed time and a counter.
struct ReducerContext {
  /// The single instant at which the action happens.
  Date now;
  /// Called once per queue item or request the reducer creates, in creation order.
  std::function<std::string()> makeID;

  /// The current time and random upper-case UUIDs.
  static ReducerContext current();
};

}  // namespace vinaro
