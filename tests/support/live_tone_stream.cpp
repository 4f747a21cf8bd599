#include "support/live_tone_stream.h"

#include <QSignalSpy>

#include "platform/sound/airplay/hls_playlist.h"
#include "support/stream_audio.h"

namespace kovali::test {

LiveToneStream::LiveToneStream(double hertz) : hertz_(hertz) {
  stream_ = std::move(HLSStream::make(format_)).value();
  while (!stream_->data("seg3.m4s")) appendFrames(480);
  clock_.start();
  prefilled_ = appended_;
  feeder_.setInterval(20);
  QObject::connect(&feeder_, &QTimer::timeout, [this] {
    const auto due = prefilled_ + clock_.elapsed() * 48;
    while (appended_ < due) appendFrames(480);
  });
  feeder_.start();
  server_ = std::make_unique<StreamServer>(stream_);
  QSignalSpy started(server_.get(), &StreamServer::started);
  server_->start();
  if (started.wait(5000)) port_ = started.front().front().value<quint16>();
}

QUrl LiveToneStream::url(const char* path) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(QLatin1String(path)));
}

long long LiveToneStream::newestSegment() const {
  return HLSPlaylist::parse(stream_->playlist()->toStdString()).value().segments.back().sequence;
}

void LiveToneStream::appendFrames(int frames) {
  stream_->append(sineBuffer(format_, appended_, frames, hertz_, 0.5f));
  appended_ += frames;
}

}  // namespace kovali::test
