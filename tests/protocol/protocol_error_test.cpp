#include <gtest/gtest.h>

#include <unordered_set>

#include "protocol/protocol_error.h"

namespace vinaro {
namespace {

using Code = ProtocolError::Code;

TEST(ProtocolError, CodesTravelAsTheirSnakeCaseRawStrings) {
  const std::pair<Code, const char*> cases[] = {
      {Code::forbidden, "forbidden"},         {Code::notFound, "not_found"},
      {Code::limitReached, "limit_reached"},  {Code::duplicate, "duplicate"},
      {Code::invalidPin, "invalid_pin"},      {Code::musicUnavailable, "music_unavailable"},
      {Code::unsupportedVersion, "unsupported_version"}, {Code::badRequest, "bad_request"},
  };
  const auto all = allCases<Code>();
  ASSERT_EQ(all.size(), 8u);
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i], cases[i].first) << cases[i].second;
    EXPECT_EQ(rawValue(cases[i].first), cases[i].second);
    EXPECT_EQ(enumFromRawValue<Code>(cases[i].second), cases[i].first) << cases[i].second;
  }
  for (const char* unknown : {"NOT_FOUND", "notFound", "", "Forbidden"}) {
    EXPECT_EQ(enumFromRawValue<Code>(unknown), std::nullopt) << unknown;
  }
}

TEST(ProtocolError, FactoriesKeepTheMessageAsGiven) {
  EXPECT_EQ(ProtocolError::invalidPin("Wrong PIN."), (ProtocolError{Code::invalidPin, "Wrong PIN."}));
  EXPECT_EQ(ProtocolError::musicUnavailable(" x ").message, " x ");
  EXPECT_NE(ProtocolError::duplicate("a"), ProtocolError::duplicate("b"));
  EXPECT_NE(ProtocolError::duplicate("a"), ProtocolError::notFound("a"));
  std::unordered_set<ProtocolError> set{ProtocolError::duplicate("a"), ProtocolError::duplicate("a"),
                                        ProtocolError::notFound("a")};
  EXPECT_EQ(set.size(), 2u);
}

TEST(ProtocolError, JSONFormHasCodeAndMessage) {
  EXPECT_EQ(wire::encode(ProtocolError::invalidPin("Wrong PIN.")), R"({"code":"invalid_pin","message":"Wrong PIN."})");
  EXPECT_EQ(wire::decode<ProtocolError>(R"({"message":"That song is already in the queue.","code":"duplicate","x":1})"),
            ProtocolError::duplicate("That song is already in the queue."));
  for (const char* broken : {R"({"code":"teapot","message":"m"})", R"({"code":"duplicate"})",
                             R"({"code":"duplicate","message":5})", R"({"code":3,"message":"m"})"}) {
    EXPECT_FALSE(wire::tryDecode<ProtocolError>(broken)) << broken;
  }
}

}  // namespace
}  // namespace vinaro
