// The listener, its advertisement and its restarts. Restarts run in virtual time.

#include "server/host_server.h"

#include <QSignalSpy>
#include <QTcpServer>

#include "server/host_server_fixture.h"

namespace kovali {
namespace {

using Status = HostServer::Status;

const AdvertiserError daemonGone{AdvertiserError::Kind::serviceNotRunning, "Daemon not running."};

class HostServerTest : public HostServerFixture {};

TEST_F(HostServerTest, AdvertisesItsPortAndIsReadyOnceRegistered) {
  server->setServiceName("Party");
  server->setSessionID("S1");
  QSignalSpy statusChanges(server.get(), &HostServer::statusChanged);

  server->start();
  EXPECT_EQ(server->status(), Status::starting());
  ASSERT_TRUE(advertiser->published());
  const ServiceRecord record = *advertiser->published();
  EXPECT_EQ(record.name, "Party");
  EXPECT_EQ(record.type, "_kovali._tcp");
  EXPECT_EQ(record.txt, (TXTRecord{{"session", "S1"}, {"v", "1"}}));
  ASSERT_NE(record.port, 0);
  GuestClient phone;
  EXPECT_TRUE(phone.connectTo(record.port)) << "the advertised port is the one listening";

  advertiser->confirmRegistration("Party #2");  // the name was taken on the network
  EXPECT_EQ(server->advertisedName(), "Party #2");
  EXPECT_EQ(server->status(), Status::ready(record.port));
  EXPECT_EQ(statusChanges.count(), 2);
}

TEST_F(HostServerTest, BacksOffOneTwoFourEightSixteenThenThirtySecondsAndResetsOnceReady) {
  server->start();
  const double delays[] = {1, 2, 4, 8, 16, 30, 30};
  for (std::size_t failure = 0; failure < std::size(delays); ++failure) {
    SCOPED_TRACE("failure " + std::to_string(failure + 1));
    advertiser->failPublishing(daemonGone);
    ASSERT_TRUE(std::holds_alternative<Status::Failed>(server->status().value)) << server->status();
    const auto tries = advertiser->registrations;

    scheduler.advance(delays[failure] - 0.5);
    EXPECT_EQ(advertiser->registrations, tries) << "restarted too early";
    scheduler.advance(0.5);
    EXPECT_EQ(advertiser->registrations, tries + 1) << "not restarted after " << delays[failure] << " s";
    EXPECT_EQ(server->status(), Status::starting());
  }

  advertiser->confirmRegistration();
  ASSERT_TRUE(std::holds_alternative<Status::Ready>(server->status().value));
  advertiser->failPublishing(daemonGone);
  const auto tries = advertiser->registrations;
  scheduler.advance(1);
  EXPECT_EQ(advertiser->registrations, tries + 1) << "a ready listener starts the sequence again at 1 s";
}

TEST_F(HostServerTest, StopWithdrawsTheServiceAndForgetsTheName) {
  startReady();
  server->stop();
  EXPECT_FALSE(advertiser->published());
  EXPECT_EQ(server->advertisedName(), std::nullopt);
  EXPECT_EQ(server->status(), Status::stopped());
}

TEST_F(HostServerTest, StopCancelsAPendingRestart) {
  server->start();
  advertiser->failPublishing(daemonGone);
  server->stop();
  scheduler.advance(60);

  EXPECT_EQ(server->status(), Status::stopped());
  EXPECT_EQ(advertiser->registrations, 1);
  EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(HostServerTest, AFailureTellsWhatHappenedAndThatItRetries) {
  struct Case {
    const char* name;
    AdvertiserError error;
    std::string status;
  } cases[] = {
      {"access denied", {AdvertiserError::Kind::accessDenied, "Access denied."},
       "The system is blocking local network access. Allow publishing in the avahi-daemon settings. "
       "Retrying automatically."},
      {"daemon gone", daemonGone,
       "This computer's Bonjour service stopped answering. Check that avahi-daemon is running. Retrying automatically."},
      {"other", {AdvertiserError::Kind::other, "Local name collision."}, "Local name collision. Retrying automatically."},
      {"other without a full stop", {AdvertiserError::Kind::other, "Bad state"}, "Bad state. Retrying automatically."},
  };
  for (const auto& c : cases) {
    server->start();
    advertiser->confirmRegistration();
    advertiser->failPublishing(c.error);
    EXPECT_EQ(server->status(), Status::failed(c.status)) << c.name;
    EXPECT_EQ(server->advertisedName(), std::nullopt) << c.name;
    server->stop();
  }
}

TEST_F(HostServerTest, PublishesChangedTXTPairsOnceAndKeepsThemWhileStopped) {
  server->setSessionID("S1");
  server->start();
  server->setExtraTXT({{"guests", "2"}});
  server->setExtraTXT({{"guests", "2"}});
  EXPECT_EQ(advertiser->txtUpdates, 1);

  server->setExtraTXT({{"guests", "2"}, {"v", "9"}});
  EXPECT_EQ(advertiser->published()->txt, (TXTRecord{{"session", "S1"}, {"v", "9"}, {"guests", "2"}}));

  server->stop();
  server->setExtraTXT({{"mode", "suggestion"}});
  EXPECT_FALSE(advertiser->published());
  server->start();
  ASSERT_TRUE(advertiser->published());
  EXPECT_EQ(advertiser->published()->txt, (TXTRecord{{"session", "S1"}, {"v", "1"}, {"mode", "suggestion"}}));
}

TEST_F(HostServerTest, IgnoresAdvertisingReportsWhileNoListenerRuns) {
  // Called directly, as an advertiser that did not drop a late report would.
  startReady();
  advertiser->failPublishing(daemonGone);
  const Status failed = server->status();
  emit advertiser->registered("Late");
  emit advertiser->failed(daemonGone);
  EXPECT_EQ(server->status(), failed);
  EXPECT_EQ(server->advertisedName(), std::nullopt);

  server->stop();
  emit advertiser->registered("Late");
  emit advertiser->failed(daemonGone);
  EXPECT_EQ(server->status(), Status::stopped());
  EXPECT_EQ(server->advertisedName(), std::nullopt);
  scheduler.advance(60);
  EXPECT_EQ(advertiser->registrations, 1) << "no restart came of the late failure";
}

TEST_F(HostServerTest, OpenConnectionsOutliveAFailedListenerAndHandshakesUnderWayGoWithIt) {
  const auto port = startReady();
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  ASSERT_TRUE(waitForConnections(1));
  QTcpSocket underWay;
  underWay.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
  ASSERT_TRUE(underWay.waitForConnected(GuestClient::timeoutMs));
  underWay.write("GET / HTTP/1.1\r\nUpgrade: websocket\r\n");
  QTest::qWait(100);

  advertiser->failPublishing(daemonGone);
  EXPECT_TRUE(QTest::qWaitFor([&] { return underWay.state() == QAbstractSocket::UnconnectedState; },
                              GuestClient::timeoutMs));
  scheduler.advance(1);
  const auto newPort = confirmReady();
  phone.sendCommand("M1", {vinaro::Command::Pause{}});
  ASSERT_TRUE(waitForMessages(1));
  EXPECT_EQ(messages[0].first.text(), "c1");
  EXPECT_TRUE(disconnects.empty());

  GuestClient second;
  ASSERT_TRUE(second.connectTo(newPort));
  ASSERT_TRUE(waitForConnections(2));
}

TEST_F(HostServerTest, ARestartListensOnThePortItHadSoPhonesThatRememberedItStillReachIt) {
  const auto port = startReady();
  advertiser->failPublishing(daemonGone);
  scheduler.advance(1);
  EXPECT_EQ(confirmReady(), port);
  GuestClient phone;
  EXPECT_TRUE(phone.connectTo(port));
}

TEST_F(HostServerTest, ARestartWhoseOldPortWasTakenListensOnAnotherOne) {
  const auto port = startReady();
  advertiser->failPublishing(daemonGone);
  QTcpServer squatter;
  ASSERT_TRUE(squatter.listen(QHostAddress(QHostAddress::LocalHost), port));
  scheduler.advance(1);
  const auto newPort = confirmReady();
  EXPECT_NE(newPort, port);
  GuestClient phone;
  EXPECT_TRUE(phone.connectTo(newPort));
}

/// Listening fails on an address this machine does not have; nothing is ever sent to it.
class UnbindableHostServerTest : public HostServerFixture {
 protected:
  UnbindableHostServerTest() : HostServerFixture(QHostAddress(QStringLiteral("192.0.2.1"))) {}
};

TEST_F(UnbindableHostServerTest, ACreationFailureRetriesWithTheSameBackOff) {
  QSignalSpy statusChanges(server.get(), &HostServer::statusChanged);
  server->start();
  const auto* failed = std::get_if<Status::Failed>(&server->status().value);
  ASSERT_TRUE(failed) << server->status();
  EXPECT_TRUE(failed->message.starts_with("Could not create the listener: ")) << failed->message;
  EXPECT_TRUE(failed->message.ends_with(". Retrying automatically.")) << failed->message;
  EXPECT_FALSE(advertiser->published());

  statusChanges.clear();
  scheduler.advance(1);
  EXPECT_EQ(statusChanges.count(), 2) << "starting, then failed again";
  scheduler.advance(1);
  EXPECT_EQ(statusChanges.count(), 2) << "the second retry waits 2 s";
  scheduler.advance(1);
  EXPECT_EQ(statusChanges.count(), 4);
}

}  // namespace
}  // namespace kovali
