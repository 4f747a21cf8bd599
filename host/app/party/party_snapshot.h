#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "model/session_state.h"
#include "server/host_server_status.h"

namespace kovali {

class HostServer;

/// Everything the party screen shows, read from the live session and the guest server.
struct PartySnapshot {
  /// Shared with the store, which never changes a state it has handed out.
  std::shared_ptr<const vinaro::SessionState> state = std::make_shared<const vinaro::SessionState>();
  HostServerStatus serverStatus;
  /// The Bonjour name the host is registered under; none until the registration is confirmed.
  std::optional<std::string> advertisedName;
  /// Phones that have said hello; the host is not one of them.
  std::size_t partygoerCount = 0;

  static PartySnapshot of(std::shared_ptr<const vinaro::SessionState> state, const HostServer& server,
                          std::size_t partygoerCount);
};

}  // namespace kovali
