#pragma once

#include <vector>

#include "platform/sound/rendering/audio_renderer.h"

namespace kovali {

/// Records what it is given; the test says whether it is ready for more.
class FakeAudioRenderer final : public AudioRenderer {
 public:
  struct State {
    bool ready = true;
    std::vector<SampleBuffer> enqueued;
    int flushes = 0;
    float volume = 1.0f;
  };

  /// `state` outlives the renderer, so the test reads it after the mirror took the renderer.
  explicit FakeAudioRenderer(State& state) : state_(state) {}

  bool isReadyForMoreMediaData() const override { return state_.ready; }
  void enqueue(SampleBuffer buffer) override { state_.enqueued.push_back(std::move(buffer)); }
  void flush() override { ++state_.flushes; }
  void setVolume(float volume) override { state_.volume = volume; }

 private:
  State& state_;
};

}  // namespace kovali
