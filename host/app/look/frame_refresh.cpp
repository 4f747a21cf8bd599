#include "app/look/frame_refresh.h"

#include <utility>

namespace kovali {

FrameRefresh::FrameRefresh(std::function<void()> refresh, QObject* parent)
    : QObject(parent), refresh_(std::move(refresh)) {
  endOfFrame_.setSingleShot(true);
  connect(&endOfFrame_, &QTimer::timeout, this, &FrameRefresh::run);
}

void FrameRefresh::request() {
  if (endOfFrame_.isActive()) return;  // the refresh at the end of this frame takes it in
  const qint64 since = sinceLast_.isValid() ? sinceLast_.elapsed() : frameMs;
  if (since >= frameMs) {
    run();
  } else {
    endOfFrame_.start(static_cast<int>(frameMs - since));
  }
}

void FrameRefresh::run() {
  refresh_();
  // Timed from its end: a refresh that takes longer than a frame, as a console of 10,000 songs
  // does, would otherwise run again at once for each of a crowd's departures.
  sinceLast_.start();
}

}  // namespace kovali
