// The phones' WebSocket upgrade on the guests' port, taken or refused as raw HTTP over loopback.

#include "server/host_server_fixture.h"
#include "server/http_exchange.h"

namespace kovali {
namespace {

class WebSocketHandshakeTest : public HostServerFixture {
 protected:
  void SetUp() override { port = startReady(); }
  std::uint16_t port = 0;
};

TEST_F(WebSocketHandshakeTest, TakesAVersion13UpgradeAndAnswersAndClosesEveryOtherOne) {
  // The example request of the WebSocket protocol, with one thing changed a row.
  const QByteArray upgrade =
      "GET /chat HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
  struct Case {
    const char* name;
    QByteArray from, to;
    int status;
    QByteArray header = "Content-Length", value = "0";  // what each refusal carries
  } cases[] = {
      {"as it stands", "", "", 101, "Sec-WebSocket-Accept", "s3pPLMBiTxaQ9kYGzzhZRbK+xOo="},
      {"a list of connection tokens", "Connection: Upgrade", "connection: keep-alive, upgrade", 101, "Upgrade",
       "websocket"},
      {"Connection on two lines, upgrade last", "Connection: Upgrade", "Connection: keep-alive\r\nConnection: Upgrade",
       101, "Upgrade", "websocket"},
      {"Connection on two lines, upgrade first", "Connection: Upgrade", "Connection: Upgrade\r\nConnection: keep-alive",
       101, "Upgrade", "websocket"},
      {"Upgrade on two lines", "Upgrade: websocket", "Upgrade: h2c\r\nUpgrade: websocket", 101, "Upgrade", "websocket"},
      {"Connection on two lines, neither upgrade", "Connection: Upgrade", "Connection: keep-alive\r\nConnection: close",
       400},
      {"Upgrade on two lines, neither websocket", "Upgrade: websocket", "Upgrade: h2c\r\nUpgrade: websocket2", 404},
      {"HTTP/1.0", "HTTP/1.1", "HTTP/1.0", 400},
      {"no Host", "Host: 127.0.0.1\r\n", "", 400},
      {"no Connection", "Connection: Upgrade\r\n", "", 400},
      {"Connection: keep-alive", "Connection: Upgrade", "Connection: keep-alive", 400},
      {"a key of 15 bytes", "dGhlIHNhbXBsZSBub25jZQ==", "AAAAAAAAAAAAAAAAAAAA", 400},
      {"a key of 17 bytes", "dGhlIHNhbXBsZSBub25jZQ==", "AAAAAAAAAAAAAAAAAAAAAAA=", 400},
      {"a key that is not base64", "dGhlIHNhbXBsZSBub25jZQ==", "dGhlIHNhbXBsZSBub25jZ!==", 400},
      {"no version", "Sec-WebSocket-Version: 13\r\n", "", 400},
      {"version 8", "Version: 13", "Version: 8", 426, "Sec-WebSocket-Version", "13"},
  };
  std::vector<QByteArray> requests;
  for (const auto& c : cases)
    requests.push_back(c.from.isEmpty() ? upgrade : QByteArray(upgrade).replace(c.from, c.to));
  const auto answers = exchangeAll(port, requests);
  ASSERT_EQ(answers.size(), std::size(cases));
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(answers[i].status(), c.status) << c.name << ": " << answers[i].bytes.toStdString();
    EXPECT_EQ(answers[i].closed, c.status != 101) << c.name;
    EXPECT_EQ(answers[i].header(c.header), c.value) << c.name;
  }
}

}  // namespace
}  // namespace kovali
