#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/runtime/scheduler.h"
#include "platform/sound/rendering/audio_renderer.h"
#include "platform/sound/pcm_buffer.h"
#include "platform/sound/rendering/render_synchronizer.h"

namespace kovali {

/// Plays on this computer the sound being streamed to the speakers, delayed to sound with them.
/// Every buffer arrives with its place on the stream's timeline; the last 15 s are kept, and
/// while running a 50 ms feeder hands the renderer what its clock reaches within a second. The
/// owner sets the clock to the multi-room player's position with `start`.
class LocalMirror {
 public:
  static constexpr double retainedSeconds = 15;
  static constexpr double feederInterval = 0.05;

  /// Starts the feeder's ticks, every `intervalSeconds` until the handle goes; a stall of the
  /// main thread longer than the look-ahead would leave a gap if they ran there.
  using FeederTimer = std::function<RepeatingTimer(double intervalSeconds, std::function<void()> tick)>;

  /// `renderer` plays by `synchronizer`'s clock; the feeder runs on the ticks of `feederTimer`.
  LocalMirror(const AudioFormat& format, FeederTimer feederTimer, std::unique_ptr<AudioRenderer> renderer,
              std::shared_ptr<RenderSynchronizer> synchronizer);
  LocalMirror(const LocalMirror&) = delete;
  LocalMirror& operator=(const LocalMirror&) = delete;
  ~LocalMirror();

  /// Keeps one buffer whose first frame is at `start` on the timeline; any thread, in timeline order.
  void push(SharedPCMBuffer buffer, std::int64_t start);
  /// Plays (or re-aligns) so that the clock reads `seconds` on the timeline now. Main thread.
  void start(double seconds);
  /// Stops playing; the kept buffers stay. Main thread.
  void stop();

  bool isRunning() const;
  /// The clock's time in seconds; not finite before the first start.
  double currentTime() const { return synchronizer_->currentTime(); }
  void setVolume(float volume) { renderer_->setVolume(volume); }

 private:
  struct Chunk {
    std::int64_t start = 0;
    SharedPCMBuffer buffer;
    std::int64_t end() const { return start + buffer->frameLength(); }
  };

  void feed();

  const double sampleRate_;
  FeederTimer feederTimer_;
  std::unique_ptr<AudioRenderer> renderer_;
  std::shared_ptr<RenderSynchronizer> synchronizer_;
  const std::int64_t retainedFrames_;

  std::mutex feedLock_;      // one feed at a time: the first at a start, then the feeder's
  mutable std::mutex lock_;  // guards chunks_, nextFrame_, running_
  std::deque<Chunk> chunks_;
  std::int64_t nextFrame_ = -1;  // -1: not yet positioned
  bool running_ = false;

  RepeatingTimer feeder_;
};

}  // namespace kovali
