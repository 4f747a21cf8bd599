#include "storm_phones.h"

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
#include "support/bench_figures.h"

namespace kovali {
namespace {

using Clock = BenchClock;
using vinaro::Command;

constexpr auto kStormLimit = std::chrono::minutes(3);
// A phone the host turned away or dropped says hello again after this pause, as an app retries.
constexpr auto kRetryAfter = std::chrono::milliseconds(250);
constexpr int kMostAttempts = 40;
// Loopback address groups: 127.0.1.x the host's phones, 127.0.128.x the floor's.
constexpr int kHostGroup = 1;
constexpr int kFloorGroup = 128;


class Storm {
 public:
  explicit Storm(const StormOptions& options) : options_(options), phones_(static_cast<std::size_t>(options.count)) {
    // Wakes the loop now and then, so that a wait notices it has waited too long.
    ticker_.start(20);
  }

  int run() {
    const auto hostMs = storm(options_.hostPort, kHostGroup, [this](int index) { return hostHello(index); });
    if (!hostMs) return fail("the host");
    std::size_t bytes = 0;
    for (const StormPhone& phone : phones_) bytes += static_cast<std::size_t>(phone.welcome.size());
    if (!prepareFloor()) return fail("the floor's preparation");
    const auto floorMs = storm(options_.floorPort, kFloorGroup, [](int index) {
      return floorHelloWord + QByteArray::number(index);
    });
    if (!floorMs) return fail("the floor");
    std::printf("%6d %10.0fms %10.0fms %8.2fx %8.1fMB %8d\n", options_.count, *hostMs, *floorMs, *hostMs / *floorMs,
                static_cast<double>(bytes) / 1e6, retries_);
    std::fflush(stdout);
    return 0;
  }

 private:
  struct StormPhone {
    std::unique_ptr<LoopbackPhone> socket;
    QByteArray hello;
    QByteArray welcome;  // what the host sent this phone; the floor sends its twin the same
    int attempts = 0;
    bool welcomed = false;
  };

  int fail(const char* side) const {
    std::fprintf(stderr, "broadcast_bench: %d phones: the storm on %s did not finish (%d of them welcomed)\n",
                 options_.count, side, welcomed_);
    return 1;
  }

  static QByteArray hostHello(int index) {
    // Phones name themselves by a UUID, as real ones do.
    return commandText("hello-" + std::to_string(index),
                       Command{Command::Hello{"Guest " + std::to_string(index), vinaro::makeUUIDString(),
                                              vinaro::ProtocolVersion::current}})
        .toUtf8();
  }

  /// Every phone connects at once and says hello; done when every one has its welcome.
  std::optional<double> storm(std::uint16_t port, int group, const std::function<QByteArray(int)>& hello) {
    const bool onHost = port == options_.hostPort;
    welcomed_ = 0;
    const auto start = Clock::now();
    for (int index = 0; index < options_.count; ++index) {
      StormPhone& phone = phones_[static_cast<std::size_t>(index)];
      phone.hello = hello(index);
      phone.attempts = 0;
      phone.welcomed = false;
      open(phone, port, group, index, onHost);
    }
    // Phones turned away try again, each from its own address as before.
    QTimer retry;
    QObject::connect(&retry, &QTimer::timeout, [&] {
      for (int index = 0; index < options_.count; ++index) {
        StormPhone& phone = phones_[static_cast<std::size_t>(index)];
        if (phone.welcomed || !phone.socket->wasDropped() || phone.attempts >= kMostAttempts) continue;
        ++retries_;
        open(phone, port, group, index, onHost);
      }
    });
    retry.start(kRetryAfter);
    if (!waitUntil([&] { return welcomed_ == options_.count; }, kStormLimit)) return std::nullopt;
    return milliseconds(last_ - start);
  }

  void open(StormPhone& phone, std::uint16_t port, int group, int index, bool onHost) {
    ++phone.attempts;
    phone.socket = std::make_unique<LoopbackPhone>(
        LoopbackPhone::address(group, index), [this, &phone, onHost](const QByteArray& text) {
          if (phone.welcomed) return;
          if (onHost && !isWelcome(text)) return;  // the states of the party growing around it
          if (onHost) phone.welcome = text;
          phone.welcomed = true;
          ++welcomed_;
          last_ = Clock::now();
        });
    phone.socket->open(port, phone.hello);
  }

  /// Hands the floor every phone's welcome; its answer to the last word means it holds them all.
  bool prepareFloor() {
    bool prepared = false;
    LoopbackPhone control(LoopbackPhone::address(kFloorGroup, options_.count),
                          [&](const QByteArray& text) { prepared = text == floorPrepareWord; });
    control.open(options_.floorPort, floorPrepareWord);
    if (!waitUntil([&] { return prepared || control.wasDropped(); }, kStormLimit) || !prepared) return false;
    prepared = false;
    for (int index = 0; index < options_.count; ++index) {
      control.sendText(floorWelcomeWord + QByteArray::number(index) + ':' +
                       phones_[static_cast<std::size_t>(index)].welcome);
    }
    control.sendText(floorPrepareWord);
    return waitUntil([&] { return prepared || control.wasDropped(); }, kStormLimit) && prepared;
  }

  bool waitUntil(const std::function<bool()>& done, Clock::duration limit) {
    const auto giveUp = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() > giveUp) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

  StormOptions options_;
  QTimer ticker_;
  std::vector<StormPhone> phones_;
  int welcomed_ = 0;
  int retries_ = 0;
  Clock::time_point last_;
};

}  // namespace

int runStormPhones(const StormOptions& options) { return Storm(options).run(); }

}  // namespace kovali
