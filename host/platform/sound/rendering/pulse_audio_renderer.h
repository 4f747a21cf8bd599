#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sound/rendering/audio_renderer.h"
#include "platform/sound/pulse_playback_stream.h"
#include "platform/sound/rendering/render_synchronizer.h"

struct SwrContext;

namespace kovali {

/// An `AudioRenderer` on the sound server: a playback stream of its own on the default output
/// (or on one sink) that writes, at each moment, the sound whose presentation time the synchronizer's clock will
/// show when the server plays it (the stream's own latency taken into account), and silence
/// where it has none. Buffers in other formats are converted to the stream's.
class PulseAudioRenderer final : public AudioRenderer {
 public:
  /// Where the renderer plays and whom it tells when it cannot.
  struct Placement {
    std::string sink;  // empty: the default output
    std::string streamName = "Kovali multi-room (this computer)";
    /// The stream could not be opened or broke (a sentence); on any thread, once. Without it the
    /// renderer opens its stream again itself.
    std::function<void(const std::string& reason)> failed;
  };

  /// Plays buffers of `format` where `placement` says; connects to the server on the first buffer.
  PulseAudioRenderer(const AudioFormat& format, std::shared_ptr<RenderSynchronizer> synchronizer,
                     Placement placement);
  /// Plays on the default output.
  PulseAudioRenderer(const AudioFormat& format, std::shared_ptr<RenderSynchronizer> synchronizer);
  ~PulseAudioRenderer() override;

  bool isReadyForMoreMediaData() const override;
  void enqueue(SampleBuffer buffer) override;
  void flush() override;
  void setVolume(float volume) override;

 private:
  struct Chunk {
    std::int64_t start = 0;      // in frames of the stream's rate
    std::vector<float> samples;  // the stream's format
    std::int64_t end() const;
  };

  /// The stream asks for sound at its frame `position` (on the stream's thread).
  std::size_t fill(float* out, std::size_t frames, std::int64_t position);
  /// Converts a buffer to the stream's format; empty when it cannot.
  std::vector<float> convert(const PCMBuffer& buffer);
  /// Opens the stream on the first buffer; without an owner to tell, opens it again (at most once
  /// a second) after it broke, as when the sound server restarted.
  void connectIfNeeded();
  /// Whether the stream broke and this renderer opens it again itself.
  bool reconnects() const;

  AudioFormat format_;
  std::shared_ptr<RenderSynchronizer> synchronizer_;
  Placement placement_;
  std::atomic<float> volume_{1.0f};
  SwrContext* resampler_ = nullptr;  // none when the format is the stream's own
  bool triedToConnect_ = false;
  std::atomic<bool> broken_ = false;  // the stream failed or could not be opened
  std::chrono::steady_clock::time_point nextAttempt_;

  mutable std::mutex lock_;  // guards chunks_, cursor_, lastSourceEnd_ and the resampler
  std::deque<Chunk> chunks_;
  std::optional<std::int64_t> cursor_;  // timeline frame the stream writes next
  MediaTime lastSourceEnd_;             // where the last buffer enqueued ended
  std::int64_t lastChunkEnd_ = 0;       // and where its sound ends in the stream's frames

  std::unique_ptr<PulsePlaybackStream> stream_;
};

}  // namespace kovali
