#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "model/participant.h"
#include "protocol/json_reader.h"

namespace vinaro::wire {
namespace {

template <class T>
std::string failureOf(std::string_view json) {
  auto result = tryDecode<T>(json);
  return result ? std::string("(decoded)") : result.error().description();
}

TEST(JSONReader, IsStrictAboutJSONTypes) {
  struct Case {
    const char* name;
    std::string failure;
    const char* expected;
  } cases[] = {
      {"bool is not a number", failureOf<double>("true"), "Expected a number but found a boolean."},
      {"number is not a bool", failureOf<bool>("1"), "Expected a boolean but found a number."},
      {"3.5 is not an integer", failureOf<std::int64_t>("3.5"), "The number 3.5 is not an integer."},
      {"string is not an integer", failureOf<std::int64_t>("\"3\""), "Expected an integer but found a string."},
      {"integer beyond 64 bits", failureOf<std::int64_t>("18446744073709551615"),
       "The number 18446744073709551615 does not fit a 64-bit integer."},
      {"null is not a string", failureOf<std::string>("null"), "Expected a string but found null."},
      {"object is not a list", failureOf<std::vector<int>>("{}"), "Expected an array but found an object."},
      {"unknown enum value", failureOf<Role>("\"host\""), "Cannot read Role from the unknown value \"host\"."},
      {"enum is case-sensitive", failureOf<Role>("\"DJ\""), "Cannot read Role from the unknown value \"DJ\"."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.failure, c.expected) << c.name;
  }
}

TEST(JSONReader, AcceptsIntegralNumbersWrittenWithAFraction) {
  EXPECT_EQ(decode<std::int64_t>("3.0"), 3);
  EXPECT_EQ(decode<std::int64_t>("-7"), -7);
  EXPECT_EQ(decode<double>("1500"), 1500.0);
}

TEST(JSONReader, NamesThePathToTheFailure) {
  EXPECT_EQ(failureOf<std::vector<Participant>>(R"([{"id":"a","name":"A","role":"dj"},{"id":"b","name":"B"}])"),
            "The key is missing. (at \"[1].role\")");
  using Lists = std::map<std::string, std::vector<bool>>;
  EXPECT_EQ(failureOf<Lists>(R"({"k":[true,1]})"),
            "Expected a boolean but found a number. (at \"k[1]\")");
  EXPECT_EQ(failureOf<Participant>(R"({"id":"a","name":null,"role":"dj"})"),
            "Expected a value but found null. (at \"name\")");
}

TEST(JSONReader, RefusesBrokenBytesWithoutCrashing) {
  const std::string cases[] = {
      "",
      "not json",
      "{\"id\":",
      "\"\xFF\"",                                         // invalid UTF-8
      "1e400",                                            // overflows a double
      std::string(200000, '['),                           // deep nesting, unterminated
      std::string(100000, '[') + std::string(100000, ']'),  // deep nesting, complete but not an object
      std::string("{\"a\":1}\0", 8),                      // trailing NUL
  };
  for (const auto& bytes : cases) {
    auto result = tryDecode<Participant>(bytes);
    ASSERT_FALSE(result) << bytes.substr(0, 20);
    EXPECT_FALSE(result.error().description().empty());
  }
}

TEST(JSONReader, IgnoresUnknownKeysAndReadsNullOptionalsAsAbsent) {
  const auto value = parse(R"({"id":"a","extra":[1,2,{"x":null}],"nick":null})");
  const ObjectReader object(value);
  EXPECT_EQ(object.required<std::string>("id"), "a");
  EXPECT_EQ(object.optional<std::string>("nick"), std::nullopt);
  EXPECT_EQ(object.optional<std::string>("absent"), std::nullopt);
}

}  // namespace
}  // namespace vinaro::wire
