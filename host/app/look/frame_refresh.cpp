#include "app/look/frame_refresh.h"

#include <algorithm>
#include <utility>

namespace kovali {

FrameRefresh::FrameRefresh(std::function<void()> refresh, QObject* parent)
    : QObject(parent), refresh_(std::move(refresh)) {
  endOfFrame_.setSingleShot(true);
  connect(&endOfFrame_, &QTimer::timeout, this, &FrameRefresh::run);
}

void FrameRefresh::request() {
  if (endOfFrame_.isActive()) return;  // the refresh at the end of this frame takes it in
  // A refresh that takes longer than a frame, as a console of 10,000 songs does, leaves as long
  // before the next: however fast the party changes, the screen takes at most half the time
  // the phones and the DJ are served in.
  const qint64 gap = std::max<qint64>(frameMs, lastTookMs_);
  const qint64 since = sinceLast_.isValid() ? sinceLast_.elapsed() : gap;
  if (since >= gap) {
    run();
  } else {
    endOfFrame_.start(static_cast<int>(gap - since));
  }
}

void FrameRefresh::run() {
  QElapsedTimer took;
  took.start();
  refresh_();
  lastTookMs_ = took.elapsed();
  // Timed from its end, so that a crowd's departures do not set it off again at once.
  sinceLast_.start();
}

}  // namespace kovali
