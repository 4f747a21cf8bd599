// The stream pipeline of multi-room: the live stream with this computer's copy and the server
// for one format, and the stream player that plays it on the speakers.

#include "audio/local_mirror.h"
#include "audio/multi_room_audio.h"
#include "audio/stream/hls_stream.h"
#include "audio/stream/stream_server.h"

namespace kovali {
namespace {

constexpr std::chrono::seconds kHoldOffAfterLoad{5};
constexpr std::chrono::seconds kHoldOffAfterFailure{3};

}  // namespace

std::shared_ptr<HLSStream> MultiRoomAudio::startStream(const AudioFormat& format) {
  // A finished stream (left by a rebuild that failed) never takes sound again.
  if (stream_ && !streamFinished_ && stream_->sourceFormat() == format) return stream_;
  finishStream();
  if (mirror_) mirror_->stop();
  auto made = HLSStream::make(format);
  if (!made) throw TapError{made.error().message};
  auto stream = std::move(made).value();
  auto synchronizer = std::make_shared<RenderSynchronizer>();
  auto mirror = std::make_unique<LocalMirror>(format, copyFeederTimer_, makeRenderer_(format, synchronizer), synchronizer);
  // The stream is finished before its copy goes, and a finished stream hands nothing on.
  stream->onBuffer = [copy = mirror.get()](const SharedPCMBuffer& buffer, std::int64_t start) {
    copy->push(buffer, start);
  };
  stream_ = stream;
  streamFinished_ = false;
  framesSeen_ = -1;
  mirror_ = std::move(mirror);
  applyMacVolume();
  stopPlayer();
  server_.reset();
  streamURL_.reset();
  server_ = std::make_unique<StreamServer>(stream);
  connect(server_.get(), &StreamServer::started, this, [this](quint16 port) { handleServerResult(port, {}); });
  connect(server_.get(), &StreamServer::startFailed, this,
          [this](const QString& error) { handleServerResult(std::nullopt, error); });
  server_->start();
  return stream;
}

void MultiRoomAudio::finishStream() {
  if (!stream_ || streamFinished_) return;
  stream_->finish();
  streamFinished_ = true;
}

void MultiRoomAudio::handleServerResult(std::optional<quint16> port, const QString& error) {
  if (port) {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(*port);
    url.setPath(QStringLiteral("/stream.m3u8"));
    streamURL_ = url;
    log("stream server on port " + std::to_string(*port));
    return;
  }
  const auto sentence = "Could not start the stream server: " + error.toStdString();
  setProblem(sentence);
  log(sentence);
}

void MultiRoomAudio::loadPlayer(const QUrl& url) {
  observingItem_ = true;
  player_->load(url);
  setIsStreaming(true);
  nextPlayerAttempt_ = scheduler_.monotonicNow() + kHoldOffAfterLoad;
  log("player loaded " + url.toString().toStdString());
}

void MultiRoomAudio::handleItemStatus(StreamPlayer::ItemStatus status, const std::string& error) {
  switch (status) {
    case StreamPlayer::ItemStatus::failed: {
      const auto sentence = "The stream to the speakers failed: " + (error.empty() ? "unknown error" : error);
      setProblem(sentence);
      log(sentence);
      stopPlayer();
      nextPlayerAttempt_ = scheduler_.monotonicNow() + kHoldOffAfterFailure;
      emit changed();
      return;
    }
    case StreamPlayer::ItemStatus::readyToPlay:
      log("player ready");
      return;
    case StreamPlayer::ItemStatus::unknown:
      return;
  }
}

void MultiRoomAudio::stopPlayer() {
  observingItem_ = false;
  player_->stop();
  setIsStreaming(false);
}

}  // namespace kovali
