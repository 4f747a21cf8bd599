#include "audio/stream/hls_stream.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace kovali {

namespace {

constexpr float soundThreshold = 0.002f;
constexpr std::int64_t soundStride = 16;  // frames between the samples looked at

/// Whether the first channel has a sample above the threshold among every 16th frame.
bool hasSound(const PCMBuffer& buffer) {
  const auto frames = buffer.frameLength();
  const auto channels = static_cast<std::size_t>(buffer.format.channels);
  for (std::int64_t frame = 0; frame < frames; frame += soundStride) {
    if (std::abs(buffer.samples[static_cast<std::size_t>(frame) * channels]) > soundThreshold) return true;
  }
  return false;
}

std::string segmentName(int sequence) { return "seg" + std::to_string(sequence) + ".m4s"; }

/// Five decimals whatever the process's locale.
std::string fiveDecimals(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 5);
  return std::string(text, result.ptr);
}

}  // namespace

vinaro::Expected<std::shared_ptr<HLSStream>, HLSStream::StreamError> HLSStream::make(const AudioFormat& format) {
  auto encoder = AACSegmentEncoder::make(format);
  if (!encoder) return StreamError{encoder.error()};
  return std::shared_ptr<HLSStream>(new HLSStream(format, std::move(encoder).value()));
}

HLSStream::HLSStream(const AudioFormat& format, std::unique_ptr<AACSegmentEncoder> encoder)
    : sourceFormat_(format), writer_(std::move(encoder)) {}

void HLSStream::append(SharedPCMBuffer buffer) {
  std::vector<AACSegmentEncoder::Output> outputs;
  {
    std::lock_guard lock(writerLock_);
    if (finished_ || writer_->status() != AACSegmentEncoder::Status::writing) {
      if (writer_->status() == AACSegmentEncoder::Status::failed && !writerError_) {
        writerError_ = writer_->error().value_or("The encoder stopped.");
      }
      return;
    }
    const MediaTime time{framesAppended_, static_cast<std::int32_t>(sourceFormat_.sampleRate)};
    const auto sample = makeSampleBuffer(buffer, time);
    if (!sample) return;
    // The encoder works synchronously, so it is always ready for the next buffer.
    if (writer_->append(*sample, outputs)) {
      const auto start = framesAppended_;
      framesAppended_ += buffer->frameLength();
      if (hasSound(*buffer)) framesAtLastSound_ = framesAppended_;
      if (onBuffer) onBuffer(buffer, start);
    } else if (!writerError_) {
      writerError_ = writer_->error().value_or("The encoder refused a buffer.");
    }
  }
  store(std::move(outputs));
}

void HLSStream::finish() {
  std::lock_guard lock(writerLock_);
  finished_ = true;
  writer_->cancel();
}

void HLSStream::store(std::vector<AACSegmentEncoder::Output> outputs) {
  for (auto& output : outputs) {
    if (output.type == AACSegmentEncoder::Output::Type::initialization) {
      didOutputSegment(SegmentType::initialization, std::move(output.data), std::nullopt);
    } else {
      didOutputSegment(SegmentType::media, std::move(output.data), SegmentReport{{output.duration}});
    }
  }
}

void HLSStream::didOutputSegment(SegmentType type, QByteArray data, const std::optional<SegmentReport>& report) {
  std::lock_guard lock(storeLock_);
  if (type == SegmentType::initialization) {
    initialization_ = std::move(data);
  } else if (type == SegmentType::media) {
    double duration = 1.0;
    if (report && !report->trackDurations.empty()) {
      duration = report->trackDurations.front();
      if (!std::isfinite(duration) || duration <= 0) duration = 1.0;
    }
    segments_.push_back({nextSequence_++, duration, std::move(data)});
    while (segments_.size() > maxStoredSegments) segments_.pop_front();
  }
}

std::optional<QByteArray> HLSStream::playlist() const {
  std::lock_guard lock(storeLock_);
  if (!initialization_ || segments_.empty()) return std::nullopt;
  double longest = 0;
  for (const auto& segment : segments_) longest = std::max(longest, segment.duration);
  const auto target = std::max(1LL, static_cast<long long>(std::ceil(longest)));
  std::string text = "#EXTM3U\n#EXT-X-VERSION:7\n#EXT-X-TARGETDURATION:" + std::to_string(target) +
                     "\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(segments_.front().sequence) +
                     "\n#EXT-X-INDEPENDENT-SEGMENTS\n#EXT-X-MAP:URI=\"init.mp4\"\n";
  for (const auto& segment : segments_) {
    text += "#EXTINF:" + fiveDecimals(segment.duration) + ",\n" + segmentName(segment.sequence) + "\n";
  }
  return QByteArray::fromStdString(text);
}

std::optional<QByteArray> HLSStream::data(std::string_view name) const {
  std::lock_guard lock(storeLock_);
  if (name == "init.mp4") return initialization_;
  for (const auto& segment : segments_) {
    if (segmentName(segment.sequence) == name) return segment.data;
  }
  return std::nullopt;
}

std::optional<QByteArray> HLSStream::initialization() const {
  std::lock_guard lock(storeLock_);
  return initialization_;
}

HLSStream::WriterHealth HLSStream::writerHealth() const {
  std::lock_guard lock(writerLock_);
  return {framesAppended_, framesAtLastSound_, writerError_};
}

std::size_t HLSStream::segmentCount() const {
  std::lock_guard lock(storeLock_);
  return segments_.size();
}

}  // namespace kovali
