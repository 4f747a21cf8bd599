// How long a change takes to reach every phone, beside the floor a bare QtWebSockets server sets.
//
// The host side (this process) runs the session store with its guest server, and next to it a bare
// QWebSocketServer that sends one prepared message, a state envelope of the same party and so the
// same size, to every phone it has. The phones run in a child process (this binary with --phones),
// N on each server. A host round starts when the DJ's phone sends a mode change and ends when every
// phone on the host has its new state; a bare round starts when a phone sends a word and ends when
// every phone on the bare server has the message; only states count, so the DJ's sound updates
// do not end a round early. Rounds alternate, so both meet the same machine. The host saves into
// a session file on a disk folder, as the app does.
// The join storm is N phones that connect at once and say hello, until every one has its welcome;
// its floor is the bare server answering each hello with a prepared welcome of the size the
// host's welcome had at that point of the storm.
//
// Usage: broadcast_bench [rounds]   (default 200 rounds for each of N = 200 and 1,000)

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QWebSocketServer>

#include "broadcast_phones.h"
#include "protocol/message_codec.h"
#include "protocol/uuid.h"
#include "session/store/session_store.h"
#include "support/bench_figures.h"
#include "support/bench_host.h"

namespace kovali {
namespace {

/// The floor: sends one prepared text to every phone when any phone speaks, and answers a hello
/// with a prepared welcome. The word "sync" prepares the texts anew from the party as it stands
/// and answers only its sender.
class BareServer {
 public:
  explicit BareServer(const SessionStore& store) : store_(store) {
    // The same listen queue as the host's, so neither storm waits on repeated connection attempts.
    port_.setListenBacklogSize(HostServer::listenBacklog);
    port_.listen(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&port_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = port_.nextPendingConnection()) server_.handleConnection(socket);
    });
    QObject::connect(&server_, &QWebSocketServer::newConnection, [this] {
      while (QWebSocket* socket = server_.nextPendingConnection()) {
        sockets_.push_back(socket);
        QObject::connect(socket, &QWebSocket::textMessageReceived, [this, socket](const QString& word) {
          if (word == QLatin1String(syncWord)) {
            prepare();
            socket->sendTextMessage(QString::fromLatin1(syncWord));
          } else if (word.contains(QLatin1String(R"("type":"hello")"))) {
            socket->sendTextMessage(welcomes_.at(std::min(welcomed_++, welcomes_.size() - 1)));
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

  std::uint16_t port() const { return port_.serverPort(); }

 private:
  void prepare() {
    const vinaro::Envelope<vinaro::Event> envelope{.id = vinaro::makeUUIDString(), .body = {store_.state()}};
    message_ = QString::fromStdString(vinaro::MessageCodec::encode(envelope));
    // The k-th welcome of a storm carries a party of k partygoers.
    welcomes_.clear();
    welcomed_ = 0;
    const auto& everyone = store_.state().partygoers.value_or(std::vector<vinaro::Participant>{});
    for (std::size_t count = 1; count <= std::max<std::size_t>(everyone.size(), 1); ++count) {
      vinaro::SessionState party = store_.state();
      if (!everyone.empty()) {
        party.partygoers = std::vector<vinaro::Participant>(everyone.begin(), everyone.begin() + count);
        party.participantCount = static_cast<std::int64_t>(count);
      }
      const vinaro::Participant guest = everyone.empty() ? vinaro::Participant{"guest", "Guest", vinaro::Role::guest}
                                                         : everyone[count - 1];
      const vinaro::Envelope<vinaro::Event> welcome{
          .id = vinaro::makeUUIDString(),
          .replyTo = "hello",
          .body = {vinaro::Event::Welcome{guest.id, vinaro::Role::guest, party.visible(guest)}}};
      welcomes_.push_back(QString::fromStdString(vinaro::MessageCodec::encode(welcome)));
    }
  }

  const SessionStore& store_;
  QTcpServer port_;
  QWebSocketServer server_{QStringLiteral("bare"), QWebSocketServer::NonSecureMode};
  std::vector<QWebSocket*> sockets_;
  QString message_;
  std::vector<QString> welcomes_;
  std::size_t welcomed_ = 0;
};

int runHost(int rounds) {
  QLoggingCategory::setFilterRules(QStringLiteral("kovaliapp.*.info=false"));
  // On the disk, where the app keeps it: not /tmp, which may be a RAM disk.
  QTemporaryDir folder(QDir::current().filePath(QStringLiteral("broadcast-bench-XXXXXX")));
  auto archive = SessionArchive::open(folder.path());
  if (!folder.isValid() || !archive) return 1;
  BenchHost host({QStringLiteral("broadcast_bench"), QStringLiteral("-djPIN"), QString::fromLatin1(benchPIN)},
                 std::move(archive).value());
  // Every phone here comes from 127.0.0.1; the per-address guard is measured by hostile_bench.
  host.server.setConnectionsPerAddress(4096);
  const auto hostPort = host.start();
  BareServer bare(host.store);

  std::printf("%6s %9s %9s %9s %9s %9s %9s %11s %11s %11s\n", "phones", "host p50", "host p99", "bare p50",
              "bare p99", "p99 ratio", "message", "host storm", "bare storm", "storm ratio");
  std::fflush(stdout);
  for (const int phones : {200, 1000}) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--phones"), QString::number(hostPort), QString::number(bare.port()),
                 QString::number(phones), QString::number(rounds)});
    if (!child.waitForStarted()) return 1;
    (void)runEventLoopUntil([&] { return child.state() == QProcess::NotRunning; }, std::chrono::minutes(30));
    if (child.state() != QProcess::NotRunning || child.exitCode() != 0) return 1;
    // The phones' departures are the store's to take in before the next party.
    if (!runEventLoopUntil([&] { return host.store.participants().empty(); }, std::chrono::minutes(1))) return 1;
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
