#include "app/party/party_snapshot.h"

#include "server/host_server.h"

namespace kovali {

PartySnapshot PartySnapshot::of(std::shared_ptr<const vinaro::SessionState> state, const HostServer& server,
                                std::size_t partygoerCount) {
  return {std::move(state), server.status(), server.advertisedName(), partygoerCount};
}

}  // namespace kovali
