#pragma once

#include <string>
#include <thread>

namespace kovali {

/// Plays a tone to one sink of the sound server through libpulse, on a thread of its own:
/// `seconds` of a sine at `hertz` and `amplitude` (1 is full scale), then `silence` seconds of
/// silence, so that a sink that drops what it holds when the stream ends drops only silence.
class TonePlayer {
 public:
  TonePlayer(std::string sink, double hertz, double seconds, double silence = 3, double amplitude = 0.5);
  ~TonePlayer();
  TonePlayer(const TonePlayer&) = delete;
  TonePlayer& operator=(const TonePlayer&) = delete;

  /// Waits until the server played everything; empty then, else why it could not play.
  const std::string& wait();

 private:
  void play(const std::string& sink, double hertz, double seconds, double silence, double amplitude);

  std::string error_;
  std::thread thread_;
};

}  // namespace kovali
