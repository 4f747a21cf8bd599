#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/session_state.h"
#include "music/music_service.h"
#include "protocol/protocol_error.h"
#include "server/host_server_status.h"

namespace kovali {

class SessionStore;

/// Everything the DJ console shows, read from the session store and its services at one moment.
struct ConsoleSnapshot {
  /// Shared with the store, which never changes a state it has handed out.
  std::shared_ptr<const vinaro::SessionState> state = std::make_shared<const vinaro::SessionState>();
  /// One entry per phone connection that said hello; the host is never among them.
  std::vector<vinaro::Participant> participants;
  std::optional<vinaro::ProtocolError> lastHostError;
  std::optional<std::string> playbackError;
  std::optional<std::string> saveProblem;
  std::optional<std::string> transportNotice;
  MusicService::Availability availability = MusicService::Unknown{};
  HostServerStatus serverStatus;

  static ConsoleSnapshot of(const SessionStore& store);
};

}  // namespace kovali
