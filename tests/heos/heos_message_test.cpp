#include "heos/heos_message.h"

#include <limits>

#include <gtest/gtest.h>

namespace kovali {
namespace {

TEST(HEOSCommandLineTest, EscapesValuesOnlyAndWritesNoQuestionMarkWithoutParameters) {
  struct Case {
    const char* name;
    const char* command;
    std::vector<std::pair<std::string, std::string>> parameters;
    const char* expected;
  } cases[] = {
      {"no parameters", "system/heart_beat", {}, "heos://system/heart_beat"},
      {"in order", "browse/browse", {{"sid", "7"}, {"cid", "a&b"}}, "heos://browse/browse?sid=7&cid=a%26b"},
      {"percent first", "x/y", {{"level", "100%"}}, "heos://x/y?level=100%25"},
      {"equals and ampersand", "x/y", {{"v", "a=b&c"}}, "heos://x/y?v=a%3Db%26c"},
      {"already escaped", "x/y", {{"v", "%26"}}, "heos://x/y?v=%2526"},
      {"names unchanged", "x/y", {{"a=b&c", "1"}}, "heos://x/y?a=b&c=1"},
      {"spaces and letters unchanged", "x/y", {{"name", "Küche 2"}}, "heos://x/y?name=Küche 2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(heosCommandLine(c.command, c.parameters), c.expected) << c.name;
  }
}

TEST(HEOSResponseTest, ReadsCommandResultMessageAndPayload) {
  const auto reply = HEOSResponse::parse(
      R"({"heos":{"command":"player/get_volume","result":"success","message":"pid=5&level=30"}})");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->command, "player/get_volume");
  EXPECT_TRUE(reply->succeeded);
  EXPECT_EQ(reply->message, "pid=5&level=30");
  EXPECT_FALSE(reply->payload);
  EXPECT_EQ(parseHEOSMessage(reply->message), (HEOSMessage{{"pid", "5"}, {"level", "30"}}));

  const auto withNull = HEOSResponse::parse(R"({"heos":{"command":"a/b"},"payload":null})");
  ASSERT_TRUE(withNull);
  EXPECT_EQ(withNull->payload, JSONValue{nullptr});
  EXPECT_EQ(withNull->message, "");
}

TEST(HEOSResponseTest, SucceedsOnlyOnExactlySuccessOrWithoutResult) {
  struct Case {
    const char* line;
    bool succeeded;
  } cases[] = {
      {R"({"heos":{"command":"a/b","result":"fail"}})", false},
      {R"({"heos":{"command":"a/b"}})", true},
      {R"({"heos":{"command":"a/b","result":"Success"}})", false},
      {R"({"heos":{"command":"a/b","result":{"x":1}}})", true},  // no text form counts as missing
  };
  for (const auto& c : cases) {
    const auto reply = HEOSResponse::parse(c.line);
    ASSERT_TRUE(reply) << c.line;
    EXPECT_EQ(reply->succeeded, c.succeeded) << c.line;
  }
}

TEST(HEOSResponseTest, RefusesLinesThatAreNotHEOSReplies) {
  const char* lines[] = {"not json", R"([{"heos":{"command":"a/b"}}])", R"({"payload":[]})",
                         R"({"heos":{"result":"success"}})", R"({"heos":{"command":null}})", "", "{}"};
  for (const auto* line : lines) EXPECT_FALSE(HEOSResponse::parse(line)) << line;
}

TEST(HEOSResponseTest, RefusesDocumentsNestedDeeperThanAReplyCould) {
  const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
  EXPECT_FALSE(JSONValue::decode(deep));
  const std::string line = R"({"heos":{"command":"a/b"},"payload":)" + deep + "}";
  EXPECT_FALSE(HEOSResponse::parse(line));
}

TEST(HEOSMessageTest, SplitsDecodesValuesAndKeepsTheLastDuplicate) {
  struct Case {
    const char* name;
    const char* message;
    HEOSMessage expected;
  } cases[] = {
      {"empty", "", {}},
      {"empty pieces dropped", "a=1&&b=2", {{"a", "1"}, {"b", "2"}}},
      {"first equals only", "a=b=c", {{"a", "b=c"}}},
      {"no equals", "flag", {{"flag", ""}}},
      {"empty name", "=x", {{"", "x"}}},
      {"decoded value", "name=Living%20Room", {{"name", "Living Room"}}},
      {"invalid escape kept", "level=100%", {{"level", "100%"}}},
      {"not UTF-8 kept", "v=%FF", {{"v", "%FF"}}},
      {"names not decoded", "a%20b=1", {{"a%20b", "1"}}},
      {"later wins", "a=1&a=2", {{"a", "2"}}},
      {"plus stays", "v=a+b", {{"v", "a+b"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(parseHEOSMessage(c.message), c.expected) << c.name;
}

TEST(HEOSErrorTest, ReadsTheDevicesErrorAndDescribesIt) {
  struct Case {
    const char* message;
    std::optional<std::int64_t> code;
    const char* description;
  } cases[] = {
      {"eid=2&text=ID Not Valid&pid=5", 2, "ID Not Valid (HEOS error 2)"},
      {"eid=13", 13, "HEOS refused the command (HEOS error 13)"},
      {"", std::nullopt, "HEOS refused the command"},
      {"eid=x&text=", std::nullopt, "HEOS refused the command"},
  };
  for (const auto& c : cases) {
    const auto error = HEOSError::fromMessage(parseHEOSMessage(c.message));
    EXPECT_EQ(error.code, c.code) << c.message;
    EXPECT_EQ(error.description(), c.description) << c.message;
  }
  EXPECT_EQ(HEOSError::host("Not connected to HEOS.").description(), "Not connected to HEOS.");
}

TEST(JSONValueTest, IntValueReadsStrictDecimalTextAndRoundsNumbers) {
  const double big = 9223372036854775808.0;  // 2^63, one past the largest
  struct Case {
    const char* name;
    JSONValue value;
    std::optional<std::int64_t> expected;
  } cases[] = {
      {"plus", {std::string("+7")}, 7},
      {"leading zero", {std::string("07")}, 7},
      {"negative", {std::string("-5")}, -5},
      {"leading space", {std::string(" 7")}, std::nullopt},
      {"trailing space", {std::string("7 ")}, std::nullopt},
      {"lone sign", {std::string("-")}, std::nullopt},
      {"empty", {std::string("")}, std::nullopt},
      {"two signs", {std::string("+-7")}, std::nullopt},
      {"largest", {std::string("9223372036854775807")}, std::numeric_limits<std::int64_t>::max()},
      {"smallest", {std::string("-9223372036854775808")}, std::numeric_limits<std::int64_t>::min()},
      {"overflow", {std::string("9223372036854775808")}, std::nullopt},
      {"half up", {3.5}, 4},
      {"half away from zero", {-2.5}, -3},
      {"number out of range", {big}, std::nullopt},
      {"lowest number", {-big}, std::numeric_limits<std::int64_t>::min()},
      {"not a number", {std::numeric_limits<double>::quiet_NaN()}, std::nullopt},
      {"bool", {true}, std::nullopt},
      {"null", {nullptr}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value.intValue(), c.expected) << c.name;
}

TEST(JSONValueTest, StringValueGivesTextFormsOfScalarsOnly) {
  struct Case {
    const char* name;
    JSONValue value;
    std::optional<std::string> expected;
  } cases[] = {
      {"integral", {12.0}, "12"},
      {"fraction", {0.25}, "0.25"},
      {"negative", {-3.0}, "-3"},
      {"huge integral", {1e300}, "1e+300"},
      {"false", {false}, "false"},
      {"text", {std::string("Den")}, "Den"},
      {"object", {JSONValue::Object{}}, std::nullopt},
      {"array", {JSONValue::Array{}}, std::nullopt},
      {"null", {nullptr}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value.stringValue(), c.expected) << c.name;
}

TEST(JSONValueTest, DecodesNumbersAsDoublesAndReadsMembers) {
  const auto value = JSONValue::decode(R"({"pid":"12","n":12,"list":[1,2.5,true]})");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->member("pid")->intValue(), 12);
  EXPECT_EQ(value->member("n")->intValue(), 12);
  EXPECT_EQ(value->member("missing"), nullptr);
  EXPECT_EQ(value->member("list")->member("x"), nullptr);
  EXPECT_EQ(value->member("list")->value, JSONValue::Storage(JSONValue::Array{{1.0}, {2.5}, {true}}));
}

}  // namespace
}  // namespace kovali
