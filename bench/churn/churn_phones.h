#pragma once

#include <cstdint>

namespace kovali {

struct ChurnOptions {
  std::uint16_t hostPort = 0;
  int phones = 150;
  int seconds = 60;
};

/// The phones' side of the soak: `phones` guests, each from its own loopback address, that each
/// join with a new device id, wear a badge, stay 5 to 27 s (about 9 joins a second for 150),
/// leave and come back within a second, for `seconds`; beside them one probe phone asks every
/// 200 ms for an answer that changes nothing and counts the changes its states show. Prints one
/// line of figures; answers the exit code.
int runChurningPhones(const ChurnOptions& options);

}  // namespace kovali
