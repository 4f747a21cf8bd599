#pragma once

#include <string_view>

namespace vinaro {

/// How phones find the host on the local network; spelled identically in the phone app.
namespace Bonjour {

inline constexpr std::string_view serviceType = "_kovali._tcp";
inline constexpr std::string_view domain = "local.";

/// Keys of the advertised TXT record.
// Wire name: the TXT keys phones read before they connect.
namespace TXTKey {
inline constexpr std::string_view session = "session";
inline constexpr std::string_view version = "v";
inline constexpr std::string_view mode = "mode";
inline constexpr std::string_view guests = "guests";
inline constexpr std::string_view playing = "playing";
inline constexpr std::string_view multiroom = "multiroom";
inline constexpr std::string_view audio = "audio";
inline constexpr std::string_view route = "route";
inline constexpr std::string_view heos = "heos";
inline constexpr std::string_view playerError = "playerr";
inline constexpr std::string_view latency = "latency";
}  // namespace TXTKey

}  // namespace Bonjour

}  // namespace vinaro
