#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>
#include <cstdint>
#include <memory>

#include "audio/stream/hls_stream.h"
#include "audio/stream/stream_server.h"

namespace kovali::test {

/// A live HLS stream of a sine tone at 48 kHz stereo, served on 127.0.0.1: four segments at once,
/// then appended in real time as the main thread's event loop runs.
class LiveToneStream {
 public:
  explicit LiveToneStream(double hertz = 440);

  /// The stream's address at `path` (its playlist by default); the port is 0 when it did not start.
  QUrl url(const char* path = "/stream.m3u8") const;
  quint16 port() const { return port_; }
  /// The media sequence of the newest stored segment.
  long long newestSegment() const;
  /// The tone appended from now on.
  void setTone(double hertz) { hertz_ = hertz; }

 private:
  void appendFrames(int frames);

  const AudioFormat format_{48000, 2};
  double hertz_;
  std::shared_ptr<HLSStream> stream_;
  std::int64_t appended_ = 0;
  std::int64_t prefilled_ = 0;
  QElapsedTimer clock_;
  QTimer feeder_;
  std::unique_ptr<StreamServer> server_;
  quint16 port_ = 0;
};

}  // namespace kovali::test
