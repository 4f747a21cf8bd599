#include "heos/connected_controller.h"

#include "support/task_result.h"

namespace kovali {
namespace {

QCoro::Task<bool> openAndRegister(HEOSSocket& commands, HEOSSocket& events) {
  try {
    co_await commands.open(4);
    co_await events.open(4);
    co_await events.request(heosCommandLine("system/register_for_change_events", withParameter({}, "enable", "on")), 10);
    co_return true;
  } catch (const HEOSError&) {
    co_return false;
  }
}

}  // namespace

ConnectedController::ConnectedController(InMemoryPreferences& preferences, ManualScheduler& scheduler)
    : HEOSController(preferences, "heos.configuration", "heos.presets", scheduler), scheduler_(scheduler) {
  connect(this, &HEOSController::logged, [this](const std::string& line) { lines.push_back(line); });
  connect(this, &HEOSController::changed, [this] { ++changes; });
}

bool ConnectedController::connectTo(FakeHEOSDevice& device) {
  HEOSSocketHandle commands(new HEOSSocket(device.address(), device.port(), scheduler_));
  HEOSSocketHandle events(new HEOSSocket(device.address(), device.port(), scheduler_));
  const auto opened = waitForResult(openAndRegister(*commands, *events));
  if (!opened || !*opened) return false;
  attach(std::move(commands), std::move(events));
  setStatus(Status::connected(device.address().toStdString()));
  return true;
}

}  // namespace kovali
