#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QEventLoop>
#include <QString>
#include <QTimer>

#include "protocol/command.h"
#include "protocol/message_codec.h"

namespace kovali {

using BenchClock = std::chrono::steady_clock;

inline double milliseconds(BenchClock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

/// The value at `fraction` (0.5, 0.99) of `values`, which must not be empty.
inline double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
  return values[std::max<std::size_t>(rank, 1) - 1];
}

/// Runs the event loop until `done` holds or `limit` has passed, looking every `everyMs`; the
/// loop sleeps between events (a `processEvents` with a timeout would spin). Answers `done()`.
inline bool runEventLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds limit, int everyMs = 10) {
  if (done()) return true;
  const auto giveUp = BenchClock::now() + limit;
  QEventLoop loop;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, &loop, [&] {
    if (done() || BenchClock::now() > giveUp) loop.quit();
  });
  look.start(everyMs);
  loop.exec();
  return done();
}

/// `command` in an envelope with id `id`, as a phone sends it.
inline QString commandText(const std::string& id, vinaro::Command command) {
  return QString::fromStdString(
      vinaro::MessageCodec::encode(vinaro::Envelope<vinaro::Command>{.id = id, .body = std::move(command)}));
}

/// This process's resident memory in MB, as /proc/self/status gives it under `field`
/// ("VmRSS:" now, "VmHWM:" at its peak); another process's with its /proc/<pid>/status.
inline double residentMB(const std::string& field = "VmRSS:", const std::string& statusFile = "/proc/self/status") {
  std::ifstream status(statusFile);
  std::string key;
  while (status >> key) {
    if (key == field) {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes / 1024;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

}  // namespace kovali
