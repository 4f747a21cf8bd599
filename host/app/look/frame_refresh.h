#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace kovali {

/// Runs a screen's refresh at the pace of the screen, however often the party changes: at once
/// when it has not run for a frame since it last ended, and otherwise once when that frame is
/// over. A storm of joins then redraws sixty times a second at most, not once a join.
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
  QTimer endOfFrame_;
};

}  // namespace kovali
