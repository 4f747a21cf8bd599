#include "heos/ssdp_discovery.h"

#include <memory>

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include "support/task_result.h"

namespace kovali {
namespace {

const QByteArray kHEOSAnswer =
    "HTTP/1.1 200 OK\r\nST: urn:schemas-denon-com:device:ACT-Denon:1\r\nUSN: uuid:1::urn:schemas-denon-com\r\n\r\n";

/// Stands in for the multicast group on 127.0.0.1: it keeps every search it receives, and
/// devices on 127.0.0.2 and 127.0.0.3 answer each one (the second device first, the first time
/// only), along with another UPnP device on 127.0.0.4 and some malformed answers.
class LoopbackResponder {
 public:
  LoopbackResponder() {
    ok = listener.bind(QHostAddress("127.0.0.1"), 0) && first.bind(QHostAddress("127.0.0.2"), 0) &&
         second.bind(QHostAddress("127.0.0.3"), 0) && other.bind(QHostAddress("127.0.0.4"), 0);
    QObject::connect(&listener, &QUdpSocket::readyRead, [this] { answer(); });
  }

  SSDPTarget target() const { return {"127.0.0.1", listener.localPort()}; }

  bool ok = false;
  std::vector<QByteArray> searches;

 private:
  void answer() {
    while (listener.hasPendingDatagrams()) {
      const QNetworkDatagram search = listener.receiveDatagram();
      searches.push_back(search.data());
      const auto reply = [&](QUdpSocket& from, const QByteArray& bytes) {
        from.writeDatagram(bytes, search.senderAddress(), search.senderPort());
      };
      reply(other, "HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\n\r\n");
      reply(other, QByteArray());
      if (searches.size() == 1) reply(second, "\xff\xfe" + kHEOSAnswer);  // invalid bytes, then the word
      reply(first, QByteArray(kHEOSAnswer).replace("ACT-Denon", "act-denon"));
      reply(second, kHEOSAnswer);
    }
  }

  QUdpSocket listener;
  QUdpSocket first;
  QUdpSocket second;
  QUdpSocket other;
};

TEST(SSDPDiscoveryTest, TheSearchIsTheSixLineMSearchForHEOSDevices) {
  EXPECT_EQ(ssdpSearchMessage().size(), 126u);
  EXPECT_TRUE(ssdpSearchMessage().starts_with("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"));
  EXPECT_TRUE(ssdpSearchMessage().ends_with("ST: urn:schemas-denon-com:device:ACT-Denon:1\r\n\r\n"));
  EXPECT_EQ(SSDPTarget{}.address, "239.255.255.250");
  EXPECT_EQ(SSDPTarget{}.port, 1900);
}

TEST(SSDPDiscoveryTest, SearchesThreeTimesAndListsEachDeviceOnceInFirstAnswerOrder) {
  LoopbackResponder responder;
  ASSERT_TRUE(responder.ok);

  const auto found = waitForResult(searchSSDP(2.5, responder.target()));

  ASSERT_TRUE(found.has_value()) << "the scan did not end";
  EXPECT_EQ(*found, (std::vector<std::string>{"127.0.0.3", "127.0.0.2"}));
  ASSERT_EQ(responder.searches.size(), 3u);
  for (const auto& search : responder.searches) EXPECT_EQ(search.toStdString(), ssdpSearchMessage());
}

TEST(SSDPDiscoveryTest, ATimeoutOfZeroSendsNothing) {
  LoopbackResponder responder;
  ASSERT_TRUE(responder.ok);

  EXPECT_TRUE(scanSSDP(0, responder.target()).empty());
  EXPECT_TRUE(scanSSDP(-1, responder.target()).empty());
  QTest::qWait(100);
  EXPECT_TRUE(responder.searches.empty());
}

}  // namespace
}  // namespace kovali
