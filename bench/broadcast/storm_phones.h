#pragma once

#include <cstdint>

namespace kovali {

struct StormOptions {
  std::uint16_t hostPort = 0;
  std::uint16_t floorPort = 0;
  int count = 0;
};

/// The join storm's phones: `count` phones, each from its own loopback address, connect to the
/// host at once and say hello until each has its welcome; the floor is handed each phone's welcome
/// and as many phones storm it, each answered with the bytes the host sent its twin. Prints one
/// line of figures. Every wait is bounded. Answers the exit code.
int runStormPhones(const StormOptions& options);

}  // namespace kovali
