#pragma once

#include <string>

namespace vinaro {

/// A new random (version 4) UUID in its upper-case 8-4-4-4-12 text form.
std::string makeUUIDString();

}  // namespace vinaro
