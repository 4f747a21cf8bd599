#include "model/reducer_context.h"

#include <chrono>

#include "protocol/uuid.h"

namespace vinaro {

ReducerContext ReducerContext::current() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  const double milliseconds = std::chrono::duration<double, std::milli>(sinceEpoch).count();
  return ReducerContext{Date{milliseconds}, &makeUUIDString};
}

}  // namespace vinaro
