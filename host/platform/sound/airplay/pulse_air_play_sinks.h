#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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
  /// Discovery loads `discoveryModule` with `arguments` instead of the server's AirPlay discovery
  /// (tests stand in a module that loads without a network).
  PulseAirPlaySinks(std::string discoveryModule, std::string arguments, QObject* parent = nullptr);
  ~PulseAirPlaySinks() override;

  /// The AirPlay sinks as last read, in the server's order.
  std::vector<Sink> sinks() const;
  /// Sets a sink's volume on all its channels (0.0...1.0); nothing when it is gone.
  void setVolume(const std::string& sinkName, float volume);

  /// Loads the server's AirPlay discovery unless it is loaded already. `done` runs once on the
  /// main thread, also when the server goes away before it answers. Until `stopDiscovery`, a
  /// server that starts again gets the discovery loaded again (a failure then is only logged).
  void startDiscovery(Done done);
  /// Unloads the discovery when `startDiscovery` loaded it, or once a load under way finishes.
  void stopDiscovery();

 signals:
  /// The sinks or their volumes changed.
  void changed();

 private:
  struct DiscoveryCall;
  static void serverRead(pa_context* context, const pa_server_info* info, void* call);
  static void moduleRead(pa_context* context, const pa_module_info* info, int last, void* call);
  static void moduleLoaded(pa_context* context, std::uint32_t index, void* call);
  /// Sends a call that loads the discovery unless it is there; false (`done` kept) when it cannot
  /// be sent. Lock held.
  bool ask(pa_context* context, Done& done);
  /// Ends a pending call: `done` gets `failure`. Lock held.
  void settle(DiscoveryCall* call, std::optional<std::string> failure);
  /// Keeps the module `index` that a call loaded, or unloads it when it is not wanted. Lock held.
  void adopt(pa_context* context, std::uint32_t index);
  /// Ends the pending calls when the server went away: libpulse drops their replies. Lock held.
  void serverLost();
  /// Loads the discovery again on a server that came back while it was wanted. Lock held.
  void serverReached(pa_context* context);
  void finish(Done done, std::optional<std::string> failure);

  const std::string discoveryModule_;
  const std::string discoveryArguments_;
  // Guarded by the watcher's lock:
  std::optional<std::uint32_t> loadedModule_;
  std::vector<std::unique_ptr<DiscoveryCall>> calls_;  // asked, not answered yet
  bool stopWanted_ = false;                            // a stop came while calls were pending
  bool wanted_ = false;                                // started and not stopped since
  bool serverWasLost_ = false;                         // not reached again since it went away

  // Last: it goes first, so no late report reaches a half-destroyed object.
  mutable PulseDeviceWatcher watcher_;
};

}  // namespace kovali
