#include "churn_phones.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "broadcast/loopback_phone.h"
#include "support/bench_figures.h"

namespace kovali {
namespace {

using vinaro::Command;

constexpr int kJoinTimeoutMs = 10'000;
constexpr int kProbeEveryMs = 200;
// The phones come from 127.0.1.x, 127.0.2.x and on, the probe from the address after theirs.
constexpr int kGroup = 1;

/// The revision a state names: its own key comes after the queue's and the requests', where no
/// other key of that name stands.
std::optional<std::int64_t> revisionOf(const QByteArray& text) {
  static const QByteArray key = R"("revision":)";
  if (!text.endsWith(R"("type":"state","v":1})")) return std::nullopt;
  const auto start = text.lastIndexOf(key);
  if (start < 0) return std::nullopt;
  const auto valueStart = start + key.size();
  qsizetype end = valueStart;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return text.mid(valueStart, end - valueStart).toLongLong();
}

/// A guest that keeps coming and going, a new device each time, from its own address.
class ChurningPhone {
 public:
  ChurningPhone(int index, std::uint16_t port, std::mt19937& random, std::vector<double>& joinTimes, int& timeouts)
      : index_(index), port_(port), random_(random), joinTimes_(joinTimes), timeouts_(timeouts) {
    timer_.setSingleShot(true);
  }

  void join() {
    welcomed_ = false;
    joinStarted_ = BenchClock::now();
    const std::string device = "churn-" + std::to_string(index_) + "-" + std::to_string(++cycle_);
    socket_ = std::make_unique<LoopbackPhone>(LoopbackPhone::address(kGroup, index_),
                                              [this](const QByteArray& text) { heard(text); });
    socket_->open(port_, commandText("hello", Command{Command::Hello{"Guest " + std::to_string(index_), device,
                                                                      vinaro::ProtocolVersion::current}})
                             .toUtf8());
    // A join that takes too long counts as timed out; the phone gives up and tries again.
    later(kJoinTimeoutMs, [this] {
      ++timeouts_;
      leave();
    });
  }

 private:
  void heard(const QByteArray& text) {
    // A welcome's payload starts with its first key, "participantID", right after the envelope's id.
    if (welcomed_ || !text.left(100).contains(R"("participantID")")) return;
    welcomed_ = true;
    joinTimes_.push_back(milliseconds(BenchClock::now() - joinStarted_));
    socket_->sendText(commandText("badge", Command{Command::SetBadge{"gold"}}).toUtf8());
    later(std::uniform_int_distribution<int>(5'000, 27'000)(random_), [this] { leave(); });
  }

  void leave() {
    socket_->close();
    later(std::uniform_int_distribution<int>(0, 1'000)(random_), [this] { join(); });
  }

  void later(int ms, std::function<void()> step) {
    QObject::disconnect(&timer_, nullptr, nullptr, nullptr);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(step));
    timer_.start(ms);
  }

  int index_;
  std::uint16_t port_;
  std::mt19937& random_;
  std::vector<double>& joinTimes_;
  int& timeouts_;
  std::unique_ptr<LoopbackPhone> socket_;
  QTimer timer_;
  BenchClock::time_point joinStarted_;
  int cycle_ = 0;
  bool welcomed_ = false;
};

/// Asks the host something it answers at once without changing the party, and times the answer;
/// counts the changes the party's states show meanwhile.
class Probe {
 public:
  Probe(std::uint16_t port, int index)
      : socket_(LoopbackPhone::address(kGroup, index), [this](const QByteArray& text) { heard(text); }) {
    socket_.open(port, commandText("hello", Command{Command::Hello{"Probe", "churn-probe", 1}}).toUtf8());
    QObject::connect(&ticker_, &QTimer::timeout, &ticker_, [this] { ask(); });
    ticker_.start(kProbeEveryMs);
  }

  std::vector<double> times;
  int unanswered() const { return static_cast<int>(asked_.size()); }
  std::int64_t changes() const { return firstRevision_ ? lastRevision_ - *firstRevision_ : 0; }

 private:
  void ask() {
    if (!socket_.isOpen()) return;
    const std::string id = "probe-" + std::to_string(++count_);
    asked_.emplace(id, BenchClock::now());
    // A guest may not delete playlists: refused at once, nothing changes.
    socket_.sendText(commandText(id, Command{Command::DeletePlaylist{"none"}}).toUtf8());
  }

  void heard(const QByteArray& text) {
    if (const auto revision = revisionOf(text)) {
      if (!firstRevision_) firstRevision_ = revision;
      lastRevision_ = *revision;
      return;
    }
    const auto replyAt = text.indexOf(R"("replyTo":"probe-)");
    if (replyAt < 0) return;
    const auto idStart = replyAt + 11;
    const std::string id = text.mid(idStart, text.indexOf('"', idStart) - idStart).toStdString();
    if (const auto found = asked_.find(id); found != asked_.end()) {
      times.push_back(milliseconds(BenchClock::now() - found->second));
      asked_.erase(found);
    }
  }

  LoopbackPhone socket_;
  QTimer ticker_;
  std::map<std::string, BenchClock::time_point> asked_;
  std::optional<std::int64_t> firstRevision_;
  std::int64_t lastRevision_ = 0;
  int count_ = 0;
};

}  // namespace

int runChurningPhones(const ChurnOptions& options) {
  std::mt19937 random(20);  // the same crowd every run
  std::vector<double> joinTimes;
  int timeouts = 0;
  Probe probe(options.hostPort, options.phones);
  std::vector<std::unique_ptr<ChurningPhone>> phones;
  for (int i = 0; i < options.phones; ++i) {
    phones.push_back(std::make_unique<ChurningPhone>(i, options.hostPort, random, joinTimes, timeouts));
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
  std::printf("%7zu %8.1f %9.0fms %9.0fms %9d %9.1fms %9.1fms %11d %9.1f\n", joinTimes.size(),
              static_cast<double>(joinTimes.size()) / options.seconds, percentile(joinTimes, 0.5),
              percentile(joinTimes, 0.99), timeouts, percentile(probe.times, 0.5), percentile(probe.times, 0.99),
              probe.unanswered(), static_cast<double>(probe.changes()) / options.seconds);
  std::fflush(stdout);
  return 0;
}

}  // namespace kovali
