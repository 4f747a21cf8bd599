#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vinaro {

/// A new random (version 4) UUID in its upper-case 8-4-4-4-12 text form, every random bit drawn
/// from the operating system.
std::string makeUUIDString();

/// `bytes` in the upper-case 8-4-4-4-12 text form of a UUID, as they stand.
std::string uuidText(const std::array<std::uint8_t, 16>& bytes);

}  // namespace vinaro
