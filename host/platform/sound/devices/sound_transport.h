#pragma once

#include <map>
#include <string>

namespace kovali {

/// How a sound device is connected, as people know it.
enum class SoundTransport { builtIn, airPlay, bluetooth, usb, hdmi, other };

/// What the sound server tells of one device that its transport can be read from.
struct SoundDeviceTraits {
  std::string name;                               // the server's name of the device
  std::map<std::string, std::string> properties;  // "device.bus", "device.api", "device.form_factor"…
  std::string activePort;                         // the port in use; empty when it has none
};

/// The transport of a device from its traits: AirPlay for the server's RAOP devices, then the
/// bus or API (Bluetooth, USB), HDMI or DisplayPort from the port or profile in use, built-in for
/// an internal form factor, and other for everything else (PCI cards, virtual devices).
SoundTransport transportOf(const SoundDeviceTraits& traits);

}  // namespace kovali
