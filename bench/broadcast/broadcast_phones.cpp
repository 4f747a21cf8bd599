#include "broadcast_phones.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "broadcast_floor.h"
#include "loopback_phone.h"
#include "protocol/uuid.h"
#include "session/participants/command_rate.h"
#include "support/bench_figures.h"

namespace kovali {
namespace {

using Clock = BenchClock;
using vinaro::Command;

constexpr auto kJoinLimit = std::chrono::minutes(2);
constexpr auto kRoundLimit = std::chrono::seconds(30);
constexpr auto kQuietFor = std::chrono::milliseconds(300);
// The DJ changes the party no faster than the host lets one phone change it.
constexpr auto kBetweenChanges = std::chrono::duration<double>(1.1 / CommandRate::perSecond);
// Loopback address groups: 127.0.1.x the host's phones, 127.0.3.x the floor's.
constexpr int kHostGroup = 1;
constexpr int kFloorGroup = 3;

bool isState(const QByteArray& text) { return text.endsWith(R"("type":"state","v":1})"); }
bool isError(const QByteArray& text) { return text.endsWith(R"("type":"error","v":1})"); }

/// The party's mode as a state names it. Keys are sorted, so the state's own "mode" comes
/// before the queue and the requests, where no other key of that name stands.
QByteArray modeOf(const QByteArray& state) {
  static const QByteArray key = R"("mode":")";
  const auto start = state.indexOf(key);
  if (start < 0) return {};
  const auto valueStart = start + key.size();
  return state.mid(valueStart, state.indexOf('"', valueStart) - valueStart);
}

QByteArray wire(vinaro::PartyMode mode) {
  return mode == vinaro::PartyMode::suggestion ? QByteArrayLiteral("suggestion") : QByteArrayLiteral("collaboration");
}

class Phones {
 public:
  explicit Phones(const PhonesOptions& options) : options_(options) {
    // Wakes the loop now and then, so that a wait notices it has waited too long.
    ticker_.start(20);
  }

  int run() {
    if (!joinHost() || !makeDJ()) return fail("the phones did not all join the host");
    // The first change shows which bytes the host sends a guest; the floor sends the same.
    if (!hostRound()) return fail("the first change did not reach every phone");
    if (!joinFloor() || !prepareFloor()) return fail("the phones did not all join the floor");
    // Unmeasured, as the host's first change is: the floor's first sends find its buffers cold.
    if (!floorRound()) return fail("the floor's first round did not reach every phone");
    std::vector<double> hostTimes;
    std::vector<double> floorTimes;
    auto nextChange = Clock::now();
    for (int round = 0; round < options_.rounds; ++round) {
      (void)waitUntil([&] { return Clock::now() >= nextChange; }, kRoundLimit);
      nextChange = Clock::now() + std::chrono::duration_cast<Clock::duration>(kBetweenChanges);
      const auto host = hostRound();
      const auto floor = floorRound();
      if (!host || !floor) {
        print(hostTimes, floorTimes);
        return fail(host ? "a floor round did not finish in time" : "a host round did not finish in time");
      }
      hostTimes.push_back(*host);
      floorTimes.push_back(*floor);
    }
    print(hostTimes, floorTimes);
    return 0;
  }

 private:
  struct Phone {
    std::unique_ptr<LoopbackPhone> socket;
    bool done = false;
  };

  int fail(const char* why) {
    std::size_t dropped = 0;
    for (std::size_t index = 0; index < host_.size(); ++index) {
      if (!host_[index].socket->wasDropped()) continue;
      if (dropped++ == 0) {
        std::fprintf(stderr, "broadcast_bench: host phone %zu: %s\n", index,
                     qPrintable(host_[index].socket->dropReason()));
      }
    }
    std::fprintf(stderr, "broadcast_bench: %s (%zu of %d host phones dropped)\n", why, dropped, options_.count);
    return 1;
  }

  void print(const std::vector<double>& hostTimes, const std::vector<double>& floorTimes) const {
    if (hostTimes.empty()) return;
    const double hostP99 = percentile(hostTimes, 0.99);
    const double floorP99 = percentile(floorTimes, 0.99);
    std::printf("%6d %6d %8.1fms %8.1fms %8.1fms %8.1fms %8.2fx %8.0fKB %4zu/%d\n", options_.songs, options_.count,
                percentile(hostTimes, 0.5), hostP99, percentile(floorTimes, 0.5), floorP99, hostP99 / floorP99,
                static_cast<double>(floorMessage_.size()) / 1000, hostTimes.size(), options_.rounds);
    std::fflush(stdout);
  }

  bool joinHost() {
    joined_ = 0;
    host_.reserve(static_cast<std::size_t>(options_.count));  // the phones' handlers hold their places
    for (int i = 0; i < options_.count; ++i) {
      // Phones name themselves by a UUID, as real ones do.
      const QString hello =
          commandText("hello-" + std::to_string(i), Command{Command::Hello{"Guest " + std::to_string(i),
                                                                           vinaro::makeUUIDString(),
                                                                           vinaro::ProtocolVersion::current}});
      Phone& phone = host_.emplace_back();
      phone.socket = std::make_unique<LoopbackPhone>(LoopbackPhone::address(kHostGroup, i),
                                                     [this, &phone](const QByteArray& text) { heardOnHost(phone, text); });
      // One after the other: the rounds are what is measured, and a storm of joins has the host
      // pile a state for every later phone onto the first ones.
      phone.socket->open(options_.hostPort, hello.toUtf8());
      if (!waitUntil([&] { return joined_ == i + 1 || anyDropped(host_); }, kJoinLimit) || anyDropped(host_)) {
        return false;
      }
    }
    return true;
  }

  bool makeDJ() {
    host_.front().socket->sendText(commandText("pin", Command{Command::AuthenticateDJ{options_.pin}}).toUtf8());
    settle();
    return !anyDropped(host_);
  }

  bool joinFloor() {
    floor_.reserve(static_cast<std::size_t>(options_.count));
    for (int i = 0; i < options_.count; ++i) {
      Phone& phone = floor_.emplace_back();
      phone.socket = std::make_unique<LoopbackPhone>(LoopbackPhone::address(kFloorGroup, i),
                                                     [this, &phone](const QByteArray&) { heard(phone); });
      phone.socket->open(options_.floorPort, {});
    }
    return waitUntil(
        [&] { return std::all_of(floor_.begin(), floor_.end(), [](const Phone& p) { return p.socket->isOpen(); }); },
        kJoinLimit);
  }

  bool prepareFloor() {
    bool prepared = false;
    LoopbackPhone control(LoopbackPhone::address(kFloorGroup, options_.count),
                          [&](const QByteArray& text) { prepared = text == floorPrepareWord; });
    control.open(options_.floorPort, floorPrepareWord + floorMessage_);
    return waitUntil([&] { return prepared; }, kJoinLimit);
  }

  /// The DJ switches the mode; done when every phone has a state in the new mode. A state the
  /// host sends on its own meanwhile (the minute's prune) still names the old mode.
  std::optional<double> hostRound() {
    const auto mode = awaitedMode_ == wire(vinaro::PartyMode::suggestion) ? vinaro::PartyMode::collaboration
                                                                          : vinaro::PartyMode::suggestion;
    awaitedMode_ = wire(mode);
    return timedRound(host_, [&] {
      host_.front().socket->sendText(commandText("mode", Command{Command::SetMode{mode}}).toUtf8());
    });
  }

  std::optional<double> floorRound() {
    return timedRound(floor_, [&] { floor_.back().socket->sendText(floorGoWord); });
  }

  std::optional<double> timedRound(std::vector<Phone>& phones, const std::function<void()>& trigger) {
    for (Phone& phone : phones) phone.done = false;
    pending_ = options_.count;
    refused_ = false;
    inRound_ = true;
    const auto start = Clock::now();
    trigger();
    const bool done = waitUntil([&] { return pending_ == 0 || refused_ || anyDropped(phones); }, kRoundLimit);
    inRound_ = false;
    if (!done || pending_ != 0) return std::nullopt;
    return milliseconds(last_ - start);
  }

  void heardOnHost(Phone& phone, const QByteArray& text) {
    lastHeard_ = Clock::now();
    if (!inRound_) {
      if (!isWelcome(text)) return;
      ++joined_;
      awaitedMode_ = modeOf(text);  // the party's mode as the first round finds it
      return;
    }
    if (isError(text)) {
      std::fprintf(stderr, "broadcast_bench: the host refused the change: %s\n", text.left(300).constData());
      refused_ = true;
      return;
    }
    // Only a state in the round's mode ends a phone's round: the DJ's phone also hears of the
    // host's sound now and then, and the minute's prune sends the state as it was.
    if (!isState(text) || modeOf(text) != awaitedMode_) return;
    if (&phone == &host_.back()) floorMessage_ = text;
    heard(phone);
  }

  void heard(Phone& phone) {
    if (!inRound_ || phone.done) return;
    phone.done = true;
    if (--pending_ == 0) last_ = Clock::now();
  }

  static bool anyDropped(const std::vector<Phone>& phones) {
    return std::any_of(phones.begin(), phones.end(), [](const Phone& p) { return p.socket->wasDropped(); });
  }

  bool waitUntil(const std::function<bool()>& done, Clock::duration limit) {
    const auto giveUp = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() > giveUp) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

  /// Lets the messages that are still on their way arrive.
  void settle() {
    lastHeard_ = Clock::now();
    (void)waitUntil([&] { return Clock::now() - lastHeard_ > kQuietFor; }, std::chrono::seconds(10));
  }

  PhonesOptions options_;
  QTimer ticker_;
  std::vector<Phone> host_;
  std::vector<Phone> floor_;
  QByteArray awaitedMode_;  // the mode the last round asked for
  QByteArray floorMessage_;
  bool inRound_ = false;
  bool refused_ = false;
  int pending_ = 0;
  int joined_ = 0;
  Clock::time_point last_;
  Clock::time_point lastHeard_;
};

}  // namespace

int runPhones(const PhonesOptions& options) { return Phones(options).run(); }

}  // namespace kovali
