// Bytes a phone, or anyone on the network, might send: each must come back as a refusal with
// the right code and message, never as a crash.

#include <gtest/gtest.h>

#include "codec_invariants.h"
#include "protocol/message_codec.h"
#include "sample_body.h"

namespace vinaro {
namespace {

using test::SampleBody;
using Code = ProtocolError::Code;

std::string repeated(std::string_view piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

std::string nestedArrays(std::size_t depth) { return repeated("[", depth) + repeated("]", depth); }

std::string withPayload(std::string_view type, std::string_view payload) {
  return R"({"v":1,"id":"a","type":")" + std::string(type) + R"(","payload":)" + std::string(payload) + "}";
}

struct Expectation {
  std::optional<Code> code;  // nothing: the message decodes
  std::string prefix;
};

const Expectation kMalformed{Code::badRequest, "Malformed envelope: "};
const Expectation kBadNote{Code::badRequest, "Could not decode 'note': "};
const Expectation kDecodes{std::nullopt, ""};

TEST(HostileMessages, AreRefusedWithTheirCodeAndNeverCrash) {
  constexpr std::size_t kDeep = 100000;
  const std::string note = R"({"text":"t","sentAt":%,"tags":[]})";
  const auto noteWithDate = [&](std::string_view date) {
    std::string payload = note;
    payload.replace(payload.find('%'), 1, date);
    return withPayload("note", payload);
  };
  struct Case {
    std::string name;
    std::string bytes;
    Expectation expected;
  } cases[] = {
      {"unclosed deep arrays", repeated("[", kDeep), kMalformed},
      {"closed deep arrays", nestedArrays(kDeep), kMalformed},
      {"unclosed deep objects", repeated(R"({"a":)", kDeep), kMalformed},
      {"deep arrays as the payload", withPayload("note", nestedArrays(kDeep)), kBadNote},
      {"deep arrays in an ignored key", R"({"v":1,"id":"a","type":"ping","x":)" + nestedArrays(kDeep) + "}", kDecodes},
      {"deep objects in an ignored payload", withPayload("ping", repeated(R"({"a":)", kDeep) + "1" + repeated("}", kDeep)),
       kDecodes},
      {"version beyond double range", R"({"v":1e400,"id":"a","type":"ping"})", kMalformed},
      {"version beyond 64 bits", R"({"v":99999999999999999999999,"id":"a","type":"ping"})", kMalformed},
      {"version just beyond int64", R"({"v":9223372036854775808,"id":"a","type":"ping"})", kMalformed},
      {"negative version beyond 64 bits", R"({"v":-99999999999999999999999,"id":"a","type":"ping"})", kMalformed},
      {"smallest int64 version", R"({"v":-9223372036854775808,"id":"a","type":"ping"})",
       {Code::unsupportedVersion, "Protocol version -9223372036854775808 is not supported"}},
      {"date beyond double range", noteWithDate("1e400"), kMalformed},
      {"date near the double limit", noteWithDate("1.7976931348623157e308"), kDecodes},
      {"tiny date", noteWithDate("4.9e-324"), kDecodes},
      {"invalid UTF-8 byte in a string", "{\"v\":1,\"id\":\"\xff\",\"type\":\"ping\"}", kMalformed},
      {"overlong UTF-8 in a string", "{\"v\":1,\"id\":\"\xc0\xaf\",\"type\":\"ping\"}", kMalformed},
      {"truncated UTF-8 in a string", "{\"v\":1,\"id\":\"\xe2\x82\",\"type\":\"ping\"}", kMalformed},
      {"encoded surrogate in a string", "{\"v\":1,\"id\":\"\xed\xa0\x80\",\"type\":\"ping\"}", kMalformed},
      {"lone escaped surrogate", R"({"v":1,"id":"\ud800","type":"ping"})", kMalformed},
      {"invalid UTF-8 outside strings", "{\"v\":1,\"id\":\"a\",\"type\":\"ping\"}\xff", kMalformed},
      {"NUL inside the text", std::string(R"({"v":1,"id":"a",)") + '\0' + R"("type":"ping"})", kMalformed},
      {"two JSON texts", R"({"v":1,"id":"a","type":"ping"}{})", kMalformed},
      {"payload of the wrong kind", withPayload("note", "[]"), kBadNote},
      {"text of the wrong kind", withPayload("note", R"({"text":1,"sentAt":0,"tags":[]})"), kBadNote},
      {"tag of the wrong kind", withPayload("note", R"({"text":"t","sentAt":0,"tags":["a",false]})"), kBadNote},
      {"date as a boolean", noteWithDate("true"), kBadNote},
      {"escaped slash and unicode", withPayload("note", R"({"text":"a\/b \u00e9","sentAt":0,"tags":[]})"), kDecodes},
  };
  for (const auto& c : cases) {
    const auto decoded = MessageCodec::decode<SampleBody>(c.bytes);
    if (!c.expected.code) {
      EXPECT_TRUE(decoded) << c.name << ": " << decoded.error().message;
    } else {
      ASSERT_FALSE(decoded) << c.name;
      EXPECT_EQ(decoded.error().code, *c.expected.code) << c.name << ": " << decoded.error().message;
      EXPECT_TRUE(decoded.error().message.starts_with(c.expected.prefix)) << c.name << ": " << decoded.error().message;
    }
    EXPECT_EQ(test::codecInvariantViolation<SampleBody>(c.bytes), std::nullopt) << c.name;
  }
}

}  // namespace
}  // namespace vinaro
