// Cover art over plain HTTP on the guests' own port, beside the phones' WebSockets.

#include <QBuffer>
#include <QImage>
#include <QTcpSocket>
#include <QTest>

#include "server/host_server_fixture.h"
#include "server/http_exchange.h"

namespace kovali {
namespace {

QByteArray get(const QByteArray& target, const QByteArray& headers = {}) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
}

class ArtworkServingTest : public HostServerFixture {
 protected:
  ArtworkServingTest() {
    server->setArtworkLookup([this](const std::string& id) -> std::function<QImage()> {
      asked.push_back(id);
      if (id != "c0ffee") return {};
      return [] {
        QImage cover(300, 150, QImage::Format_RGB32);
        cover.fill(QColor(200, 30, 40));
        return cover;
      };
    });
    port = startReady();
  }

  std::vector<std::string> asked;
  std::uint16_t port = 0;
};

TEST_F(ArtworkServingTest, ServesTheCoverScaledToFitAsJPEGWithCachingHeaders) {
  const auto answer = exchange(port, get("/artwork/c0ffee/64x64.jpg"));
  ASSERT_EQ(answer.status(), 200) << answer.bytes.left(200).toStdString();
  EXPECT_EQ(answer.header("Content-Type"), "image/jpeg");
  EXPECT_EQ(answer.header("Cache-Control"), "public, max-age=86400");
  EXPECT_FALSE(answer.header("ETag").isEmpty());
  EXPECT_EQ(answer.header("Content-Length").toLongLong(), answer.body().size());
  const QImage picture = QImage::fromData(answer.body(), "JPEG");
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(64, 32)) << "fits the box, keeping its shape";
  EXPECT_NEAR(QColor(picture.pixel(32, 16)).red(), 200, 12);
  EXPECT_TRUE(answer.closed);

  const QByteArray etag = "If-None-Match: " + answer.header("ETag") + "\r\n";
  const auto again = exchange(port, get("/artwork/c0ffee/64x64.jpg", etag));
  EXPECT_EQ(again.status(), 304);
  EXPECT_TRUE(again.body().isEmpty());

  const auto head = exchange(port, "HEAD /artwork/c0ffee/2000x1000.jpg HTTP/1.1\r\n\r\n");
  EXPECT_EQ(head.status(), 200);
  EXPECT_TRUE(head.body().isEmpty());
  const auto large = exchange(port, get("/artwork/c0ffee/2000x1000.jpg"));
  EXPECT_EQ(QImage::fromData(large.body(), "JPEG").size(), QSize(1024, 512)) << "at most 1024 on a side";
}

TEST_F(ArtworkServingTest, OtherAddressesAreNotFoundAndNoPathReachesTheLookup) {
  const QByteArray targets[] = {
      "/artwork/../../etc/passwd",           "/artwork/%2e%2e/%2e%2e/etc/passwd/1x1.jpg",
      "/artwork/c0ffee/../../../etc/passwd", "/etc/passwd",
      "/artwork/unknown/10x10.jpg",          "/",
  };
  for (const auto& target : targets) {
    const auto answer = exchange(port, get(target));
    EXPECT_EQ(answer.status(), 404) << target.toStdString();
    EXPECT_TRUE(answer.closed) << target.toStdString();
  }
  EXPECT_EQ(asked, std::vector<std::string>{"unknown"}) << "only plain ids are looked up";
}

TEST_F(ArtworkServingTest, HugeRequestsGetABadRequestAndAreClosed) {
  const auto longPath = exchange(port, get("/artwork/" + QByteArray(100 * 1024, 'a') + "/1x1.jpg"));
  EXPECT_EQ(longPath.status(), 400);
  EXPECT_TRUE(longPath.closed);

  QByteArray headers;
  while (headers.size() < 10 * 1024 * 1024) headers += "X-Filler: " + QByteArray(1000, 'x') + "\r\n";
  const auto manyHeaders = exchange(port, get("/artwork/c0ffee/1x1.jpg", headers));
  EXPECT_EQ(manyHeaders.status(), 400);
  EXPECT_TRUE(manyHeaders.closed);
  EXPECT_TRUE(asked.empty());
}

TEST_F(ArtworkServingTest, APhoneAndAnArtworkRequestShareThePortAtOnce) {
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  QTcpSocket pending;  // an artwork request that has begun but not ended
  pending.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
  ASSERT_TRUE(pending.waitForConnected(GuestClient::timeoutMs));
  pending.write("GET /artwork/c0ffee/");

  phone.sendCommand("M1", {vinaro::Command::Pause{}});
  ASSERT_TRUE(waitForMessages(1));
  const auto answer = exchange(port, get("/artwork/c0ffee/10x10.jpg"));
  EXPECT_EQ(answer.status(), 200);
  pending.write("8x8.jpg HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return pending.bytesAvailable() > 0; }, GuestClient::timeoutMs));
  EXPECT_TRUE(pending.readAll().startsWith("HTTP/1.1 200 OK"));
  EXPECT_EQ(server->connectionCount(), 1) << "the artwork requests are no guests";
}

TEST_F(ArtworkServingTest, TheArtworkAddressIsToldOnceThePortListensBeforeTheServiceRegisters) {
  server->stop();
  std::vector<std::optional<std::string>> told;
  QObject::connect(server.get(), &HostServer::listeningChanged, server.get(),
                   [&] { told.push_back(server->artworkAddress()); });
  server->start();
  ASSERT_EQ(told.size(), 1u);
  ASSERT_TRUE(told.back().has_value());
  EXPECT_TRUE(told.back()->starts_with("http://")) << *told.back();
  EXPECT_TRUE(std::holds_alternative<HostServerStatus::Starting>(server->status().value)) << "not registered yet";
  server->stop();
  EXPECT_EQ(told.back(), std::nullopt);
}

TEST_F(ArtworkServingTest, TheArtworkAddressNamesTheHostAndItsPort) {
  server->setHTTPHostName("party.local");
  EXPECT_EQ(server->artworkAddress(), "http://party.local:" + std::to_string(port));
  server->stop();
  EXPECT_EQ(server->artworkAddress(), std::nullopt);
}

}  // namespace
}  // namespace kovali
