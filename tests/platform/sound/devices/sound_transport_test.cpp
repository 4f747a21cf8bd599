#include "platform/sound/devices/sound_transport.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

TEST(SoundTransport, ComesFromTheServersDeviceProperties) {
  struct Case {
    const char* name;
    SoundDeviceTraits traits;
    SoundTransport expected;
  } cases[] = {
      {"laptop speakers", {"alsa_output.pci.analog", {{"device.bus", "pci"}, {"device.form_factor", "internal"}}, "analog-output-speaker"}, SoundTransport::builtIn},
      {"HDMI port on the same card", {"alsa_output.pci.hdmi", {{"device.bus", "pci"}, {"device.form_factor", "internal"}}, "hdmi-output-0"}, SoundTransport::hdmi},
      {"HDMI profile", {"alsa_output.pci.hdmi", {{"device.profile.name", "HDMI-stereo"}}, ""}, SoundTransport::hdmi},
      {"DisplayPort", {"alsa_output.dp", {{"device.profile.name", "displayport-stereo"}}, ""}, SoundTransport::hdmi},
      {"USB interface", {"alsa_output.usb", {{"device.bus", "usb"}, {"device.form_factor", "internal"}}, ""}, SoundTransport::usb},
      {"Bluetooth by bus", {"bluez_sink.x", {{"device.bus", "bluetooth"}}, ""}, SoundTransport::bluetooth},
      {"Bluetooth by API", {"bluez_output.x", {{"device.api", "bluez5"}}, ""}, SoundTransport::bluetooth},
      {"RAOP by name", {"raop_output.Kitchen.local", {}, ""}, SoundTransport::airPlay},
      {"RAOP by properties", {"speaker", {{"raop.ip", "127.0.0.1"}, {"device.bus", "usb"}}, ""}, SoundTransport::airPlay},
      {"PCI card", {"alsa_output.pci.card", {{"device.bus", "pci"}}, "analog-output"}, SoundTransport::other},
      {"null sink", {"music", {{"device.class", "abstract"}}, ""}, SoundTransport::other},
  };
  for (const auto& c : cases) EXPECT_EQ(transportOf(c.traits), c.expected) << c.name;
}

}  // namespace
}  // namespace kovali
