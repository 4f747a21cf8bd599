#include "churn_phones.h"

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include "support/bench_figures.h"

namespace kovali {
namespace {

using vinaro::Command;

constexpr int kJoinTimeoutMs = 10'000;
constexpr int kProbeEveryMs = 200;

/// A guest that keeps coming and going, a new device each time.
class ChurningPhone {
 public:
  ChurningPhone(int index, const QUrl& url, std::mt19937& random, std::vector<double>& joinTimes, int& timeouts)
      : index_(index), url_(url), random_(random), joinTimes_(joinTimes), timeouts_(timeouts) {
    QObject::connect(&socket_, &QWebSocket::connected, &socket_, [this] { sayHello(); });
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, &socket_,
                     [this](const QString& text) { heard(text); });
    QObject::connect(&socket_, &QWebSocket::disconnected, &socket_, [this] { comeBackSoon(); });
    timer_.setSingleShot(true);
  }
  // The socket's end would otherwise still report a departure to the phone that is going.
  ~ChurningPhone() { socket_.disconnect(); }
  ChurningPhone(const ChurningPhone&) = delete;
  ChurningPhone& operator=(const ChurningPhone&) = delete;

  void join() {
    welcomed_ = false;
    joinStarted_ = BenchClock::now();
    socket_.open(url_);
    // A join that takes too long counts as timed out; the phone gives up and tries again.
    later(kJoinTimeoutMs, [this] {
      ++timeouts_;
      socket_.abort();
    });
  }

 private:
  void sayHello() {
    const std::string device = "churn-" + std::to_string(index_) + "-" + std::to_string(++cycle_);
    socket_.sendTextMessage(commandText(
        "hello", Command{Command::Hello{"Guest " + std::to_string(index_), device, vinaro::ProtocolVersion::current}}));
  }

  void heard(const QString& text) {
    // A welcome's payload starts with its first key, "participantID", right after the envelope's id.
    if (welcomed_ || !QStringView(text).left(100).contains(u"\"participantID\"")) return;
    welcomed_ = true;
    joinTimes_.push_back(milliseconds(BenchClock::now() - joinStarted_));
    socket_.sendTextMessage(commandText("badge", Command{Command::SetBadge{"gold"}}));
    later(std::uniform_int_distribution<int>(5'000, 27'000)(random_), [this] { socket_.close(); });
  }

  void comeBackSoon() {
    later(std::uniform_int_distribution<int>(0, 1'000)(random_), [this] { join(); });
  }

  void later(int ms, std::function<void()> step) {
    QObject::disconnect(&timer_, nullptr, nullptr, nullptr);
    QObject::connect(&timer_, &QTimer::timeout, &socket_, std::move(step));
    timer_.start(ms);
  }

  int index_;
  QUrl url_;
  std::mt19937& random_;
  std::vector<double>& joinTimes_;
  int& timeouts_;
  QWebSocket socket_;
  QTimer timer_;
  BenchClock::time_point joinStarted_;
  int cycle_ = 0;
  bool welcomed_ = false;
};

/// Asks the host something it answers at once without changing the party, and times the answer.
class Probe {
 public:
  explicit Probe(const QUrl& url) {
    QObject::connect(&socket_, &QWebSocket::connected, &socket_, [this] {
      socket_.sendTextMessage(commandText("hello", Command{Command::Hello{"Probe", "churn-probe", 1}}));
    });
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, &socket_,
                     [this](const QString& text) { heard(text); });
    QObject::connect(&ticker_, &QTimer::timeout, &socket_, [this] { ask(); });
    socket_.open(url);
    ticker_.start(kProbeEveryMs);
  }

  std::vector<double> times;
  int unanswered() const { return static_cast<int>(asked_.size()); }

 private:
  void ask() {
    if (socket_.state() != QAbstractSocket::ConnectedState) return;
    const std::string id = "probe-" + std::to_string(++count_);
    asked_.emplace(id, BenchClock::now());
    // A guest may not delete playlists: refused at once, nothing changes.
    socket_.sendTextMessage(commandText(id, Command{Command::DeletePlaylist{"none"}}));
  }

  void heard(const QString& text) {
    const auto replyAt = text.indexOf(QLatin1String("\"replyTo\":\"probe-"));
    if (replyAt < 0) return;
    const auto idStart = replyAt + 11;
    const std::string id = text.mid(idStart, text.indexOf(QLatin1Char('"'), idStart) - idStart).toStdString();
    if (const auto found = asked_.find(id); found != asked_.end()) {
      times.push_back(milliseconds(BenchClock::now() - found->second));
      asked_.erase(found);
    }
  }

  QWebSocket socket_;
  QTimer ticker_;
  std::map<std::string, BenchClock::time_point> asked_;
  int count_ = 0;
};

}  // namespace

int runChurningPhones(const ChurnOptions& options) {
  const QUrl url(QStringLiteral("ws://127.0.0.1:%1/").arg(options.hostPort));
  std::mt19937 random(20);  // the same crowd every run
  std::vector<double> joinTimes;
  int timeouts = 0;
  Probe probe(url);
  std::vector<std::unique_ptr<ChurningPhone>> phones;
  for (int i = 0; i < options.phones; ++i) {
    phones.push_back(std::make_unique<ChurningPhone>(i, url, random, joinTimes, timeouts));
    phones.back()->join();
  }
  QTimer end;
  end.setSingleShot(true);
  QObject::connect(&end, &QTimer::timeout, QCoreApplication::instance(), &QCoreApplication::quit);
  end.start(options.seconds * 1000);
  QCoreApplication::exec();

  if (probe.times.empty() || joinTimes.empty()) {
    std::fprintf(stderr, "churn_bench: no probe or join was answered\n");
    return 1;
  }
  std::printf("%7zu %8.1f %9.0fms %9.0fms %9d %9.1fms %9.1fms %11d\n", joinTimes.size(),
              static_cast<double>(joinTimes.size()) / options.seconds, percentile(joinTimes, 0.5),
              percentile(joinTimes, 0.99), timeouts, percentile(probe.times, 0.5), percentile(probe.times, 0.99),
              probe.unanswered());
  std::fflush(stdout);
  return 0;
}

}  // namespace kovali
