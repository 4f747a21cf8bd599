#include "audio/stream/stream_request.h"

#include <gtest/gtest.h>

#include "audio/stream/stream_request_invariants.h"
#include "support/fuzz_corpus.h"

namespace kovali {
namespace {

using stream_request::Request;

TEST(StreamRequest, ReadsTheMethodAndThePathWithoutItsQuery) {
  struct Case {
    const char* head;
    std::optional<Request> request;
  };
  const Case cases[] = {
      {"GET /stream.m3u8 HTTP/1.1\r\nHost: x", Request{"GET", "/stream.m3u8"}},
      {"GET /stream.m3u8?_HLS_msn=3&x=?y HTTP/1.1", Request{"GET", "/stream.m3u8"}},
      {"HEAD  /init.mp4   HTTP/1.0", Request{"HEAD", "/init.mp4"}},
      {"\r\n\r\nPOST /seg5.m4s HTTP/1.1", Request{"POST", "/seg5.m4s"}},
      {"GET", Request{"GET", "/"}},
      {"GET /seg1.m4s", Request{"GET", "/seg1.m4s"}},
      {"", Request{"GET", "/"}},
      {"GET ?only HTTP/1.1", Request{"GET", "only"}},
      {"GET ??? HTTP/1.1", Request{"GET", "???"}},
      {"GET /a HTTP/2.0", std::nullopt},
      {"GET /a HTTP/1.1 extra", std::nullopt},
      {"GET /a http/1.1", std::nullopt},
      {"GET /a HTTP/1.x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stream_request::parse(c.head), c.request) << '"' << c.head << '"';
  }
  EXPECT_TRUE(stream_request::parse("HEAD / HTTP/1.1")->isHead());
  EXPECT_FALSE(stream_request::parse("head / HTTP/1.1")->isHead());
}

TEST(StreamRequest, FindsTheHeadEndOnlyAtABlankLineOfCarriageReturns) {
  EXPECT_EQ(stream_request::headEnd("GET / HTTP/1.1\r\n\r\nbody"), 14u);
  EXPECT_EQ(stream_request::headEnd("\r\n\r\n"), 0u);
  EXPECT_EQ(stream_request::headEnd("GET / HTTP/1.1\n\n"), std::nullopt);
  EXPECT_EQ(stream_request::headEnd("GET / HTTP/1.1\r\n\r"), std::nullopt);
  EXPECT_EQ(stream_request::headEnd("ab\r\n\r\ncd\r\n\r\n", 3), 8u);  // searches from where it is told
}

TEST(StreamRequest, ResponseHeadHasExactlyTheFourHeadersInOrder) {
  EXPECT_EQ(stream_request::responseHead("404 Not Found", "text/plain", 10),
            "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n"
            "Cache-Control: no-cache, no-store\r\nConnection: close\r\n\r\n");
}

TEST(StreamRequest, EveryKeptFuzzInputKeepsTheRules) {
  const auto inputs = test::readFuzzCorpus(KOVALI_STREAM_REQUEST_CORPUS_DIR);
  for (const auto& [name, bytes] : inputs) {
    EXPECT_EQ(test::streamRequestInvariantViolation(bytes), std::nullopt) << name;
  }
  EXPECT_GE(inputs.size(), 5u) << "no corpus at " << KOVALI_STREAM_REQUEST_CORPUS_DIR;
}

}  // namespace
}  // namespace kovali
