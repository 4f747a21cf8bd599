#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

namespace kovali {

/// A child of this binary in another role, stopped when it goes out of scope.
class Role {
 public:
  explicit Role(const QStringList& arguments, QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
    process_.setProcessChannelMode(channels);
    process_.start(QCoreApplication::applicationFilePath(), arguments);
  }
  ~Role() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();  // the host saves on its way out, as it does when it quits
    if (!process_.waitForFinished(30000)) {
      process_.kill();
      process_.waitForFinished();
    }
  }

  /// The port the child prints once it serves; nothing if it does not within `limit`.
  std::optional<std::uint16_t> port(std::chrono::milliseconds limit) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!process_.canReadLine()) {
      if (process_.state() == QProcess::NotRunning || std::chrono::steady_clock::now() > giveUp) return std::nullopt;
      process_.waitForReadyRead(200);
    }
    const QByteArray line = process_.readLine().trimmed();
    if (!line.startsWith("port ")) return std::nullopt;
    return static_cast<std::uint16_t>(line.mid(5).toUInt());
  }

  QProcess& process() { return process_; }

 private:
  QProcess process_;
};

}  // namespace kovali
