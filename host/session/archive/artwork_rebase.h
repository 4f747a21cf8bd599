#pragma once

#include <string>

#include "model/session_state.h"

namespace kovali {

/// `state` with every artwork template that names this host's cover art (from an earlier run,
/// on another port) pointed at `address`; other templates unchanged.
vinaro::SessionState withArtworkAt(vinaro::SessionState state, const std::string& address);

}  // namespace kovali
