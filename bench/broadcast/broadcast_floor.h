#pragma once

namespace kovali {

/// What the phones' control connection sends the floor: this word followed by the bytes to
/// broadcast. The floor answers it with the word alone once it holds them.
inline constexpr const char* floorPrepareWord = "prepare:";
/// What a floor phone sends to start a round.
inline constexpr const char* floorGoWord = "go";

/// The floor in a process of its own: a bare QWebSocketServer on 127.0.0.1 that sends the
/// prepared bytes to every phone it has whenever one of them says "go". Prints "port N", then
/// serves until it is terminated or has run for an hour. Answers the exit code.
int runFloor();

}  // namespace kovali
