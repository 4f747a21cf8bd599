#pragma once

#include <array>
#include <cstdint>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "platform/sound/devices/audio_system.h"
#include "protocol/string_enum.h"

namespace kovali {

/// The host's sound output devices, the system's default output among them, and the switch of
/// the default output. Lives on the main thread, for the whole process.
class AudioOutput : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::AudioOutput::Devices devices READ devices NOTIFY devicesChanged)
  Q_PROPERTY(std::uint32_t defaultDeviceID READ defaultDeviceID NOTIFY defaultDeviceIDChanged)
  Q_PROPERTY(std::optional<std::string> lastError READ lastError NOTIFY lastErrorChanged)

 public:
  struct Device {
    /// How a device is connected; shared with the input list.
    using Transport = SoundTransport;

    std::uint32_t id = 0;  // the system's device id
    std::string name;
    Transport transport = Transport::other;

    bool operator==(const Device&) const = default;
  };
  using Devices = std::vector<Device>;

  /// No devices, default device 0, no error; the owner then calls `refresh()` and
  /// `startListening()`. Reads and switches through `system`.
  explicit AudioOutput(std::unique_ptr<AudioSystem> system, QObject* parent = nullptr);
  ~AudioOutput() override;

  /// Reads the devices and the default output into `devices` and `defaultDeviceID`, then
  /// emits `changed`, also when nothing changed.
  virtual void refresh();
  /// Follows changes of the device list and the default output: each one refreshes.
  virtual void startListening();
  /// Makes `device` the system's default output; only its id and name are used. Success sets
  /// `defaultDeviceID` and emits `changed`; a failure is kept in `lastError`.
  virtual void select(const Device& device);

  /// The default output's id while it cannot be read: no device has it (the sound server numbers
  /// its outputs from 0 and never gives out this one).
  static constexpr std::uint32_t unknownDevice = UINT32_MAX;

  const Devices& devices() const { return devices_; }
  /// `unknownDevice` when the default output is not known.
  std::uint32_t defaultDeviceID() const { return defaultDeviceID_; }
  /// The sentence of the last failed switch, until a switch succeeds.
  const std::optional<std::string>& lastError() const { return lastError_; }

 signals:
  /// After every refresh and every successful switch.
  void changed();
  void devicesChanged();
  void defaultDeviceIDChanged();
  void lastErrorChanged();

 protected:
  void setDevices(Devices devices);
  void setDefaultDeviceID(std::uint32_t id);
  void setLastError(std::optional<std::string> error);

 private:
  Devices enumerateDevices() const;

  std::unique_ptr<AudioSystem> system_;
  Devices devices_;
  std::uint32_t defaultDeviceID_ = unknownDevice;
  std::optional<std::string> lastError_;
  bool listening_ = false;
};

}  // namespace kovali

// Wire text: the phones show a device's transport as these words.
template <>
struct vinaro::EnumNames<kovali::AudioOutput::Device::Transport> {
  static constexpr std::string_view typeName = "AudioOutput.Device.Transport";
  static constexpr std::array<std::string_view, 6> rawValues = {"Built-in", "AirPlay",          "Bluetooth",
                                                                "USB",      "HDMI / DisplayPort", "Other"};
};
