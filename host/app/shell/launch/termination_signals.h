#pragma once

#include <QObject>

class QSocketNotifier;

namespace kovali {

/// Turns SIGINT and SIGTERM into a signal on the event loop, so that the host can end the way it
/// quits normally (saving the session) instead of dying mid-change. The handler itself only
/// writes a byte into a pipe that the event loop watches. One instance per process.
class TerminationSignals final : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  /// Whether the handlers are in place.
  bool isInstalled() const { return notifier_ != nullptr; }

 signals:
  /// SIGINT or SIGTERM arrived.
  void received(int signalNumber);

 private:
  void readPipe();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kovali
