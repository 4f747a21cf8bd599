#include "platform/sound/devices/pulse_capture_system.h"

#include <QMetaObject>

#include "platform/sound/devices/pulse_live_pass_through.h"

namespace kovali {

PulseCaptureSystem::PulseCaptureSystem(QObject* parent)
    : CaptureSystem(parent),
      watcher_("kovaliapp.input", [this] {
        QMetaObject::invokeMethod(this, [this] { emit changed(); }, Qt::QueuedConnection);
      }) {}

PulseCaptureSystem::~PulseCaptureSystem() = default;

std::vector<CaptureSystem::Input> PulseCaptureSystem::inputs() const {
  return watcher_.locked([&] {
    std::vector<Input> inputs;
    for (const auto& source : watcher_.snapshot().sources) {
      if (!source.isMonitor) inputs.push_back({source.name, source.description, source.transport});
    }
    return inputs;
  });
}

QCoro::Task<bool> PulseCaptureSystem::requestRecordPermission() { co_return true; }

std::unique_ptr<LivePassThrough> PulseCaptureSystem::playLive(const std::string& id) {
  return std::make_unique<PulseLivePassThrough>(watcher_, id);
}

}  // namespace kovali
