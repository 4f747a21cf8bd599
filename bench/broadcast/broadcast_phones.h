#pragma once

#include <cstdint>

namespace kovali {

/// The PIN the benchmark's host is started with.
inline constexpr const char* benchPIN = "2468";
/// What a phone says to the bare server to have it prepare its message from the party as it is.
inline constexpr const char* syncWord = "sync";

struct PhonesOptions {
  std::uint16_t hostPort = 0;
  std::uint16_t barePort = 0;
  int count = 0;
  int rounds = 0;
};

/// The phones' side: joins `count` phones to the host at once (the join storm), then as many to
/// the bare server, makes the first host phone DJ, runs the alternating rounds and prints one
/// line of figures. Answers the exit code.
int runPhones(const PhonesOptions& options);

}  // namespace kovali
