#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kovali {

/// Whether the list of HEOS player ids holds `id`.
inline bool containsID(const std::vector<std::int64_t>& ids, std::int64_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace kovali
