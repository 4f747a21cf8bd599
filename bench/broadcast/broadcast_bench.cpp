// How long a change takes to reach every phone, beside the floor a bare QtWebSockets server sets.
//
// The host side (this process) runs the session store with its guest server, and next to it a bare
// QWebSocketServer that sends one prepared message, a state envelope of the same party and so the
// same size, to every phone it has. The phones run in a child process (this binary with --phones),
// N on each server. A host round starts when the DJ's phone sends a mode change and ends when every
// phone on the host has its new state; a bare round starts when a phone sends a word and ends when
// every phone on the bare server has the message. Rounds alternate, so both meet the same machine.
// The join storm is N phones that connect at once and say hello, until every one has its welcome.
//
// Usage: broadcast_bench [rounds]   (default 200 rounds for each of N = 50 and 200)

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QWebSocket>
#include <QWebSocketServer>

#include "broadcast_phones.h"
#include "protocol/message_codec.h"
#include "protocol/uuid.h"
#include "session/store/session_store.h"
#include "support/bench_host.h"

namespace kovali {
namespace {

/// The floor: sends one prepared text to every phone when any phone speaks. The word "sync"
/// prepares the text anew from the party as it stands and answers only its sender.
class BareServer {
 public:
  explicit BareServer(const SessionStore& store) : store_(store) {
    server_.listen(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&server_, &QWebSocketServer::newConnection, [this] {
      while (QWebSocket* socket = server_.nextPendingConnection()) {
        sockets_.push_back(socket);
        QObject::connect(socket, &QWebSocket::textMessageReceived, [this, socket](const QString& word) {
          if (word == QLatin1String(syncWord)) {
            prepare();
            socket->sendTextMessage(QString::fromLatin1(syncWord));
          } else {
            for (QWebSocket* phone : sockets_) phone->sendTextMessage(message_);
          }
        });
        QObject::connect(socket, &QWebSocket::disconnected, [this, socket] {
          std::erase(sockets_, socket);
          socket->deleteLater();
        });
      }
    });
  }

  std::uint16_t port() const { return server_.serverPort(); }

 private:
  void prepare() {
    const vinaro::Envelope<vinaro::Event> envelope{.id = vinaro::makeUUIDString(), .body = {store_.state()}};
    message_ = QString::fromStdString(vinaro::MessageCodec::encode(envelope));
  }

  const SessionStore& store_;
  QWebSocketServer server_{QStringLiteral("bare"), QWebSocketServer::NonSecureMode};
  std::vector<QWebSocket*> sockets_;
  QString message_;
};

int runHost(int rounds) {
  QLoggingCategory::setFilterRules(QStringLiteral("kovaliapp.*.info=false"));
  BenchHost host({QStringLiteral("broadcast_bench"), QStringLiteral("-djPIN"), QString::fromLatin1(benchPIN)},
                 std::nullopt);
  const auto hostPort = host.start();
  BareServer bare(host.store);

  std::printf("%6s %9s %9s %9s %9s %9s %9s %12s\n", "phones", "host p50", "host p99", "bare p50", "bare p99",
              "p99 ratio", "message", "join storm");
  std::fflush(stdout);
  for (const int phones : {50, 200}) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--phones"), QString::number(hostPort), QString::number(bare.port()),
                 QString::number(phones), QString::number(rounds)});
    if (!child.waitForStarted()) return 1;
    while (child.state() != QProcess::NotRunning) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (child.exitCode() != 0) return 1;
    // The phones' departures are the store's to take in before the next party.
    while (!host.store.participants().empty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return 0;
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 6 && std::strcmp(argv[1], "--phones") == 0) {
    return kovali::runPhones({.hostPort = static_cast<std::uint16_t>(std::stoi(argv[2])),
                              .barePort = static_cast<std::uint16_t>(std::stoi(argv[3])),
                              .count = std::stoi(argv[4]),
                              .rounds = std::stoi(argv[5])});
  }
  return kovali::runHost(argc > 1 ? std::stoi(argv[1]) : 200);
}
