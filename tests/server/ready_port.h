#pragma once

#include <cstdint>
#include <variant>

#include <gtest/gtest.h>

#include "server/host_server.h"
#include "support/fake_service_advertiser.h"

namespace kovali {

/// Confirms the registration of the server's running listener and answers its port; 0 after
/// a recorded failure.
inline std::uint16_t confirmReadyPort(FakeServiceAdvertiser& advertiser, const HostServer& server) {
  if (!advertiser.published()) {
    ADD_FAILURE() << "the server published nothing";
    return 0;
  }
  advertiser.confirmRegistration();
  const auto* ready = std::get_if<HostServer::Status::Ready>(&server.status().value);
  if (!ready) {
    ADD_FAILURE() << "not ready after registration: " << server.status();
    return 0;
  }
  return ready->port;
}

}  // namespace kovali
