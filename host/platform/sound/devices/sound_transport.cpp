#include "platform/sound/devices/sound_transport.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kovali {

namespace {

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string property(const SoundDeviceTraits& traits, const std::string& key) {
  const auto found = traits.properties.find(key);
  return found == traits.properties.end() ? std::string() : lowered(found->second);
}

bool mentions(const std::string& text, std::string_view word) { return text.find(word) != std::string::npos; }

/// PulseAudio's and PipeWire's RAOP sinks carry "raop.*" properties and names beginning "raop".
bool isRAOP(const SoundDeviceTraits& traits) {
  if (lowered(traits.name).rfind("raop", 0) == 0) return true;
  return std::any_of(traits.properties.begin(), traits.properties.end(),
                     [](const auto& entry) { return entry.first.rfind("raop.", 0) == 0; });
}

bool isDisplayLink(const SoundDeviceTraits& traits) {
  for (const auto& text : {lowered(traits.activePort), property(traits, "device.profile.name")}) {
    if (mentions(text, "hdmi") || mentions(text, "displayport")) return true;
  }
  return false;
}

}  // namespace

SoundTransport transportOf(const SoundDeviceTraits& traits) {
  if (isRAOP(traits)) return SoundTransport::airPlay;
  const auto bus = property(traits, "device.bus");
  if (bus == "bluetooth" || property(traits, "device.api") == "bluez5") return SoundTransport::bluetooth;
  if (bus == "usb") return SoundTransport::usb;
  if (isDisplayLink(traits)) return SoundTransport::hdmi;
  if (property(traits, "device.form_factor") == "internal") return SoundTransport::builtIn;
  return SoundTransport::other;
}

}  // namespace kovali
