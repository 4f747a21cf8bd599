#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "platform/sound/devices/pulse_device_watcher.h"

struct pa_module_info;

namespace kovali {

/// The sound server's AirPlay speakers (its RAOP sinks, which its AirPlay discovery makes for
/// each speaker it finds), their volumes, and that discovery itself. Lives on the main thread;
/// everything it reports arrives there, never after it has gone.
class PulseAirPlaySinks : public QObject {
  Q_OBJECT

 public:
  struct Sink {
    std::string name;         // the server's name, which may change when the speaker comes back
    std::string description;  // the speaker's name, which stays
    float volume = 0;         // 1.0 is full volume
    std::uint32_t index = 0;  // the server's number for this sink, new each time it is made

    bool operator==(const Sink&) const = default;
  };

  /// Gives the sentence of a failure (for people), or nothing on success.
  using Done = std::function<void(std::optional<std::string> failure)>;

  explicit PulseAirPlaySinks(QObject* parent = nullptr);
  ~PulseAirPlaySinks() override;

  /// The AirPlay sinks as last read, in the server's order.
  std::vector<Sink> sinks() const;
  /// Sets a sink's volume on all its channels (0.0...1.0); nothing when it is gone.
  void setVolume(const std::string& sinkName, float volume);

  /// Loads the server's AirPlay discovery unless it is loaded already.
  void startDiscovery(Done done);
  /// Unloads the discovery when `startDiscovery` loaded it.
  void stopDiscovery();

 signals:
  /// The sinks or their volumes changed.
  void changed();

 private:
  struct DiscoveryCall;
  static void serverRead(pa_context* context, const pa_server_info* info, void* call);
  static void moduleRead(pa_context* context, const pa_module_info* info, int last, void* call);
  static void moduleLoaded(pa_context* context, std::uint32_t index, void* call);
  void finish(Done done, std::optional<std::string> failure);

  std::optional<std::uint32_t> loadedModule_;  // guarded by the watcher's lock

  // Last: it goes first, so no late report reaches a half-destroyed object.
  mutable PulseDeviceWatcher watcher_;
};

}  // namespace kovali
