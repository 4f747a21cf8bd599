#pragma once

#include <cstdint>
#include <string>

namespace kovali {

struct PhonesOptions {
  std::uint16_t hostPort = 0;
  std::uint16_t floorPort = 0;
  int count = 0;
  int rounds = 0;
  int songs = 0;  // only printed
  std::string pin;
};

/// The phones' side: joins `count` phones to the host, each from its own loopback address, makes
/// the first one DJ, joins as many to the floor, hands the floor the state the host sent, runs
/// the alternating rounds and prints one line of figures. Every wait is bounded. Answers the
/// exit code.
int runPhones(const PhonesOptions& options);

}  // namespace kovali
