#include "protocol/message_codec.h"

#include <gtest/gtest.h>

#include <limits>

#include "codec_invariants.h"
#include "sample_body.h"

namespace vinaro {
namespace {

using test::SampleBody;
using Code = ProtocolError::Code;

SampleBody sampleNote() {
  return SampleBody::note({.text = "hi", .sentAt = Date::fromSecondsSince1970(1.5), .link = "https://x.test/a/b",
                         .tags = {"b", "a"}});
}

TEST(MessageCodec, EncodesAnEnvelopeCompactWithSortedKeysAndNullReplyTo) {
  const Envelope<SampleBody> envelope{.id = "A1", .body = sampleNote()};
  EXPECT_EQ(MessageCodec::encode(envelope),
            R"({"id":"A1","payload":{"link":"https://x.test/a/b","sentAt":1500,"tags":["b","a"],"text":"hi"},)"
            R"("replyTo":null,"type":"note","v":1})");
}

TEST(MessageCodec, EncodesABodilessEnvelopeWithAnEmptyPayloadAndItsReplyTo) {
  const Envelope<SampleBody> envelope{.id = "P", .replyTo = "Q", .body = SampleBody::ping()};
  EXPECT_EQ(MessageCodec::encode(envelope), R"({"id":"P","payload":{},"replyTo":"Q","type":"ping","v":1})");
}

TEST(MessageCodec, KeepsFractionsOfAMillisecond) {
  auto body = sampleNote();
  std::get<SampleBody::Note>(body.value).sentAt = Date{1500.25};
  const Envelope<SampleBody> envelope{.id = "A", .body = body};
  const std::string bytes = MessageCodec::encode(envelope);
  EXPECT_NE(bytes.find(R"("sentAt":1500.25)"), std::string::npos) << bytes;
  EXPECT_EQ(MessageCodec::decode<SampleBody>(bytes), envelope);
}

TEST(MessageCodec, RefusesToEncodeANonFiniteNumber) {
  auto body = sampleNote();
  std::get<SampleBody::Note>(body.value).sentAt = Date{std::numeric_limits<double>::quiet_NaN()};
  EXPECT_THROW(MessageCodec::encode(Envelope<SampleBody>{.id = "A", .body = body}), wire::EncodeError);
}

TEST(MessageCodec, ReadsAMissingOrNullReplyToAsAbsent) {
  struct Case {
    const char* name;
    const char* bytes;
    std::optional<std::string> replyTo;
  } cases[] = {
      {"missing", R"({"v":1,"id":"a","type":"ping"})", std::nullopt},
      {"null", R"({"v":1,"id":"a","type":"ping","replyTo":null})", std::nullopt},
      {"string", R"({"v":1,"id":"a","type":"ping","replyTo":"q"})", "q"},
      {"empty string", R"({"v":1,"id":"a","type":"ping","replyTo":""})", ""},
  };
  for (const auto& c : cases) {
    const auto header = MessageCodec::header(c.bytes);
    const auto decoded = MessageCodec::decode<SampleBody>(c.bytes);
    ASSERT_TRUE(header && decoded) << c.name;
    EXPECT_EQ(header->replyTo, c.replyTo) << c.name;
    EXPECT_EQ(decoded->replyTo, c.replyTo) << c.name;
  }
}

TEST(MessageCodec, RoundTripsEveryBodyWithAndWithoutReplyTo) {
  for (const auto& body : {sampleNote(), SampleBody::ping()}) {
    for (const auto& replyTo : {std::optional<std::string>(), std::optional<std::string>("R")}) {
      const Envelope<SampleBody> envelope{.id = "E", .replyTo = replyTo, .body = body};
      EXPECT_EQ(MessageCodec::decode<SampleBody>(MessageCodec::encode(envelope)), envelope) << body.type();
    }
  }
}

TEST(MessageCodec, RefusesInTheOrderHeaderThenVersionThenBody) {
  const std::string unsupported2 = "Protocol version 2 is not supported; this host speaks version 1.";
  struct Case {
    const char* name;
    const char* bytes;
    Code code;
    std::string message;  // the whole message, or its start when it ends with ": "
  } cases[] = {
      {"v 2 with a readable body", R"({"v":2,"id":"a","type":"ping"})", Code::unsupportedVersion, unsupported2},
      {"v 2 with an unknown type", R"({"v":2,"id":"a","type":"nope","payload":[]})", Code::unsupportedVersion, unsupported2},
      {"v 0 without payload", R"({"v":0,"id":"a","type":"note"})", Code::unsupportedVersion,
       "Protocol version 0 is not supported; this host speaks version 1."},
      {"v -1 with a broken payload", R"({"v":-1,"id":"a","type":"note","payload":{"text":5}})", Code::unsupportedVersion,
       "Protocol version -1 is not supported; this host speaks version 1."},
      {"v 1 with an unknown type", R"({"v":1,"id":"a","type":"nope","payload":{}})", Code::badRequest, "Could not decode 'nope': "},
      {"v 1 without payload", R"({"v":1,"id":"a","type":"note"})", Code::badRequest, "Could not decode 'note': "},
      {"v 1 with a wrong payload type", R"({"v":1,"id":"a","type":"note","payload":{"text":"t","sentAt":"now","tags":[]}})",
       Code::badRequest, "Could not decode 'note': "},
      {"no type, v 2", R"({"v":2,"id":"a"})", Code::badRequest, "Malformed envelope: "},
      {"no id, v 2", R"({"v":2,"type":"ping"})", Code::badRequest, "Malformed envelope: "},
      {"no v", R"({"id":"a","type":"ping"})", Code::badRequest, "Malformed envelope: "},
      {"v as a string", R"({"v":"1","id":"a","type":"ping"})", Code::badRequest, "Malformed envelope: "},
      {"v as a boolean", R"({"v":true,"id":"a","type":"ping"})", Code::badRequest, "Malformed envelope: "},
      {"v with a fraction", R"({"v":1.5,"id":"a","type":"ping"})", Code::badRequest, "Malformed envelope: "},
      {"id as a number", R"({"v":1,"id":7,"type":"ping"})", Code::badRequest, "Malformed envelope: "},
      {"type as null", R"({"v":1,"id":"a","type":null})", Code::badRequest, "Malformed envelope: "},
      {"replyTo as a number", R"({"v":2,"id":"a","type":"ping","replyTo":3})", Code::badRequest, "Malformed envelope: "},
      {"an array", R"([{"v":1,"id":"a","type":"ping"}])", Code::badRequest, "Malformed envelope: "},
      {"not JSON", "hello", Code::badRequest, "Malformed envelope: "},
      {"empty", "", Code::badRequest, "Malformed envelope: "},
  };
  for (const auto& c : cases) {
    const auto decoded = MessageCodec::decode<SampleBody>(c.bytes);
    ASSERT_FALSE(decoded) << c.name;
    EXPECT_EQ(decoded.error().code, c.code) << c.name << ": " << decoded.error().message;
    if (c.message.ends_with(": ")) {
      EXPECT_TRUE(decoded.error().message.starts_with(c.message)) << c.name << ": " << decoded.error().message;
      EXPECT_GT(decoded.error().message.size(), c.message.size()) << c.name << " lacks a description";
    } else {
      EXPECT_EQ(decoded.error().message, c.message) << c.name;
    }
    EXPECT_EQ(test::codecInvariantViolation<SampleBody>(c.bytes), std::nullopt) << c.name;
  }
}

TEST(MessageCodec, HeaderReadsWithoutLookingAtThePayload) {
  const auto header = MessageCodec::header(R"({"v":3,"id":"a","type":"anything","payload":[1,{"x":}]})");
  EXPECT_FALSE(header) << "the whole message must still be JSON";
  const auto readable = MessageCodec::header(R"({"v":3,"id":"a","replyTo":"b","type":"anything","payload":[1]})");
  ASSERT_TRUE(readable);
  EXPECT_EQ(*readable, (EnvelopeHeader{.v = 3, .id = "a", .replyTo = "b", .type = "anything"}));
}

TEST(MessageCodec, IgnoresExtraKeysAndReadsABodilessPayloadNotAtAll) {
  const auto decoded = MessageCodec::decode<SampleBody>(R"({"v":1,"id":"a","type":"ping","payload":42,"extra":{"x":[1]}})");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->body, SampleBody::ping());
}

TEST(MessageCodec, ReadsAWholeNumberWrittenWithAFractionAsTheVersion) {
  const auto decoded = MessageCodec::decode<SampleBody>(R"({"v":1.0,"id":"a","type":"ping"})");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->v, 1);
}

TEST(MessageCodec, EncodesABareHeaderWithoutANullReplyTo) {
  EXPECT_EQ(wire::encode(EnvelopeHeader{.v = 1, .id = "a", .type = "ping"}), R"({"id":"a","type":"ping","v":1})");
  EXPECT_EQ(wire::encode(EnvelopeHeader{.v = 1, .id = "a", .replyTo = "b", .type = "ping"}),
            R"({"id":"a","replyTo":"b","type":"ping","v":1})");
}

TEST(MessageCodec, EmptyPayloadWritesAnEmptyObjectAndReadsFromAnything) {
  EXPECT_EQ(wire::encode(EmptyPayload{}), "{}");
  for (const char* json : {"{}", "null", "42", R"("x")", "[1,2]"}) {
    EXPECT_EQ(wire::decode<EmptyPayload>(json), EmptyPayload{}) << json;
  }
}

TEST(MessageCodec, SupportsOnlyVersionOne) {
  EXPECT_EQ(ProtocolVersion::current, 1);
  for (const std::int64_t version : {-1, 0, 2, 100}) EXPECT_FALSE(ProtocolVersion::isSupported(version)) << version;
  EXPECT_TRUE(ProtocolVersion::isSupported(1));
}

TEST(MessageCodec, EqualEnvelopesHashAlikeAndAnAbsentReplyToEqualsOnlyAnAbsentOne) {
  const Envelope<SampleBody> a{.id = "E", .body = sampleNote()};
  Envelope<SampleBody> b = a;
  EXPECT_EQ(std::hash<Envelope<SampleBody>>{}(a), std::hash<Envelope<SampleBody>>{}(b));
  b.replyTo = "";
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace vinaro
