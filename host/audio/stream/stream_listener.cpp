#include "audio/stream/stream_listener.h"

#include <QTcpServer>
#include <QTcpSocket>

#include "audio/stream/stream_connection.h"
#include "platform/runtime/logging.h"

namespace kovali {

StreamListener::StreamListener(std::shared_ptr<const HLSStream> stream, std::chrono::milliseconds idleTimeout)
    : stream_(std::move(stream)), idleTimeout_(idleTimeout) {}

void StreamListener::listen() {
  close();
  reported_ = false;
  server_ = new QTcpServer(this);
  if (!server_->listen(QHostAddress(QHostAddress::LocalHost), 0)) {
    const auto error = server_->errorString();
    qCWarning(lcMultiroom).noquote() << "The stream server could not listen:" << error;
    close();
    report(false, 0, error);
    return;
  }
  QTcpServer* const server = server_;
  connect(server, &QTcpServer::newConnection, this, &StreamListener::accept);
  connect(server, &QTcpServer::acceptError, this, [this, server] {
    const auto error = server->errorString();
    qCWarning(lcMultiroom).noquote() << "The stream server stopped accepting:" << error;
    if (server == server_) close();
    report(false, 0, error);
  });
  qCDebug(lcMultiroom) << "Stream server listening on port" << server->serverPort();
  report(true, server->serverPort(), {});
}

void StreamListener::close() {
  if (!server_) return;
  server_->close();
  server_->deleteLater();  // this may run inside one of its own signals
  server_ = nullptr;
}

void StreamListener::accept() {
  if (!server_) return;
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    new StreamConnection(socket, stream_, idleTimeout_, this);
  }
}

void StreamListener::report(bool succeeded, quint16 port, const QString& error) {
  if (reported_) return;
  reported_ = true;
  if (succeeded) {
    emit ready(port);
  } else {
    emit failed(error);
  }
}

}  // namespace kovali
