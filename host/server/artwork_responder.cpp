#include "server/artwork_responder.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

#include "platform/runtime/logging.h"

namespace kovali {

namespace {

constexpr int kLingerMs = 1000;

const char* reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 304: return "Not Modified";
    case 404: return "Not Found";
    case 426: return "Upgrade Required";
    default: return "Bad Request";
  }
}

QByteArray statusLine(int status) {
  return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
}

void closeAfterWriting(QTcpSocket* socket) {
  if (socket->state() == QAbstractSocket::UnconnectedState) {
    socket->deleteLater();
    return;
  }
  QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  socket->disconnectFromHost();  // waits for what is written
}

// Scaled to fit the asked box, as phones ask for the size they draw.
QByteArray scaledJPEG(const std::function<QImage()>& read, int width, int height) {
  const QImage picture = read();
  if (picture.isNull()) return {};
  const QImage scaled = picture.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!scaled.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", 88)) return {};
  return bytes;
}

}  // namespace

ArtworkResponder::ArtworkResponder(QObject* parent) : QObject(parent) { workers_.setMaxThreadCount(2); }

ArtworkResponder::~ArtworkResponder() { workers_.waitForDone(); }

void ArtworkResponder::refuse(QTcpSocket* socket, int status, const QByteArray& headers) {
  socket->write(statusLine(status) + headers + "Content-Length: 0\r\nConnection: close\r\n\r\n");
  if (status != 400 && status != 426) {
    closeAfterWriting(socket);
    return;
  }
  // A client refused mid-request, or a phone that sent frames behind its upgrade, may still be
  // sending: what it sends is dropped for a moment, as closing on unread bytes would reset the
  // connection before it has read the answer.
  socket->readAll();
  QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
  QTimer::singleShot(kLingerMs, socket, [socket] { closeAfterWriting(socket); });
}

void ArtworkResponder::respond(QTcpSocket* socket, const QByteArray& head) {
  auto parsed = parseArtworkRequest(std::string_view(head.constData(), static_cast<std::size_t>(head.size())));
  if (const auto* refusal = std::get_if<HTTPRefusal>(&parsed)) {
    refuse(socket, refusal->status);
    return;
  }
  (void)serve(socket, std::get<ArtworkRequest>(std::move(parsed)));
}

QCoro::Task<> ArtworkResponder::serve(QTcpSocket* socket, ArtworkRequest request) {
  const QString key = QString::fromStdString(request.id) + u'/' + QString::number(request.width) + u'x' +
                      QString::number(request.height);
  if (const Picture* cached = cache_.object(key)) {
    send(socket, request, *cached);
    co_return;
  }
  auto read = lookup_ ? lookup_(request.id) : std::function<QImage()>();
  if (!read) {
    refuse(socket, 404);
    co_return;
  }
  const QPointer<ArtworkResponder> self(this);
  const QPointer<QTcpSocket> peer(socket);
  QByteArray jpeg = co_await QtConcurrent::run(&workers_, &scaledJPEG, std::move(read), request.width, request.height);
  if (!self || !peer) co_return;
  if (jpeg.isEmpty()) {
    qCWarning(lcNet).noquote() << "The cover art" << QString::fromStdString(request.id) << "could not be read.";
    refuse(socket, 404);
    co_return;
  }
  auto picture = std::make_unique<Picture>();
  picture->etag = '"' + QCryptographicHash::hash(jpeg, QCryptographicHash::Sha1).toHex().left(20) + '"';
  picture->jpeg = std::move(jpeg);
  send(socket, request, *picture);
  const auto cost = picture->jpeg.size();
  cache_.insert(key, picture.release(), cost);
}

void ArtworkResponder::send(QTcpSocket* socket, const ArtworkRequest& request, const Picture& picture) {
  if (socket->state() != QAbstractSocket::ConnectedState) {  // the client left while its picture was made
    closeAfterWriting(socket);
    return;
  }
  const bool unchanged = request.ifNoneMatch && QByteArray::fromStdString(*request.ifNoneMatch) == picture.etag;
  QByteArray head = statusLine(unchanged ? 304 : 200);
  head += "Content-Type: image/jpeg\r\nCache-Control: public, max-age=86400\r\nETag: " + picture.etag + "\r\n";
  head += "Content-Length: " + QByteArray::number(unchanged ? 0 : picture.jpeg.size()) + "\r\n";
  head += "Connection: close\r\n\r\n";
  socket->write(head);
  if (!unchanged && !request.headOnly) socket->write(picture.jpeg);
  closeAfterWriting(socket);
}

}  // namespace kovali
