#include "broadcast_phones.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include "protocol/uuid.h"
#include "session/participants/command_rate.h"
#include "support/bench_figures.h"

namespace kovali {
namespace {

using Clock = BenchClock;
using vinaro::Command;

constexpr auto kGiveUpAfter = std::chrono::minutes(2);
constexpr auto kQuietFor = std::chrono::milliseconds(300);
// The DJ changes the party no faster than the host lets one phone change it.
constexpr auto kBetweenChanges = std::chrono::duration<double>(1.1 / CommandRate::perSecond);

class Phones {
 public:
  explicit Phones(const PhonesOptions& options) : options_(options) {
    // Wakes the loop now and then, so that a wait can notice it has waited too long.
    ticker_.start(20);
  }

  int run() {
    if (!joinStorm() || !makeDJ() || !prepareBare() || !joinBare()) {
      std::fprintf(stderr, "broadcast_bench: the phones did not all join\n");
      return 1;
    }
    std::vector<double> hostTimes;
    std::vector<double> bareTimes;
    auto nextChange = Clock::now();
    for (int round = 0; round < options_.rounds; ++round) {
      (void)waitUntil([&] { return Clock::now() >= nextChange; });
      nextChange = Clock::now() + std::chrono::duration_cast<Clock::duration>(kBetweenChanges);
      const auto host = hostRound(round % 2 == 0 ? vinaro::PartyMode::suggestion : vinaro::PartyMode::collaboration);
      const auto floor = bareRound();
      if (!host || !floor) {
        std::fprintf(stderr, "broadcast_bench: a round did not finish\n");
        return 1;
      }
      hostTimes.push_back(*host);
      bareTimes.push_back(*floor);
    }
    const double hostP99 = percentile(hostTimes, 0.99);
    const double bareP99 = percentile(bareTimes, 0.99);
    std::printf("%6d %7.2fms %7.2fms %7.2fms %7.2fms %8.2fx %7.1fKB %9.0fms %9.0fms %10.2fx\n", options_.count,
                percentile(hostTimes, 0.5), hostP99, percentile(bareTimes, 0.5), bareP99, hostP99 / bareP99,
                static_cast<double>(messageBytes_) / 1000, stormMs_, bareStormMs_, stormMs_ / bareStormMs_);
    std::fflush(stdout);
    return 0;
  }

 private:
  enum class Phase { joining, round, idle };

  /// Every host phone connects at once and says hello; done when every one has its welcome.
  bool joinStorm() {
    phase_ = Phase::joining;
    pending_ = options_.count;
    const auto start = Clock::now();
    for (int i = 0; i < options_.count; ++i) {
      auto& socket = host_.emplace_back(std::make_unique<QWebSocket>());
      // Phones name themselves by a UUID, as real ones do.
      const QString hello = commandText("hello-" + std::to_string(i),
                                        Command{Command::Hello{"Guest " + std::to_string(i), vinaro::makeUUIDString(),
                                                               vinaro::ProtocolVersion::current}});
      QObject::connect(socket.get(), &QWebSocket::connected, socket.get(),
                       [socket = socket.get(), hello] { socket->sendTextMessage(hello); });
      QObject::connect(socket.get(), &QWebSocket::textMessageReceived, socket.get(),
                       [this](const QString& text) { heardOnHost(text); });
      socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(options_.hostPort)));
    }
    if (!waitUntil([&] { return pending_ == 0; })) return false;
    stormMs_ = milliseconds(last_ - start);
    phase_ = Phase::idle;
    settle();
    return true;
  }

  bool makeDJ() {
    host_.front()->sendTextMessage(commandText("pin", Command{Command::AuthenticateDJ{benchPIN}}));
    settle();
    return true;
  }

  /// A phone of its own has the bare server prepare its texts from the party as it is now.
  bool prepareBare() {
    QObject::connect(&bareControl_, &QWebSocket::connected, &bareControl_,
                     [this] { bareControl_.sendTextMessage(QString::fromLatin1(syncWord)); });
    QObject::connect(&bareControl_, &QWebSocket::textMessageReceived, &bareControl_, [this](const QString& text) {
      if (text == QLatin1String(syncWord)) barePrepared_ = true;
    });
    bareControl_.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(options_.barePort)));
    return waitUntil([&] { return barePrepared_; });
  }

  /// The bare phones storm the bare server as the host's did the host.
  bool joinBare() {
    phase_ = Phase::joining;
    pending_ = options_.count;
    const auto start = Clock::now();
    for (int i = 0; i < options_.count; ++i) {
      auto& socket = bare_.emplace_back(std::make_unique<QWebSocket>());
      const QString hello = commandText("hello", Command{Command::Hello{"Guest " + std::to_string(i),
                                                                        vinaro::makeUUIDString(),
                                                                        vinaro::ProtocolVersion::current}});
      QObject::connect(socket.get(), &QWebSocket::connected, socket.get(),
                       [socket = socket.get(), hello] { socket->sendTextMessage(hello); });
      QObject::connect(socket.get(), &QWebSocket::textMessageReceived, socket.get(),
                       [this](const QString& text) { heardOnBare(text); });
      socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(options_.barePort)));
    }
    if (!waitUntil([&] { return pending_ == 0; })) return false;
    bareStormMs_ = milliseconds(last_ - start);
    phase_ = Phase::idle;
    return true;
  }

  std::optional<double> hostRound(vinaro::PartyMode mode) {
    return timedRound([&] { host_.front()->sendTextMessage(commandText("mode", Command{Command::SetMode{mode}})); });
  }

  std::optional<double> bareRound() {
    return timedRound([&] { bare_.back()->sendTextMessage(QStringLiteral("go")); });
  }

  /// Every phone of one server hears exactly one message per round.
  std::optional<double> timedRound(const std::function<void()>& trigger) {
    phase_ = Phase::round;
    pending_ = options_.count;
    const auto start = Clock::now();
    trigger();
    const bool done = waitUntil([&] { return pending_ == 0 || refused_; });
    phase_ = Phase::idle;
    if (!done || refused_) return std::nullopt;
    return milliseconds(last_ - start);
  }

  void heardOnHost(const QString& text) {
    lastHeard_ = Clock::now();
    if (phase_ == Phase::round && QStringView(text).endsWith(u"\"type\":\"error\",\"v\":1}")) {
      std::fprintf(stderr, "broadcast_bench: the host refused the change: %s\n", qPrintable(text.left(300)));
      refused_ = true;
      return;
    }
    // Only states end a round: the DJ's phone also hears of the host's sound now and then.
    if (phase_ == Phase::round && QStringView(text).endsWith(u"\"type\":\"state\",\"v\":1}")) {
      messageBytes_ = std::max(messageBytes_, static_cast<std::size_t>(text.size()));
      return heard();
    }
    if (phase_ == Phase::joining && isWelcome(text)) heard();
  }

  void heardOnBare(const QString& text) {
    if (phase_ == Phase::round || (phase_ == Phase::joining && isWelcome(text))) heard();
  }

  /// A welcome's payload starts with its first key, "participantID", right after the envelope's id.
  static bool isWelcome(const QString& text) { return QStringView(text).left(100).contains(u"\"participantID\""); }

  void heard() {
    if (--pending_ == 0) last_ = Clock::now();
  }

  bool waitUntil(const std::function<bool()>& done) {
    const auto giveUp = Clock::now() + kGiveUpAfter;
    while (!done()) {
      if (Clock::now() > giveUp) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

  /// Lets the messages that are still on their way arrive.
  void settle() {
    lastHeard_ = Clock::now();
    (void)waitUntil([&] { return Clock::now() - lastHeard_ > kQuietFor; });
  }

  PhonesOptions options_;
  QTimer ticker_;
  std::vector<std::unique_ptr<QWebSocket>> host_;
  std::vector<std::unique_ptr<QWebSocket>> bare_;
  QWebSocket bareControl_;
  Phase phase_ = Phase::idle;
  int pending_ = 0;
  bool barePrepared_ = false;
  bool refused_ = false;
  Clock::time_point last_;
  Clock::time_point lastHeard_;
  std::size_t messageBytes_ = 0;
  double stormMs_ = 0;
  double bareStormMs_ = 0;
};

}  // namespace

int runPhones(const PhonesOptions& options) { return Phones(options).run(); }

}  // namespace kovali
