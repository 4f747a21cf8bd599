#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "platform/sound/devices/sound_transport.h"

namespace kovali {

/// The sound server's outputs and its default output. Lives on the main thread; what it reports
/// arrives there too.
class AudioSystem : public QObject {
  Q_OBJECT

 public:
  struct Output {
    std::uint32_t id = 0;  // the server's number for the device, while it exists
    std::string uid;       // the server's name for the device
    std::string name;      // what people see
    int channels = 0;
    SoundTransport transport = SoundTransport::other;

    bool operator==(const Output&) const = default;
  };

  /// Gives the sentence of a failed switch (the server's own words), or nothing on success.
  using SwitchDone = std::function<void(std::optional<std::string> failure)>;

  using QObject::QObject;
  ~AudioSystem() override;

  /// The outputs as last read, in the server's order; none while the server is out of reach.
  virtual std::vector<Output> outputs() const = 0;
  /// The id of the default output; nothing when it is not known.
  virtual std::optional<std::uint32_t> defaultOutput() const = 0;
  /// Makes the output with `id` the default; `done` runs on the main thread once the server
  /// answered, never when this object has gone first.
  virtual void setDefaultOutput(std::uint32_t id, SwitchDone done) = 0;

 signals:
  /// The outputs or the default output changed.
  void changed();
};

}  // namespace kovali
