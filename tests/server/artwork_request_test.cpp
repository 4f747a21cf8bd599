#include "server/artwork_request.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

std::string head(const std::string& requestLine, const std::string& headers = "") {
  return requestLine + "\r\n" + headers + "\r\n";
}

TEST(ArtworkRequest, ReadsTheIdAndTheSizeCappedAt1024) {
  struct Case {
    const char* name;
    std::string head;
    ArtworkRequest expected;
  } cases[] = {
      {"GET", head("GET /artwork/a1b2/300x200.jpg HTTP/1.1", "Host: x\r\n"), {"a1b2", 300, 200, false, std::nullopt}},
      {"HEAD", head("HEAD /artwork/a1b2/64x64.jpg HTTP/1.0"), {"a1b2", 64, 64, true, std::nullopt}},
      {"huge", head("GET /artwork/a1b2/99999x4096.jpg HTTP/1.1"), {"a1b2", 1024, 1024, false, std::nullopt}},
      {"etag", head("GET /artwork/a1b2/1x1.jpg HTTP/1.1", "if-none-match:  \"abc\" \r\n"),
       {"a1b2", 1, 1, false, std::string("\"abc\"")}},
  };
  for (const auto& c : cases) {
    const auto parsed = parseArtworkRequest(c.head);
    ASSERT_TRUE(std::holds_alternative<ArtworkRequest>(parsed)) << c.name;
    EXPECT_EQ(std::get<ArtworkRequest>(parsed), c.expected) << c.name;
  }
}

TEST(ArtworkRequest, AnythingElseIsNotFoundAndWhatIsNotHTTPIsABadRequest) {
  struct Case {
    std::string head;
    int status;
  } cases[] = {
      {head("GET /artwork/../../etc/passwd HTTP/1.1"), 404},
      {head("GET /artwork/%2e%2e/%2e%2e/etc/passwd/1x1.jpg HTTP/1.1"), 404},
      {head("GET /artwork/a1b2/../../etc/1x1.jpg HTTP/1.1"), 404},
      {head("GET /artwork/a.b/1x1.jpg HTTP/1.1"), 404},
      {head("GET /artwork/a1b2/0x10.jpg HTTP/1.1"), 404},
      {head("GET /artwork/a1b2/10x10.png HTTP/1.1"), 404},
      {head("GET /artwork/a1b2/10x10.jpg?x=1 HTTP/1.1"), 404},
      {head("GET /artwork/" + std::string(65, 'a') + "/1x1.jpg HTTP/1.1"), 404},
      {head("POST /artwork/a1b2/1x1.jpg HTTP/1.1"), 404},
      {head("GET /etc/passwd HTTP/1.1"), 404},
      {head("GET /artwork/a1b2/1x1.jpg SPDY/3"), 400},
      {head("GET"), 400},
      {"\r\n", 400},
  };
  for (const auto& c : cases) {
    const auto parsed = parseArtworkRequest(c.head);
    ASSERT_TRUE(std::holds_alternative<HTTPRefusal>(parsed)) << c.head;
    EXPECT_EQ(std::get<HTTPRefusal>(parsed).status, c.status) << c.head;
  }
}

TEST(ArtworkRequest, TellsAWebSocketUpgradeByItsHeader) {
  EXPECT_TRUE(isWebSocketUpgrade(head("GET / HTTP/1.1", "Connection: Upgrade\r\nUpgrade: WebSocket\r\n")));
  EXPECT_FALSE(isWebSocketUpgrade(head("GET /artwork/a/1x1.jpg HTTP/1.1", "X-Upgrade: websocket\r\n")));
}

}  // namespace
}  // namespace kovali
