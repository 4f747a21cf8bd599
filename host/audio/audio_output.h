#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "protocol/string_enum.h"

namespace kovali {

/// The host's sound output devices, the system's default output among them, and the switch of
/// the default output.
///
/// No sound-server layer exists yet: `refresh()` finds no devices and no default, there are no
/// changes to listen to, and `select()` fails with a sentence saying so.
class AudioOutput : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::AudioOutput::Devices devices READ devices NOTIFY devicesChanged)
  Q_PROPERTY(std::uint32_t defaultDeviceID READ defaultDeviceID NOTIFY defaultDeviceIDChanged)
  Q_PROPERTY(std::optional<std::string> lastError READ lastError NOTIFY lastErrorChanged)

 public:
  struct Device {
    /// How a device is connected; shared with the input list.
    enum class Transport { builtIn, airPlay, bluetooth, usb, hdmi, other };

    std::uint32_t id = 0;  // the system's device id
    std::string name;
    Transport transport = Transport::other;

    bool operator==(const Device&) const = default;
  };
  using Devices = std::vector<Device>;

  /// No devices, default device 0, no error; the owner then calls `refresh()` and
  /// `startListening()`.
  explicit AudioOutput(QObject* parent = nullptr);

  /// Reads the devices and the default output into `devices` and `defaultDeviceID`.
  virtual void refresh();
  /// Follows changes of the device list and the default output: each one refreshes and then
  /// emits `changed`.
  virtual void startListening();
  /// Makes `device` the system's default output; a failure is kept in `lastError`.
  virtual void select(const Device& device);

  const Devices& devices() const { return devices_; }
  std::uint32_t defaultDeviceID() const { return defaultDeviceID_; }
  const std::optional<std::string>& lastError() const { return lastError_; }

 signals:
  /// The device list or the default output changed.
  void changed();
  void devicesChanged();
  void defaultDeviceIDChanged();
  void lastErrorChanged();

 protected:
  void setDevices(Devices devices);
  void setDefaultDeviceID(std::uint32_t id);
  void setLastError(std::optional<std::string> error);

 private:
  Devices devices_;
  std::uint32_t defaultDeviceID_ = 0;
  std::optional<std::string> lastError_;
};

}  // namespace kovali

template <>
struct vinaro::EnumNames<kovali::AudioOutput::Device::Transport> {
  static constexpr std::string_view typeName = "AudioOutput.Device.Transport";
  static constexpr std::array<std::string_view, 6> rawValues = {"Built-in", "AirPlay",          "Bluetooth",
                                                                "USB",      "HDMI / DisplayPort", "Other"};
};
