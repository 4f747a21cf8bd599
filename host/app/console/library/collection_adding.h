#pragma once

#include <qcoro/qcorotask.h>

#include <optional>
#include <string>

#include "model/session_state.h"
#include "protocol/protocol_error.h"

namespace kovali {

class SessionStore;

/// The refusal of an album or playlist without a song that can be played.
vinaro::ProtocolError noPlayableSongs(const vinaro::PlaylistRef& ref);

/// Appends every playable song of the album or playlist `ref` to the queue as the host, with
/// `ref` as the session's source; answers the failure, or nothing once the songs are queued.
/// It leaves the store's `lastHostError` alone. The store must outlive the task.
QCoro::Task<std::optional<vinaro::ProtocolError>> addCollection(SessionStore& store, vinaro::PlaylistRef ref);

}  // namespace kovali
