#include "app/party/party_snapshot.h"

#include "server/host_server.h"

namespace kovali {

PartySnapshot PartySnapshot::of(const vinaro::SessionState& state, const HostServer& server,
                                std::size_t partygoerCount) {
  return {state, server.status(), server.advertisedName(), partygoerCount};
}

}  // namespace kovali
