#pragma once

#include <string>
#include <string_view>

namespace kovali {

/// The "file://" address of a file, every byte outside the unreserved set percent-encoded so
/// that any file name survives the round trip.
std::string fileURL(std::string_view path);

/// The local file path of a song's location: the path itself, or the path of a file:// URL.
std::string localPath(const std::string& location);

}  // namespace kovali
