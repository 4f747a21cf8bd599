#pragma once

#include "platform/sound/pcm_buffer.h"

namespace kovali {

/// Plays timed PCM on this computer's output: each buffer is heard when the renderer's
/// `RenderSynchronizer` reaches the buffer's presentation time; the part of a buffer already in
/// the past is skipped. Any thread.
class AudioRenderer {
 public:
  virtual ~AudioRenderer() = default;

  /// Whether it takes another buffer now; when not, the caller tries again later.
  virtual bool isReadyForMoreMediaData() const = 0;
  virtual void enqueue(SampleBuffer buffer) = 0;
  /// Drops every buffer not yet heard.
  virtual void flush() = 0;
  /// 0.0 (silent) to 1.0.
  virtual void setVolume(float volume) = 0;
};

}  // namespace kovali
