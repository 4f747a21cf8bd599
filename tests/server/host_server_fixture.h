#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <QHostAddress>
#include <QTest>
#include <gtest/gtest.h>

#include "server/host_server.h"
#include "server/ready_port.h"
#include "support/fake_service_advertiser.h"
#include "support/guest_client.h"
#include "support/manual_scheduler.h"

namespace kovali {

inline void PrintTo(const ConnectionID& id, std::ostream* out) { *out << id.text(); }

/// A real server on 127.0.0.1 with a fake advertiser and virtual time for its restarts.
/// Everything the server hands its owner is kept.
class HostServerFixture : public ::testing::Test {
 protected:
  explicit HostServerFixture(QHostAddress address = QHostAddress(QHostAddress::LocalHost)) {
    auto fake = std::make_unique<FakeServiceAdvertiser>();
    advertiser = fake.get();
    server = std::make_unique<HostServer>(scheduler, std::move(fake), std::move(address));
    QObject::connect(server.get(), &HostServer::messageReceived,
                     [this](ConnectionID id, const vinaro::Envelope<vinaro::Command>& envelope) {
                       messages.emplace_back(id, envelope);
                     });
    QObject::connect(server.get(), &HostServer::connectionEnded,
                     [this](ConnectionID id) { disconnects.push_back(id); });
  }

  void TearDown() override {
    server->stop();
    scheduler.advance(0);  // lets a cancelled restart finish
  }

  /// Starts the server and confirms its registration; answers the port it listens on.
  std::uint16_t startReady() {
    server->start();
    return confirmReady();
  }

  /// Confirms the registration of the running listener; answers its port.
  std::uint16_t confirmReady() { return confirmReadyPort(*advertiser, *server); }

  [[nodiscard]] bool waitForConnections(int count) {
    return QTest::qWaitFor([&] { return server->connectionCount() == count; }, GuestClient::timeoutMs);
  }
  [[nodiscard]] bool waitForMessages(std::size_t count) {
    return QTest::qWaitFor([&] { return messages.size() >= count; }, GuestClient::timeoutMs);
  }
  [[nodiscard]] bool waitForDisconnects(std::size_t count) {
    return QTest::qWaitFor([&] { return disconnects.size() >= count; }, GuestClient::timeoutMs);
  }

  ManualScheduler scheduler;
  FakeServiceAdvertiser* advertiser = nullptr;  // owned by the server
  std::unique_ptr<HostServer> server;
  std::vector<std::pair<ConnectionID, vinaro::Envelope<vinaro::Command>>> messages;
  std::vector<ConnectionID> disconnects;
};

}  // namespace kovali
