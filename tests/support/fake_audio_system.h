#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/sound/devices/audio_system.h"

namespace kovali {

/// A sound server's outputs as the test sets them. A switch answers at once: it fails with
/// `switchFailure` when that is set, else it moves the default and reports the change, as the
/// server does.
class FakeAudioSystem final : public AudioSystem {
  Q_OBJECT

 public:
  std::vector<Output> outputs() const override { return outputs_; }
  std::optional<std::uint32_t> defaultOutput() const override { return default_; }
  void setDefaultOutput(std::uint32_t id, SwitchDone done) override;

  /// The server's outputs and default become these, and it says so.
  void change(std::vector<Output> outputs, std::optional<std::uint32_t> defaultID);

  std::optional<std::string> switchFailure;
  std::vector<std::uint32_t> switches;  // every id asked for

 private:
  std::vector<Output> outputs_;
  std::optional<std::uint32_t> default_;
};

}  // namespace kovali
