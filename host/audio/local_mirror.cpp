#include "audio/local_mirror.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kovali {

LocalMirror::LocalMirror(const AudioFormat& format, FeederTimer feederTimer, std::unique_ptr<AudioRenderer> renderer,
                         std::shared_ptr<RenderSynchronizer> synchronizer)
    : sampleRate_(format.sampleRate),
      feederTimer_(std::move(feederTimer)),
      renderer_(std::move(renderer)),
      synchronizer_(std::move(synchronizer)),
      retainedFrames_(static_cast<std::int64_t>(format.sampleRate * retainedSeconds)) {}

// The feeder goes first: a tick under way ends before the rest goes.
LocalMirror::~LocalMirror() { feeder_.stop(); }

void LocalMirror::push(SharedPCMBuffer buffer, std::int64_t start) {
  if (!buffer) return;
  std::lock_guard lock(lock_);
  chunks_.push_back({start, std::move(buffer)});
  const auto cutOff = start - retainedFrames_;
  // The newest chunk always ends beyond the cut-off, so it is never removed.
  while (chunks_.front().end() <= cutOff) chunks_.pop_front();
}

void LocalMirror::start(double seconds) {
  // The old clock's feeder ends before the renderer is set to the new one.
  feeder_.stop();
  {
    std::lock_guard lock(lock_);
    running_ = true;
    nextFrame_ = -1;
  }
  renderer_->flush();
  synchronizer_->setRate(1.0, MediaTime{static_cast<std::int64_t>(std::llround(seconds * sampleRate_)),
                                        static_cast<std::int32_t>(sampleRate_)});
  feeder_ = feederTimer_(feederInterval, [this] { feed(); });
  feed();
}

void LocalMirror::stop() {
  {
    std::lock_guard lock(lock_);
    running_ = false;
    nextFrame_ = -1;
  }
  feeder_.stop();  // waits for a feed under way, so nothing is handed over after the flush
  synchronizer_->setRate(0, MediaTime{});
  renderer_->flush();
}

bool LocalMirror::isRunning() const {
  std::lock_guard lock(lock_);
  return running_;
}

void LocalMirror::feed() {
  std::lock_guard feeding(feedLock_);
  const double now = synchronizer_->currentTime();
  if (!std::isfinite(now)) return;
  const auto nowFrame = static_cast<std::int64_t>(now * sampleRate_);
  const auto horizon = nowFrame + static_cast<std::int64_t>(sampleRate_);
  std::vector<Chunk> due;
  {
    std::lock_guard lock(lock_);
    if (!running_) return;
    if (nextFrame_ < 0) {
      // The chunk holding the clock's time is handed over whole, from its own start.
      const auto current =
          std::find_if(chunks_.begin(), chunks_.end(), [&](const Chunk& c) { return c.end() > nowFrame; });
      if (current == chunks_.end()) return;
      nextFrame_ = current->start;
    }
    for (const auto& chunk : chunks_) {
      if (chunk.start >= nextFrame_ && chunk.start < horizon) due.push_back(chunk);
    }
    if (!due.empty()) nextFrame_ = due.back().end();
  }
  for (const auto& chunk : due) {
    if (!renderer_->isReadyForMoreMediaData()) {
      std::lock_guard lock(lock_);
      nextFrame_ = chunk.start;  // the rest go at a later tick
      return;
    }
    const MediaTime time{chunk.start, static_cast<std::int32_t>(sampleRate_)};
    if (auto sample = makeSampleBuffer(chunk.buffer, time)) renderer_->enqueue(std::move(*sample));
  }
}

}  // namespace kovali
