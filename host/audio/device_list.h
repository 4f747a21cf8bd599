#pragma once

#include <string>
#include <vector>

namespace kovali {

/// Whether device name `a` comes before `b` in a device list: localized, case ignored.
bool deviceNameBefore(const std::string& a, const std::string& b);

/// The start of the UIDs of the host's own capture devices, which no device list shows.
inline constexpr const char* privateDevicePrefix = "kovaliapp.host.tap.";

/// Whether `uid` names one of the host's own capture devices.
bool isPrivateDevice(const std::string& uid);

/// The names of `devices`, in order.
template <class Devices>
std::vector<std::string> deviceNames(const Devices& devices) {
  std::vector<std::string> names;
  for (const auto& device : devices) names.push_back(device.name);
  return names;
}

/// Logs each name of `after` missing from `before` as found and each the other way as lost;
/// `kind` says what they are ("output", "input").
void logDeviceChanges(const char* kind, const std::vector<std::string>& before, const std::vector<std::string>& after);

}  // namespace kovali
