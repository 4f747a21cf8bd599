#pragma once

#include <string>
#include <vector>

#include "heos/heos_controller.h"
#include "platform/runtime/in_memory_preferences.h"
#include "support/fake_heos_device.h"
#include "support/manual_scheduler.h"

namespace kovali {

/// A controller joined by hand to a fake HEOS device, as a successful connect leaves it, with
/// its log lines and change notices kept for the test.
class ConnectedController : public HEOSController {
 public:
  ConnectedController(InMemoryPreferences& preferences, ManualScheduler& scheduler);

  /// Opens the command and event connections to `device`, registers the second for change
  /// events and shows the device as connected; false when that fails.
  [[nodiscard]] bool connectTo(FakeHEOSDevice& device);

  using HEOSController::handleEvent;
  using HEOSController::loadInputs;
  using HEOSController::refreshPlayersAndGroups;
  using HEOSController::refreshPlayer;
  using HEOSController::refreshVolume;
  using HEOSController::sendZoneVolumes;
  using HEOSController::setConfiguration;
  using HEOSController::setGroups;
  using HEOSController::setInputs;
  using HEOSController::setNowPlaying;
  using HEOSController::setPlayers;
  using HEOSController::setPlayStates;
  using HEOSController::setReportedVolume;
  using HEOSController::setStatus;

  std::vector<std::string> lines;
  int changes = 0;

 private:
  ManualScheduler& scheduler_;
};

}  // namespace kovali
