// Round trips through the guest server with N phones on loopback, and what each connection costs.
//
// The phones run in a child process (this binary with --guests), so that the memory measured
// here is the server's alone. Each benchmark iteration is one round: every phone sends one
// search command, the server answers each with search results, and the round ends when the
// child has every answer; one byte over a pipe starts and ends each round. The memory is the
// server's heap growth from before the phones connect to after their first round, per phone.

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QUrl>
#include <QWebSocket>
#include <benchmark/benchmark.h>

#include "platform/bonjour/service_advertiser.h"
#include "platform/runtime/qt_scheduler.h"
#include "protocol/message_codec.h"
#include "server/host_server.h"
#include "support/loopback_advertiser.h"

namespace kovali {
namespace {

using vinaro::Command;
using vinaro::Event;

// The pipe protocol between the benchmark and its phones.
constexpr char connectPhones = 'c';
constexpr char phonesReady = 'r';
constexpr char startRound = 'g';
constexpr char roundDone = 'd';

Event searchResults() {
  Event::SearchResults results;
  for (int i = 0; i < 5; ++i) {
    const auto n = std::to_string(i);
    results.tracks.push_back(vinaro::Track{"cat-" + n, "Song " + n, "Artist " + n, "Album " + n, 215.5,
                                           "https://art.example/" + n + "/{w}x{h}.jpg", false});
  }
  return {results};
}

/// Bytes of the heap in use. (The resident set hardly moves: freed pages are reused.)
double heapInUse() { return static_cast<double>(mallinfo2().uordblks); }

/// Runs the event loop until the child's next byte arrives; answers it, or 0 when the child is gone.
char awaitByte(QProcess& phones) {
  while (phones.bytesAvailable() == 0) {
    if (phones.state() == QProcess::NotRunning) return 0;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  char byte = 0;
  phones.getChar(&byte);
  return byte;
}

void GuestServerRoundTrips(benchmark::State& state) {
  const auto guests = static_cast<int>(state.range(0));
  QtScheduler scheduler;
  HostServer server(scheduler, std::make_unique<LoopbackAdvertiser>(), QHostAddress(QHostAddress::LocalHost));
  const Event reply = searchResults();
  QObject::connect(&server, &HostServer::messageReceived,
                   [&](ConnectionID id, const vinaro::Envelope<Command>& envelope) {
                     server.send(reply, id, envelope.id);
                   });
  server.start();
  while (!std::holds_alternative<HostServer::Status::Ready>(server.status().value)) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  const auto port = std::get<HostServer::Status::Ready>(server.status().value).port;

  QProcess phones;
  phones.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  phones.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--guests"), QString::number(port), QString::number(guests)});
  if (!phones.waitForStarted()) {
    state.SkipWithError("the phones' process did not start");
    return;
  }

  const double heapBefore = heapInUse();
  phones.putChar(connectPhones);
  bool ready = awaitByte(phones) == phonesReady;
  // One round first, so that every connection has its buffers when it is weighed.
  phones.putChar(startRound);
  ready = ready && awaitByte(phones) == roundDone && server.connectionCount() == guests;
  const double heapAfter = heapInUse();
  if (!ready) {
    state.SkipWithError("the phones did not all connect and answer");
    return;
  }

  for (auto _ : state) {
    phones.putChar(startRound);
    if (awaitByte(phones) != roundDone) {
      state.SkipWithError("the phones' process ended during a round");
      break;
    }
  }

  using benchmark::Counter;
  state.counters["round_trips_per_s"] = Counter(static_cast<double>(state.iterations()) * guests, Counter::kIsRate);
  state.counters["heap_B_per_conn"] = (heapAfter - heapBefore) / guests;
  phones.closeWriteChannel();
  phones.waitForFinished();
}
BENCHMARK(GuestServerRoundTrips)->Arg(1)->Arg(50)->Arg(200)->UseRealTime()->Unit(benchmark::kMicrosecond);

/// The phones' side: `count` WebSocket clients driven one byte at a time from standard input.
int runPhones(std::uint16_t port, int count) {
  int argc = 1;
  char name[] = "phones";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  const QString message = QString::fromStdString(vinaro::MessageCodec::encode(vinaro::Envelope<Command>{
      .id = "5C6D7E8F-9A0B-4C1D-8E2F-3A4B5C6D7E8F", .body = {Command::Search{"disco", 25, Command::SearchKind::songs}}}));
  std::vector<std::unique_ptr<QWebSocket>> sockets;
  int connected = 0;
  int answers = 0;
  const auto tell = [](char byte) { (void)!::write(STDOUT_FILENO, &byte, 1); };

  for (int i = 0; i < count; ++i) {
    auto socket = std::make_unique<QWebSocket>();
    QObject::connect(socket.get(), &QWebSocket::connected, [&] {
      if (++connected == count) tell(phonesReady);
    });
    QObject::connect(socket.get(), &QWebSocket::textMessageReceived, [&] {
      if (++answers == count) tell(roundDone);
    });
    QObject::connect(socket.get(), &QWebSocket::disconnected, &app, &QCoreApplication::quit);
    sockets.push_back(std::move(socket));
  }

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char byte = 0;
    if (::read(STDIN_FILENO, &byte, 1) != 1) return app.quit();
    if (byte == connectPhones) {
      for (auto& socket : sockets) socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    } else if (byte == startRound) {
      answers = 0;
      for (auto& socket : sockets) socket->sendTextMessage(message);
    }
  });
  return app.exec();
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--guests") == 0) {
    return kovali::runPhones(static_cast<std::uint16_t>(std::stoi(argv[2])), std::stoi(argv[3]));
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  QCoreApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
