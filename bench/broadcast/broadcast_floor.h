#pragma once

namespace kovali {

/// What the phones' control connection sends the floor: this word followed by the bytes to
/// broadcast. The floor answers it with the word alone once it holds them.
inline constexpr const char* floorPrepareWord = "prepare:";
/// What the storm's control connection sends the floor, once for each phone: this word, the
/// phone's number and a colon, followed by the welcome the host sent that phone.
inline constexpr const char* floorWelcomeWord = "welcome:";
/// What the storm's `n`-th phone sends the floor for a hello: this word followed by `n`. The floor
/// answers it with that phone's welcome.
inline constexpr const char* floorHelloWord = "hello:";
/// What a floor phone sends to start a round.
inline constexpr const char* floorGoWord = "go";

/// The floor in a process of its own: a bare QWebSocketServer on 127.0.0.1 that sends the
/// prepared bytes to every phone it has whenever one of them says "go", and each storm phone's
/// welcome when that phone says hello. Prints "port N", then
/// serves until it is terminated or has run for an hour. Answers the exit code.
int runFloor();

}  // namespace kovali
