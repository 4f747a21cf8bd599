#include "support/fake_multi_room_platform.h"

namespace kovali {

FakeMultiRoomPlatform::FakeMultiRoomPlatform(Scheduler& scheduler)
    : capture(nullptr), player(nullptr), scheduler_(scheduler) {
  capture = ownedCapture_.get();
  player = ownedPlayer_.get();
}

MultiRoomAudio::Platform FakeMultiRoomPlatform::take() {
  return MultiRoomAudio::Platform{
      .scheduler = scheduler_,
      .capture = std::move(ownedCapture_),
      .player = std::move(ownedPlayer_),
      .makeRenderer =
          [renderers = renderers](const AudioFormat&, const std::shared_ptr<RenderSynchronizer>&) {
            renderers->push_back(std::make_unique<FakeAudioRenderer::State>());
            return std::unique_ptr<AudioRenderer>(std::make_unique<FakeAudioRenderer>(*renderers->back()));
          },
      // In virtual time, on the main thread.
      .copyFeederTimer = [&scheduler = scheduler_](double interval,
                                                   std::function<void()> tick) { return scheduler.repeat(interval, std::move(tick)); },
  };
}

}  // namespace kovali
