#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovali {

/// The address of the library's own cover art as songs carry it: "/artwork/<id>/{w}x{h}.jpg",
/// relative to wherever this host serves it.
std::string localArtworkTemplate(std::string_view id);

/// Where this host serves its library's cover art to the local network, such as
/// "http://party.local:41234"; none while it serves none. One for the process, any thread.
std::optional<std::string> localArtworkAddress();
void setLocalArtworkAddress(std::optional<std::string> address);

/// `artworkTemplate` pointed at `address` when it names this host's art (served here in an
/// earlier run, say); any other template unchanged.
std::string rebasedArtworkTemplate(const std::string& artworkTemplate, const std::string& address);

}  // namespace kovali
