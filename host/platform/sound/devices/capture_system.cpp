#include "platform/sound/devices/capture_system.h"

namespace kovali {

LivePassThrough::LivePassThrough() : started_(promise_.future()) { promise_.start(); }

LivePassThrough::~LivePassThrough() { settle(std::string(stoppedText)); }

void LivePassThrough::settle(std::optional<std::string> failure) {
  if (settled_) return;
  settled_ = true;
  promise_.addResult(std::move(failure));
  promise_.finish();
}

CaptureSystem::~CaptureSystem() = default;

}  // namespace kovali
