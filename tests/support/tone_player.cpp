#include "support/tone_player.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cmath>
#include <memory>
#include <vector>

namespace kovali {

namespace {

constexpr int toneRate = 44100;  // an AirPlay speaker's own rate: nothing resamples the tone

}  // namespace

TonePlayer::TonePlayer(std::string sink, double hertz, double seconds, double silence, double amplitude)
    : thread_([=, this] { play(sink, hertz, seconds, silence, amplitude); }) {}

TonePlayer::~TonePlayer() { wait(); }

const std::string& TonePlayer::wait() {
  if (thread_.joinable()) thread_.join();
  return error_;
}

void TonePlayer::play(const std::string& sink, double hertz, double seconds, double silence, double amplitude) {
  const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, toneRate, 2};
  int error = 0;
  std::unique_ptr<pa_simple, void (*)(pa_simple*)> connection(
      pa_simple_new(nullptr, "kovali-test", PA_STREAM_PLAYBACK, sink.c_str(), "tone", &sampleSpec, nullptr, nullptr,
                    &error),
      pa_simple_free);
  if (!connection) {
    error_ = pa_strerror(error);
    return;
  }
  const auto toneFrames = static_cast<std::size_t>(seconds * toneRate);
  std::vector<float> sound(static_cast<std::size_t>((seconds + silence) * toneRate) * 2);
  for (std::size_t i = 0; i < toneFrames; ++i) {
    sound[2 * i] = sound[2 * i + 1] = static_cast<float>(amplitude * std::sin(2 * M_PI * hertz * i / toneRate));
  }
  if (pa_simple_write(connection.get(), sound.data(), sound.size() * sizeof(float), &error) < 0 ||
      pa_simple_drain(connection.get(), &error) < 0) {
    error_ = pa_strerror(error);
  }
}

}  // namespace kovali
