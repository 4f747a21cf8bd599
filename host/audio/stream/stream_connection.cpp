#include "audio/stream/stream_connection.h"

#include <QTcpSocket>
#include <algorithm>
#include <exception>
#include <string>

#include "audio/stream/hls_stream.h"
#include "audio/stream/stream_request.h"
#include "platform/runtime/logging.h"

namespace kovali {

namespace {

constexpr qint64 readLimit = 16384;

struct Answer {
  std::string_view status;
  std::string_view contentType;
  QByteArray body;
};

Answer notFound() { return {"404 Not Found", "text/plain", QByteArrayLiteral("Not found.")}; }

Answer route(const HLSStream& stream, std::string_view path) {
  if (path == "/stream.m3u8") {
    if (auto playlist = stream.playlist()) return {"200 OK", "application/vnd.apple.mpegurl", std::move(*playlist)};
    return {"503 Service Unavailable", "text/plain", QByteArrayLiteral("The stream is not ready yet.")};
  }
  if (path == "/init.mp4") {
    if (auto initialization = stream.initialization()) return {"200 OK", "video/mp4", std::move(*initialization)};
    return notFound();
  }
  if (path.starts_with("/seg")) {
    // Only names of segments held in memory match; nothing here is ever a file.
    if (auto segment = stream.data(path.substr(1))) return {"200 OK", "video/iso.segment", std::move(*segment)};
  }
  return notFound();
}

}  // namespace

StreamConnection::StreamConnection(QTcpSocket* socket, std::shared_ptr<const HLSStream> stream,
                                   std::chrono::milliseconds idleTimeout, QObject* parent)
    : QObject(parent), socket_(socket), stream_(std::move(stream)) {
  socket_->setParent(this);  // outlives the listener that accepted it
  idle_.setSingleShot(true);
  idle_.setInterval(idleTimeout);
  connect(&idle_, &QTimer::timeout, this, [this] {
    qCDebug(lcMultiroom) << "A stream client went silent";
    drop();
  });
  connect(socket_, &QTcpSocket::readyRead, this, &StreamConnection::read);
  connect(socket_, &QTcpSocket::disconnected, this, [this] {
    if (answered_) {
      deleteLater();
    } else {
      drop();
    }
  });
  idle_.start();
  read();  // bytes may have arrived before this object was listening
}

void StreamConnection::read() {
  if (answered_) return;
  idle_.start();
  for (;;) {
    const QByteArray chunk = socket_->read(readLimit);
    if (chunk.isEmpty()) return;
    const auto searchFrom = static_cast<std::size_t>(std::max<qsizetype>(0, received_.size() - 3));
    received_ += chunk;
    const std::string_view received(received_.constData(), static_cast<std::size_t>(received_.size()));
    if (const auto end = stream_request::headEnd(received, searchFrom); end && *end <= stream_request::maxHeadBytes) {
      respond(received.substr(0, *end));
      return;
    }
    if (received.size() > stream_request::maxHeadBytes) {
      qCDebug(lcMultiroom) << "A stream client's request head is too large";
      drop();
      return;
    }
  }
}

void StreamConnection::respond(std::string_view head) {
  answered_ = true;
  // One failing request never takes the server down: only this connection goes.
  try {
    const auto request = stream_request::parse(head);
    if (!request) {
      qCDebug(lcMultiroom) << "A stream client spoke another protocol than HTTP/1.x";
      drop();
      return;
    }
    const Answer answer = route(*stream_, request->path);
    QByteArray response = QByteArray::fromStdString(
        stream_request::responseHead(answer.status, answer.contentType, static_cast<std::size_t>(answer.body.size())));
    if (!request->isHead()) response += answer.body;
    socket_->write(response);
    socket_->disconnectFromHost();  // after the response has gone out
    idle_.start();                  // a client that stops reading is not waited for
  } catch (const std::exception& error) {
    qCWarning(lcMultiroom) << "A stream request failed:" << error.what();
    drop();
  }
}

void StreamConnection::drop() {
  answered_ = true;
  idle_.stop();
  socket_->disconnect(this);
  socket_->abort();
  deleteLater();
}

}  // namespace kovali
