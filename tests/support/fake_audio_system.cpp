#include "support/fake_audio_system.h"

namespace kovali {

void FakeAudioSystem::setDefaultOutput(std::uint32_t id, SwitchDone done) {
  switches.push_back(id);
  if (switchFailure) {
    done(switchFailure);
    return;
  }
  default_ = id;
  done(std::nullopt);
  emit changed();
}

void FakeAudioSystem::change(std::vector<Output> outputs, std::optional<std::uint32_t> defaultID) {
  outputs_ = std::move(outputs);
  default_ = defaultID;
  emit changed();
}

}  // namespace kovali
