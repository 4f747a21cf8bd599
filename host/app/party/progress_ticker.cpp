#include "app/party/progress_ticker.h"

namespace kovali {

ProgressTicker::ProgressTicker(Scheduler& scheduler, std::function<void()> tick)
    : scheduler_(scheduler), tick_(std::move(tick)) {}

void ProgressTicker::follow(bool wanted) {
  if (!wanted) {
    timer_.stop();
  } else if (!timer_.isActive()) {
    tick_();
    timer_ = scheduler_.repeat(1.0, tick_);
  }
}

}  // namespace kovali
