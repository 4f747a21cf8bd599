#include "support/fake_capture_system.h"

#include <algorithm>

namespace kovali {

QCoro::Task<bool> FakeCaptureSystem::requestRecordPermission() {
  ++prompts;
  if (scheduler_) co_await scheduler_->sleep(1);
  co_return userAllows;
}

std::unique_ptr<LivePassThrough> FakeCaptureSystem::playLive(const std::string& id) {
  auto passThrough = std::make_unique<FakeLivePassThrough>(id);
  started.emplace_back(passThrough.get());
  if (startsAtOnce) passThrough->start();
  return passThrough;
}

void FakeCaptureSystem::change(std::vector<Input> inputs) {
  inputs_ = std::move(inputs);
  emit changed();
}

int FakeCaptureSystem::running() const {
  return static_cast<int>(std::count_if(started.begin(), started.end(), [](const auto& p) { return !p.isNull(); }));
}

}  // namespace kovali
