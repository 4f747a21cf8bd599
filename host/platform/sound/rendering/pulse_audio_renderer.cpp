#include "platform/sound/rendering/pulse_audio_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "platform/runtime/logging.h"

namespace kovali {

namespace {

constexpr int rate = PulsePlaybackStream::sampleRate;
constexpr int channels = PulsePlaybackStream::channels;
constexpr std::int64_t queueLimit = 2 * rate;  // frames ahead of the stream that it takes
constexpr std::int64_t tolerance = rate / 50;  // 20 ms off the clock before the stream jumps
constexpr double assumedLatency = 0.5;         // until the server tells its timing
constexpr std::chrono::seconds reconnectInterval{1};

bool isStreamFormat(const AudioFormat& format) { return format.sampleRate == rate && format.channels == channels; }

}  // namespace

std::int64_t PulseAudioRenderer::Chunk::end() const {
  return start + static_cast<std::int64_t>(samples.size()) / channels;
}

PulseAudioRenderer::PulseAudioRenderer(const AudioFormat& format, std::shared_ptr<RenderSynchronizer> synchronizer,
                                       Placement placement)
    : format_(format), synchronizer_(std::move(synchronizer)), placement_(std::move(placement)) {
  if (!isStreamFormat(format_) && format_.channels > 0 && format_.sampleRate >= 1) {
    AVChannelLayout input{};
    av_channel_layout_default(&input, format_.channels);
    AVChannelLayout output = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&resampler_, &output, AV_SAMPLE_FMT_FLT, rate, &input, AV_SAMPLE_FMT_FLT,
                            static_cast<int>(format_.sampleRate), 0, nullptr) < 0 ||
        swr_init(resampler_) < 0) {
      swr_free(&resampler_);
    }
    av_channel_layout_uninit(&input);
  }
  PulsePlaybackStream::Handler handler;
  handler.fill = [this](float* out, std::size_t frames, std::int64_t position) { return fill(out, frames, position); };
  handler.failed = [this](const std::string& reason) {
    qCWarning(lcMultiroom).noquote() << QString::fromStdString(placement_.streamName) << "stopped:"
                                     << QString::fromStdString(reason);
    broken_ = true;
    if (placement_.failed) placement_.failed(reason);
  };
  stream_ = std::make_unique<PulsePlaybackStream>("Kovali", placement_.streamName, std::move(handler));
}

PulseAudioRenderer::PulseAudioRenderer(const AudioFormat& format, std::shared_ptr<RenderSynchronizer> synchronizer)
    : PulseAudioRenderer(format, std::move(synchronizer), Placement{}) {}

PulseAudioRenderer::~PulseAudioRenderer() {
  stream_.reset();  // no more calls of fill
  swr_free(&resampler_);
}

bool PulseAudioRenderer::isReadyForMoreMediaData() const {
  // A stream that is opened again takes buffers, so that their arrival brings the next attempt.
  if (reconnects()) return true;
  std::lock_guard lock(lock_);
  if (chunks_.empty()) return true;
  const auto written = cursor_.value_or(chunks_.front().start);
  return chunks_.back().end() - written < queueLimit;
}

void PulseAudioRenderer::enqueue(SampleBuffer buffer) {
  if (!buffer.pcm || !buffer.presentationTime.isValid()) return;
  const auto sourceStart = buffer.presentationTime;
  const MediaTime sourceEnd{sourceStart.value + buffer.pcm->frameLength(), sourceStart.timescale};
  {
    std::lock_guard lock(lock_);
    // A buffer that follows on from the last one follows on in the stream's frames too, so the
    // converter's rounding leaves no gap or overlap between them.
    const bool followsOn = lastSourceEnd_.isValid() && lastSourceEnd_ == sourceStart;
    if (!followsOn && resampler_) swr_init(resampler_);
    Chunk chunk{followsOn ? lastChunkEnd_ : std::llround(sourceStart.seconds() * rate), convert(*buffer.pcm)};
    if (chunk.samples.empty()) return;
    lastSourceEnd_ = sourceEnd;
    lastChunkEnd_ = chunk.end();
    chunks_.push_back(std::move(chunk));
    // What the clock has passed is never written, also while the stream is not asking for sound.
    if (const double now = synchronizer_->currentTime(); std::isfinite(now)) {
      const auto passed = std::llround(now * rate);
      while (!chunks_.empty() && chunks_.front().end() <= passed) chunks_.pop_front();
    }
  }
  connectIfNeeded();
}

void PulseAudioRenderer::flush() {
  {
    std::lock_guard lock(lock_);
    chunks_.clear();
    cursor_.reset();
    lastSourceEnd_ = MediaTime{};
  }
  stream_->locked([&] { stream_->flush(); });
}

void PulseAudioRenderer::setVolume(float volume) { volume_ = std::clamp(volume, 0.0f, 1.0f); }

bool PulseAudioRenderer::reconnects() const { return broken_ && !placement_.failed; }

void PulseAudioRenderer::connectIfNeeded() {
  const auto now = std::chrono::steady_clock::now();
  if (triedToConnect_ && (!reconnects() || now < nextAttempt_)) return;
  const bool firstFailure = !broken_;
  triedToConnect_ = true;
  nextAttempt_ = now + reconnectInterval;
  broken_ = false;
  if (const auto error = stream_->connect(placement_.sink)) {
    broken_ = true;
    if (firstFailure) {
      qCWarning(lcMultiroom).noquote() << QString::fromStdString(placement_.streamName)
                                       << "cannot play:" << QString::fromStdString(*error);
    }
    if (placement_.failed) placement_.failed(*error);
    return;
  }
  {
    std::lock_guard lock(lock_);
    cursor_.reset();
  }
  stream_->locked([&] { stream_->setCorked(false); });
}

std::vector<float> PulseAudioRenderer::convert(const PCMBuffer& buffer) {
  if (buffer.format != format_) return {};
  if (isStreamFormat(format_)) return buffer.samples;
  if (!resampler_) return {};
  const auto frames = static_cast<int>(buffer.frameLength());
  const int capacity = swr_get_out_samples(resampler_, frames);
  if (capacity <= 0) return {};
  std::vector<float> converted(static_cast<std::size_t>(capacity) * channels);
  auto* output = reinterpret_cast<std::uint8_t*>(converted.data());
  const auto* input = reinterpret_cast<const std::uint8_t*>(buffer.samples.data());
  const int made = swr_convert(resampler_, &output, capacity, &input, frames);
  converted.resize(static_cast<std::size_t>(std::max(made, 0)) * channels);
  return converted;
}

std::size_t PulseAudioRenderer::fill(float* out, std::size_t frames, std::int64_t position) {
  std::fill(out, out + frames * channels, 0.0f);
  const double now = synchronizer_->currentTime();
  std::lock_guard lock(lock_);
  if (!std::isfinite(now) || synchronizer_->rate() <= 0 || chunks_.empty()) {
    cursor_.reset();
    return frames;
  }
  // Where the clock will be when the server plays the frame written now.
  const auto played = stream_->playedFrames();
  const double delay = played ? static_cast<double>(position - *played) / rate : assumedLatency;
  const auto expected = static_cast<std::int64_t>(std::llround((now + delay) * rate));
  if (!cursor_ || std::llabs(expected - *cursor_) > tolerance) cursor_ = expected;

  const auto first = *cursor_;
  const auto last = first + static_cast<std::int64_t>(frames);
  while (!chunks_.empty() && chunks_.front().end() <= first) chunks_.pop_front();
  const float volume = volume_;
  for (const auto& chunk : chunks_) {
    if (chunk.start >= last) break;
    const auto from = std::max(first, chunk.start);
    const auto to = std::min(last, chunk.end());
    for (auto frame = from; frame < to; ++frame) {
      for (int c = 0; c < channels; ++c) {
        out[(frame - first) * channels + c] =
            volume * chunk.samples[static_cast<std::size_t>((frame - chunk.start) * channels + c)];
      }
    }
  }
  cursor_ = last;
  return frames;
}

}  // namespace kovali
