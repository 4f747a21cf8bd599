#include "audio/stream/stream_listener.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "audio/stream/stream_connection.h"
#include "platform/runtime/listening_socket.h"
#include "platform/runtime/logging.h"

namespace kovali {

namespace {

constexpr std::chrono::seconds acceptRetry{1};

}  // namespace

StreamListener::StreamListener(std::shared_ptr<const HLSStream> stream, std::chrono::milliseconds idleTimeout)
    : stream_(std::move(stream)), idleTimeout_(idleTimeout) {}

void StreamListener::listen() {
  close();
  reported_ = false;
  acceptFailing_ = false;
  auto* server = new QTcpServer(this);
  if (!server->listen(QHostAddress(QHostAddress::LocalHost), 0)) {
    const auto error = server->errorString();
    qCWarning(lcMultiroom).noquote() << "The stream server could not listen:" << error;
    delete server;
    report(false, 0, error);
    return;
  }
  serve(server);
  qCDebug(lcMultiroom) << "Stream server listening on port" << server->serverPort();
  report(true, server->serverPort(), {});
}

void StreamListener::serve(QTcpServer* server) {
  server_ = server;
  connect(server, &QTcpServer::newConnection, this, &StreamListener::accept);
  connect(server, &QTcpServer::acceptError, this, [this, server] { acceptFailed(server); });
}

void StreamListener::close() {
  if (!server_) return;
  server_->close();
  server_->deleteLater();  // this may run inside one of its own signals
  server_ = nullptr;
}

void StreamListener::accept() {
  if (!server_) return;
  acceptFailing_ = false;
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    new StreamConnection(socket, stream_, idleTimeout_, this);
  }
}

void StreamListener::acceptFailed(QTcpServer* server) {
  // Out of descriptors (or memory) clears once connections close; listening on keeps the port
  // the players were given.
  server->pauseAccepting();
  if (server != server_) return;
  if (!acceptFailing_) {
    qCWarning(lcMultiroom).noquote() << "The stream server cannot accept connections for now:" << server->errorString()
                                     << "- it tries again every second";
  }
  acceptFailing_ = true;
  QTimer::singleShot(acceptRetry, server, [this, server] { listenAgain(server); });
}

void StreamListener::listenAgain(QTcpServer* server) {
  if (server != server_) return;
  QTcpServer* fresh = takeOverListeningSocket(*server, this);
  if (!fresh) {
    QTimer::singleShot(acceptRetry, server, [this, server] { listenAgain(server); });
    return;
  }
  close();
  serve(fresh);
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
