#include "broadcast_floor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include "server/host_server.h"

namespace kovali {

namespace {

class BareServer {
 public:
  BareServer() {
    // The same listen queue as the host's, so both meet their phones alike.
    port_.setListenBacklogSize(HostServer::listenBacklog);
    port_.listen(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&port_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = port_.nextPendingConnection()) server_.handleConnection(socket);
    });
    QObject::connect(&server_, &QWebSocketServer::newConnection, [this] {
      while (QWebSocket* socket = server_.nextPendingConnection()) take(socket);
    });
  }

  std::uint16_t port() const { return port_.serverPort(); }

 private:
  void take(QWebSocket* socket) {
    socket->setMaxAllowedIncomingMessageSize(std::uint64_t{64} << 20);
    socket->setMaxAllowedIncomingFrameSize(std::uint64_t{64} << 20);
    phones_.push_back(socket);
    QObject::connect(socket, &QWebSocket::textMessageReceived, [this, socket](const QString& text) {
      if (text.startsWith(QLatin1String(floorPrepareWord))) {
        // The control connection is no phone of the round.
        std::erase(phones_, socket);
        message_ = text.mid(static_cast<qsizetype>(std::strlen(floorPrepareWord)));
        socket->sendTextMessage(QString::fromLatin1(floorPrepareWord));
      } else if (text.startsWith(QLatin1String(floorWelcomeWord))) {
        std::erase(phones_, socket);
        keepWelcome(QStringView(text).mid(static_cast<qsizetype>(std::strlen(floorWelcomeWord))));
      } else if (text.startsWith(QLatin1String(floorHelloWord))) {
        const auto index = QStringView(text).mid(static_cast<qsizetype>(std::strlen(floorHelloWord))).toUInt();
        if (index < welcomes_.size()) socket->sendTextMessage(welcomes_[index]);
      } else if (text == QLatin1String(floorGoWord)) {
        for (QWebSocket* phone : phones_) phone->sendTextMessage(message_);
      }
    });
    QObject::connect(socket, &QWebSocket::disconnected, [this, socket] {
      std::erase(phones_, socket);
      socket->deleteLater();
    });
  }

  /// `number:welcome`, kept for the phone of that number.
  void keepWelcome(QStringView numbered) {
    const auto colon = numbered.indexOf(u':');
    const auto index = numbered.left(colon).toUInt();
    if (colon < 0 || index >= maxStormPhones) return;
    if (welcomes_.size() <= index) welcomes_.resize(index + 1);
    welcomes_[index] = numbered.mid(colon + 1).toString();
  }

  static constexpr unsigned maxStormPhones = 100000;

  QTcpServer port_;
  QWebSocketServer server_{QStringLiteral("floor"), QWebSocketServer::NonSecureMode};
  std::vector<QWebSocket*> phones_;
  QString message_;
  std::vector<QString> welcomes_;
};

}  // namespace

int runFloor() {
  BareServer server;
  if (server.port() == 0) return 1;
  std::printf("port %u\n", server.port());
  std::fflush(stdout);
  QTimer::singleShot(std::chrono::hours(1), qApp, &QCoreApplication::quit);
  return QCoreApplication::exec();
}

}  // namespace kovali
