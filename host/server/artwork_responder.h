#pragma once

#include <functional>
#include <string>

#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <qcoro/qcorotask.h>

#include "server/artwork_request.h"

class QTcpSocket;

namespace kovali {

/// Answers the plain HTTP requests that reach the guests' port: cover art by id, scaled to fit
/// the asked size, as JPEG with an ETag; 404 for anything else. Pictures are read, scaled and
/// encoded on worker threads; recent answers are kept, at most `cacheBytes` of them. Every
/// answer closes its connection. Main thread.
class ArtworkResponder final : public QObject {
  Q_OBJECT

 public:
  /// Finds the picture for an id, on the main thread: a reader that any thread may call (giving
  /// a null image when it cannot read it), or none when the id has no art.
  using Lookup = std::function<std::function<QImage()>(const std::string& id)>;

  static constexpr qsizetype cacheBytes = 16 * 1024 * 1024;

  explicit ArtworkResponder(QObject* parent = nullptr);
  ~ArtworkResponder() override;

  void setLookup(Lookup lookup) { lookup_ = std::move(lookup); }

  /// Answers the request whose head (through its blank line) was read from `socket`, then
  /// closes the socket, which goes once it has closed.
  void respond(QTcpSocket* socket, const QByteArray& head);

  /// Answers `status` without a body, with the header lines `headers`, and closes the socket.
  static void refuse(QTcpSocket* socket, int status, const QByteArray& headers = {});

 private:
  struct Picture {
    QByteArray jpeg;
    QByteArray etag;
  };

  QCoro::Task<> serve(QTcpSocket* socket, ArtworkRequest request);
  static void send(QTcpSocket* socket, const ArtworkRequest& request, const Picture& picture);

  Lookup lookup_;
  QThreadPool workers_;
  QCache<QString, Picture> cache_{cacheBytes};
};

}  // namespace kovali
