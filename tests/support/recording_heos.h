#pragma once

#include <qcoro/qcorotask.h>

#include <QUuid>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "heos/heos_controller.h"

namespace kovali {

/// A HEOS controller whose state the test sets: each operation its callers ask for is written
/// into `calls` ("search", "setZone 2 out", "savePreset Dinner") instead of reaching a device.
class RecordingHEOS final : public HEOSController {
 public:
  using HEOSController::HEOSController;
  RecordingHEOS(Preferences& preferences, Scheduler& scheduler)
      : HEOSController(preferences, QStringLiteral("heos"), QStringLiteral("heosPresets"), scheduler) {}

  using HEOSController::setConfiguration;
  using HEOSController::setInputs;
  using HEOSController::setLastError;
  using HEOSController::setPlayers;
  using HEOSController::setPresets;
  using HEOSController::setStatus;
  using HEOSController::setZoneVolumes;

  bool isPlayingParty() const override { return playingParty; }
  void search() override { calls.push_back("search"); }
  void partyDidStart() override { calls.push_back("partyDidStart"); }
  void setStartWithParty(bool on) override {
    calls.push_back(std::string("setStartWithParty ") + (on ? "true" : "false"));
  }
  void selectInput(const std::string& id) override { calls.push_back("selectInput " + id); }
  void setZone(std::int64_t id, bool included) override {
    calls.push_back("setZone " + std::to_string(id) + (included ? " in" : " out"));
  }
  void setZoneVolume(std::int64_t id, std::int64_t level) override {
    calls.push_back("setZoneVolume " + std::to_string(id) + " " + std::to_string(level));
  }
  void setVolume(std::int64_t level) override { calls.push_back("setVolume " + std::to_string(level)); }
  void requestPlay() override { calls.push_back("requestPlay"); }
  QCoro::Task<> stop(std::int64_t leader) override {
    calls.push_back("stop " + std::to_string(leader));
    co_return;
  }
  void savePreset(const std::string& name) override { calls.push_back("savePreset " + name); }
  void applyPreset(const Preset& preset) override { calls.push_back("applyPreset " + preset.name); }
  void deletePreset(const QUuid& id) override {
    calls.push_back("deletePreset " + id.toString(QUuid::WithoutBraces).toStdString());
  }

  /// Follows the party (or not) without the log line and the search of the real switch.
  void followParty(bool on) {
    auto configuration = this->configuration();
    configuration.startWithParty = on;
    setConfiguration(configuration);
  }
  /// Plays `input` on `zones` from now on, as a saved choice would.
  void choose(const Input& input, std::vector<std::int64_t> zones) {
    auto configuration = this->configuration();
    configuration.sourceID = input.sourceID;
    configuration.inputMid = input.mid;
    configuration.inputName = input.name;
    configuration.zones = std::move(zones);
    setConfiguration(configuration);
  }

  bool playingParty = false;  // what isPlayingParty() answers
  std::vector<std::string> calls;
};

}  // namespace kovali
