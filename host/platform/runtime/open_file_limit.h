#pragma once

#include <cstddef>

namespace kovali {

/// How many files this process may have open now (1,024 where it cannot be read or is unlimited).
std::size_t openFileLimit();

/// Raises the open-file limit to the most the system allows this process: every phone holds a
/// descriptor, and the usual soft limit of 1,024 runs out long before a festival's party does.
void raiseOpenFileLimit();

}  // namespace kovali
