#include "platform/sound/devices/pulse_device_watcher.h"

#include <pulse/pulseaudio.h>

namespace kovali {

namespace {

constexpr pa_usec_t retryMicroseconds = 1'000'000;

template <class Info>
SoundDeviceTraits traitsOf(const Info& info) {
  SoundDeviceTraits traits;
  traits.name = info.name ? info.name : "";
  if (info.active_port && info.active_port->name) traits.activePort = info.active_port->name;
  void* state = nullptr;
  while (const char* key = pa_proplist_iterate(info.proplist, &state)) {
    const std::string_view name(key);
    if (name.rfind("device.", 0) != 0 && name.rfind("raop.", 0) != 0) continue;
    if (const char* value = pa_proplist_gets(info.proplist, key)) traits.properties.emplace(key, value);
  }
  return traits;
}

template <class Info>
PulseDeviceWatcher::Device deviceOf(const Info& info) {
  PulseDeviceWatcher::Device device;
  device.index = info.index;
  device.name = info.name ? info.name : "";
  device.description = info.description ? info.description : "";
  device.channels = info.channel_map.channels;
  device.transport = transportOf(traitsOf(info));
  device.volume = static_cast<float>(pa_cvolume_avg(&info.volume)) / static_cast<float>(PA_VOLUME_NORM);
  return device;
}

}  // namespace

PulseDeviceWatcher::PulseDeviceWatcher(const char* threadName, std::function<void()> changed)
    : changed_(std::move(changed)) {
  loop_ = pa_threaded_mainloop_new();
  pa_threaded_mainloop_set_name(loop_, threadName);
  pa_threaded_mainloop_start(loop_);
  PulseLoopLock lock(loop_);
  connect();
}

PulseDeviceWatcher::~PulseDeviceWatcher() {
  {
    PulseLoopLock lock(loop_);
    disconnect();
    if (retryTimer_) pa_threaded_mainloop_get_api(loop_)->time_free(retryTimer_);
    retryTimer_ = nullptr;
  }
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

pa_context* PulseDeviceWatcher::readyContext() const {
  return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY ? context_ : nullptr;
}

// ---- The connection ------------------------------------------------------------------------------

void PulseDeviceWatcher::connect() {
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Kovali");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "kovaliapp.host");
  context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Kovali", properties);
  pa_proplist_free(properties);
  if (!context_) return lost();
  pa_context_set_state_callback(context_, &PulseDeviceWatcher::contextChanged, this);
  pa_context_set_subscribe_callback(context_, &PulseDeviceWatcher::subscribed, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) lost();
}

void PulseDeviceWatcher::disconnect() {
  if (!context_) return;
  pa_context_set_state_callback(context_, nullptr, nullptr);
  pa_context_set_subscribe_callback(context_, nullptr, nullptr);
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  context_ = nullptr;
  partsPending_ = 0;
  readAgain_ = false;
}

void PulseDeviceWatcher::lost() {
  disconnect();
  snapshot_ = {};
  published();
  if (retryTimer_) return;
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when), retryMicroseconds);
  retryTimer_ = pa_threaded_mainloop_get_api(loop_)->time_new(pa_threaded_mainloop_get_api(loop_), &when,
                                                               &PulseDeviceWatcher::retry, this);
}

void PulseDeviceWatcher::retry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self) {
  auto* watcher = static_cast<PulseDeviceWatcher*>(self);
  api->time_free(event);
  watcher->retryTimer_ = nullptr;
  watcher->connect();
}

void PulseDeviceWatcher::contextChanged(pa_context* context, void* self) {
  auto* watcher = static_cast<PulseDeviceWatcher*>(self);
  const auto state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY) {
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE |
                                                          PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_CARD);
    if (auto* operation = pa_context_subscribe(context, mask, nullptr, nullptr)) pa_operation_unref(operation);
    watcher->startReading();
  } else if (!PA_CONTEXT_IS_GOOD(state)) {
    watcher->lost();
  }
}

// ---- Reading the devices ---------------------------------------------------------------------------

void PulseDeviceWatcher::subscribed(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* self) {
  static_cast<PulseDeviceWatcher*>(self)->startReading();
}

void PulseDeviceWatcher::refreshThen(std::function<void()> then) {
  afterRead_.push_back(std::move(then));
  if (readyContext()) {
    startReading();
  } else {
    published();
  }
}

void PulseDeviceWatcher::startReading() {
  if (partsPending_ > 0) {
    readAgain_ = true;  // the reading under way may have missed this change
    return;
  }
  reading_ = {};
  partsPending_ = 3;
  auto track = [this](pa_operation* operation) {
    if (operation) {
      pa_operation_unref(operation);
    } else {
      partRead();
    }
  };
  track(pa_context_get_server_info(context_, &PulseDeviceWatcher::serverRead, this));
  track(pa_context_get_sink_info_list(context_, &PulseDeviceWatcher::sinkRead, this));
  track(pa_context_get_source_info_list(context_, &PulseDeviceWatcher::sourceRead, this));
}

void PulseDeviceWatcher::serverRead(pa_context*, const pa_server_info* info, void* self) {
  auto* watcher = static_cast<PulseDeviceWatcher*>(self);
  if (info && info->default_sink_name) watcher->reading_.defaultSink = info->default_sink_name;
  watcher->partRead();
}

void PulseDeviceWatcher::sinkRead(pa_context*, const pa_sink_info* info, int last, void* self) {
  auto* watcher = static_cast<PulseDeviceWatcher*>(self);
  if (last) return watcher->partRead();
  if (info) watcher->reading_.sinks.push_back(deviceOf(*info));
}

void PulseDeviceWatcher::sourceRead(pa_context*, const pa_source_info* info, int last, void* self) {
  auto* watcher = static_cast<PulseDeviceWatcher*>(self);
  if (last) return watcher->partRead();
  if (!info) return;
  auto device = deviceOf(*info);
  device.isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
  watcher->reading_.sources.push_back(std::move(device));
}

void PulseDeviceWatcher::partRead() {
  if (partsPending_ == 0 || --partsPending_ > 0) return;
  if (readAgain_) {
    readAgain_ = false;
    startReading();
    return;
  }
  snapshot_ = std::move(reading_);
  published();
}

void PulseDeviceWatcher::published() {
  if (changed_) changed_();
  auto waiting = std::move(afterRead_);
  afterRead_.clear();
  for (auto& then : waiting) then();
}

}  // namespace kovali
