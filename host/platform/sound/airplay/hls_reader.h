#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <optional>
#include <string>

#include "platform/sound/airplay/hls_playlist.h"

class QNetworkReply;

namespace kovali {

/// Reads a live HLS media playlist over HTTP as a player does: reloads the playlist four times a
/// second, fetches the initialization segment once, then every media segment in order, starting
/// three segments behind the newest. Stops at the first failure. Main thread.
class HLSReader : public QObject {
  Q_OBJECT

 public:
  static constexpr int segmentsBehindLiveEdge = 3;
  static constexpr std::chrono::milliseconds reloadInterval{250};

  explicit HLSReader(QUrl url, QObject* parent = nullptr);

  /// Starts reading; call once.
  void start();
  /// The playlist as last read; none before the first.
  const std::optional<HLSPlaylist>& playlist() const { return playlist_; }

 signals:
  void initializationRead(const QByteArray& data);
  /// The media segment `sequence`, in order, none left out.
  void segmentRead(long long sequence, const QByteArray& data);
  /// The stream cannot be read on; `sentence` says why, for people.
  void failed(const std::string& sentence);

 private:
  void reload();
  void playlistArrived(QNetworkReply* reply);
  void fetchNext();
  void segmentArrived(QNetworkReply* reply, long long sequence);
  /// The body of a successful reply, else the failure's words.
  static std::optional<QByteArray> bodyOf(QNetworkReply* reply, std::string& failure);
  void fail(const std::string& sentence);
  QNetworkReply* get(const QString& uri);

  QUrl url_;
  QNetworkAccessManager network_;
  QTimer reloadTimer_;
  std::optional<HLSPlaylist> playlist_;
  bool haveInitialization_ = false;
  std::optional<long long> nextSequence_;
  bool fetching_ = false;
  bool failed_ = false;
};

}  // namespace kovali
