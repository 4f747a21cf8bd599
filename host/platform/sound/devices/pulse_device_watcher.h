#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <pulse/def.h>

#include "platform/sound/pulse_loop_lock.h"
#include "platform/sound/devices/sound_transport.h"

struct pa_context;
struct pa_sink_info;
struct pa_source_info;
struct pa_server_info;
struct pa_mainloop_api;
struct pa_time_event;
struct timeval;

namespace kovali {

/// The sound server's sinks, sources and default sink, kept current by a connection on a
/// libpulse thread of its own: a subscription reads them anew after every change, and a server
/// that goes away is looked for again every second (its devices count as gone meanwhile).
class PulseDeviceWatcher {
 public:
  struct Device {
    std::uint32_t index = 0;  // the server's number for it, while it exists
    std::string name;         // the server's name for it
    std::string description;  // what people see
    int channels = 0;
    SoundTransport transport = SoundTransport::other;
    bool isMonitor = false;  // a source that records a sink
    float volume = 0;        // the average of its channels' volumes; 1.0 is full volume

    bool operator==(const Device&) const = default;
  };

  struct Snapshot {
    std::vector<Device> sinks;
    std::vector<Device> sources;
    std::string defaultSink;
  };

  /// Connects as `threadName`; `changed` runs on libpulse's thread, lock held, after each new
  /// snapshot (also when the server went away).
  PulseDeviceWatcher(const char* threadName, std::function<void()> changed);
  ~PulseDeviceWatcher();
  PulseDeviceWatcher(const PulseDeviceWatcher&) = delete;
  PulseDeviceWatcher& operator=(const PulseDeviceWatcher&) = delete;

  /// Runs `work()` with the lock held. Never on libpulse's thread.
  template <class Work>
  auto locked(Work work) {
    PulseLoopLock lock(loop_);
    return work();
  }

  // The calls below need the lock (or run inside a callback).
  const Snapshot& snapshot() const { return snapshot_; }
  /// The connection when it is ready for requests, else nothing.
  pa_context* readyContext() const;
  /// Reads the devices anew and runs `then` once that snapshot is in (at once without a server).
  void refreshThen(std::function<void()> then);
  /// Releases the lock until a callback calls `wake()`, then holds it again.
  void wait() { pa_threaded_mainloop_wait(loop_); }
  /// Ends a `wait()`; in a callback.
  void wake() { pa_threaded_mainloop_signal(loop_, 0); }

 private:
  static void contextChanged(pa_context* context, void* self);
  static void subscribed(pa_context* context, pa_subscription_event_type_t event, std::uint32_t index, void* self);
  static void serverRead(pa_context* context, const pa_server_info* info, void* self);
  static void sinkRead(pa_context* context, const pa_sink_info* info, int last, void* self);
  static void sourceRead(pa_context* context, const pa_source_info* info, int last, void* self);
  static void retry(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when, void* self);

  void connect();
  void disconnect();
  void lost();
  void startReading();
  void partRead();
  void published();

  pa_threaded_mainloop* loop_ = nullptr;
  std::function<void()> changed_;
  pa_context* context_ = nullptr;
  pa_time_event* retryTimer_ = nullptr;
  Snapshot snapshot_;
  Snapshot reading_;
  int partsPending_ = 0;  // replies still missing for `reading_`
  bool readAgain_ = false;
  std::vector<std::function<void()>> afterRead_;
};

}  // namespace kovali
