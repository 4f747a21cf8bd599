#include "platform/sound/airplay/hls_reader.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>

namespace kovali {

namespace {

constexpr int transferTimeoutMilliseconds = 5000;

}  // namespace

HLSReader::HLSReader(QUrl url, QObject* parent) : QObject(parent), url_(std::move(url)) {
  // The stream is on this computer: a proxy from the environment must not stand in between.
  network_.setProxy(QNetworkProxy::NoProxy);
  network_.setAutoDeleteReplies(true);
  reloadTimer_.setSingleShot(true);
  reloadTimer_.setInterval(reloadInterval);
  connect(&reloadTimer_, &QTimer::timeout, this, &HLSReader::reload);
}

void HLSReader::start() { reload(); }

QNetworkReply* HLSReader::get(const QString& uri) {
  QNetworkRequest request(url_.resolved(QUrl(uri)));
  request.setTransferTimeout(transferTimeoutMilliseconds);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  return network_.get(request);
}

void HLSReader::reload() {
  if (failed_) return;
  auto* reply = get(url_.toString());
  connect(reply, &QNetworkReply::finished, this, [this, reply] { playlistArrived(reply); });
}

std::optional<QByteArray> HLSReader::bodyOf(QNetworkReply* reply, std::string& failure) {
  const auto status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (status.isValid() && status.toInt() != 200) {
    failure = "HTTP " + std::to_string(status.toInt());
  } else if (reply->error() != QNetworkReply::NoError) {
    failure = reply->errorString().toStdString();
  } else {
    return reply->readAll();
  }
  return std::nullopt;
}

void HLSReader::playlistArrived(QNetworkReply* reply) {
  if (failed_) return;
  std::string failure;
  const auto body = bodyOf(reply, failure);
  if (!body) return fail("The stream's playlist could not be loaded (" + failure + ").");
  auto parsed = HLSPlaylist::parse(body->toStdString());
  if (!parsed) return fail(parsed.error());
  playlist_ = std::move(parsed).value();
  const auto& segments = playlist_->segments;
  if (!nextSequence_ && !segments.empty()) {
    const auto first = std::max<std::ptrdiff_t>(0, std::ssize(segments) - segmentsBehindLiveEdge);
    nextSequence_ = segments[static_cast<std::size_t>(first)].sequence;
  }
  if (nextSequence_ && !segments.empty() && *nextSequence_ < segments.front().sequence) {
    return fail("The stream moved on before its segments could be loaded.");
  }
  fetchNext();
}

void HLSReader::fetchNext() {
  if (!playlist_ || !nextSequence_) {
    reloadTimer_.start();
    return;
  }
  if (!haveInitialization_) {
    if (!playlist_->mapURI) return fail("The stream's playlist names no initialization segment.");
    auto* reply = get(QString::fromStdString(*playlist_->mapURI));
    connect(reply, &QNetworkReply::finished, this, [this, reply] { segmentArrived(reply, -1); });
    return;
  }
  const auto& segments = playlist_->segments;
  const auto next = std::find_if(segments.begin(), segments.end(),
                                 [&](const HLSPlaylist::Segment& s) { return s.sequence == *nextSequence_; });
  if (next == segments.end()) {
    if (!playlist_->ended) reloadTimer_.start();
    return;
  }
  auto* reply = get(QString::fromStdString(next->uri));
  const auto sequence = next->sequence;
  connect(reply, &QNetworkReply::finished, this, [this, reply, sequence] { segmentArrived(reply, sequence); });
}

void HLSReader::segmentArrived(QNetworkReply* reply, long long sequence) {
  if (failed_) return;
  std::string failure;
  const auto body = bodyOf(reply, failure);
  const auto name = reply->url().fileName().toStdString();
  if (!body) return fail("The stream's segment " + name + " could not be loaded (" + failure + ").");
  // A receiver may end this reader when it hears of the segment.
  QPointer<HLSReader> alive(this);
  if (sequence < 0) {
    haveInitialization_ = true;
    emit initializationRead(*body);
  } else {
    nextSequence_ = sequence + 1;
    emit segmentRead(sequence, *body);
  }
  if (alive && !failed_) fetchNext();
}

void HLSReader::fail(const std::string& sentence) {
  if (std::exchange(failed_, true)) return;
  reloadTimer_.stop();
  emit failed(sentence);
}

}  // namespace kovali
