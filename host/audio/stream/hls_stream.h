#pragma once

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/stream/aac_segment_encoder.h"
#include "platform/sound/pcm_buffer.h"
#include "protocol/expected.h"

namespace kovali {

/// A live HLS presentation held in memory: PCM appended in one format is encoded into AAC
/// segments of about a second; the initialization segment and the ten newest media segments
/// are kept, with the live playlist naming them. Every accepted buffer is handed on, with its
/// place on the stream's timeline (frames of the source format from 0), through `onBuffer`.
///
/// Two locks: the writer's (appends, `finish`, the health fields) and the store's (segments and
/// playlist); never both at once. Segments made while appending are stored after the writer's
/// lock is released.
class HLSStream {
 public:
  struct Segment {
    int sequence = 0;
    double duration = 0;  // seconds
    QByteArray data;
  };

  /// Why the stream could not be made; `message` is a sentence for people.
  struct StreamError {
    std::string message;
    const std::string& description() const { return message; }
  };

  /// The kinds of segment the encoder delivers; other values are ignored.
  enum class SegmentType { initialization = 1, media = 2 };

  /// What the encoder reports about a media segment: one duration per track, in seconds.
  struct SegmentReport {
    std::vector<double> trackDurations;
  };

  /// The writer's side of the stream's health, read in one go.
  struct WriterHealth {
    std::int64_t framesAppended = 0;
    std::int64_t framesAtLastSound = -1;  // -1 while no accepted buffer had sound
    std::optional<std::string> writerError;
  };

  static constexpr std::size_t maxStoredSegments = 10;

  /// Makes the stream and starts its encoder; the timeline starts at frame 0.
  static vinaro::Expected<std::shared_ptr<HLSStream>, StreamError> make(const AudioFormat& format);
  HLSStream(const HLSStream&) = delete;
  HLSStream& operator=(const HLSStream&) = delete;

  const AudioFormat& sourceFormat() const { return sourceFormat_; }

  /// Called on the appending thread with each accepted buffer and the timeline position of its
  /// first frame, inside the writer's lock: it must not call `append` or `finish`. Set it right
  /// after `make`, before the first append.
  std::function<void(const SharedPCMBuffer& buffer, std::int64_t start)> onBuffer;

  /// Offers one buffer in `sourceFormat()`; it is dropped (the timeline does not move) when the
  /// stream is finished or failed or the encoder refuses it. Any thread, one at a time.
  void append(SharedPCMBuffer buffer);
  /// Stops the stream for good: later appends are dropped; stored segments stay readable.
  void finish();

  /// The live playlist; none until both the initialization and a media segment are stored.
  std::optional<QByteArray> playlist() const;
  /// "init.mp4" or a stored "seg<N>.m4s"; none for any other name.
  std::optional<QByteArray> data(std::string_view name) const;
  std::optional<QByteArray> initialization() const;
  WriterHealth writerHealth() const;
  std::size_t segmentCount() const;

  /// Stores a segment the encoder delivered: the initialization replaces the earlier one; a
  /// media segment takes the next sequence and the first track's duration (1 s where there is
  /// none or it is not positive). Called by the stream itself after each append.
  void didOutputSegment(SegmentType type, QByteArray data, const std::optional<SegmentReport>& report);

 private:
  HLSStream(const AudioFormat& format, std::unique_ptr<AACSegmentEncoder> encoder);
  void store(std::vector<AACSegmentEncoder::Output> outputs);

  const AudioFormat sourceFormat_;

  mutable std::mutex writerLock_;
  std::unique_ptr<AACSegmentEncoder> writer_;
  std::int64_t framesAppended_ = 0;
  std::int64_t framesAtLastSound_ = -1;
  bool finished_ = false;
  std::optional<std::string> writerError_;

  mutable std::mutex storeLock_;
  std::optional<QByteArray> initialization_;
  std::deque<Segment> segments_;
  int nextSequence_ = 0;
};

}  // namespace kovali
