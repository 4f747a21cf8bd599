#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace kovali {

/// Runs a screen's refresh at the pace of the screen, however often the party changes: at once
/// when it has not run for a frame (or, for a refresh longer than a frame, for as long as it took)
/// since it last ended, and otherwise once that time is over. A storm of joins then redraws sixty
/// times a second at most, not once a join, and a slow screen never takes more than half the time.
class FrameRefresh final : public QObject {
 public:
  static constexpr int frameMs = 16;

  FrameRefresh(std::function<void()> refresh, QObject* parent);

  /// The screen is out of date: refreshes it now or at the end of the frame.
  void request();

 private:
  void run();

  std::function<void()> refresh_;
  QElapsedTimer sinceLast_;
  qint64 lastTookMs_ = 0;
  QTimer endOfFrame_;
};

}  // namespace kovali
