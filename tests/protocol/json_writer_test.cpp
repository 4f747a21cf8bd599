#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "protocol/json_writer.h"

namespace vinaro::wire {
namespace {

TEST(JSONWriter, WritesNumbersAsThePhonesEncoderDoes) {
  struct Case {
    const char* name;
    double number;
    const char* expected;
  } cases[] = {
      {"integral date", 1500.0, "1500"},
      {"fraction of a millisecond kept", 1500.25, "1500.25"},
      {"negative integral", -3.0, "-3"},
      {"zero", 0.0, "0"},
      {"shortest round trip", 0.1, "0.1"},
      {"large integral beyond 2^53", 1e20, "1e+20"},
      {"typical date", 1733564400123.0, "1733564400123"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode(c.number), c.expected) << c.name;
  }
}

TEST(JSONWriter, RefusesNonFiniteNumbersInsteadOfWritingNull) {
  for (double number : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    EXPECT_THROW(encode(number), EncodeError) << number;
    EXPECT_THROW(encode(std::vector<std::optional<double>>{1.0, number}), EncodeError) << number;
  }
}

TEST(JSONWriter, EscapesOnlyWhatJSONRequires) {
  struct Case {
    const char* name;
    std::string text;
    const char* expected;
  } cases[] = {
      {"slash unescaped", "https://x.test/a/b", R"("https://x.test/a/b")"},
      {"quote and backslash", "say \"hi\" \\", R"("say \"hi\" \\")"},
      {"named controls", "a\nb\tc\rd\be\ff", R"("a\nb\tc\rd\be\ff")"},
      {"other controls as \\u", std::string("x\x01y\x1f", 4), R"("x\u0001y\u001f")"},
      {"non-ASCII kept as UTF-8", "Caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x8E\xB6", "\"Caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x8E\xB6\""},
      {"stray byte replaced", "a\xFF" "b", "\"a\xEF\xBF\xBD" "b\""},
      {"truncated sequence replaced", "a\xC3", "\"a\xEF\xBF\xBD\""},
      {"overlong encoding replaced", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"surrogate replaced", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode(c.text), c.expected) << c.name;
  }
}

struct WrittenOutOfOrder {};

void writeJSON(Writer& writer, const WrittenOutOfOrder&) {
  writer.writeObject([](ObjectWriter& object) {
    object.field("b", "x,y");
    object.field("a,b", std::vector<int>{1, 2});
  });
}

TEST(JSONWriter, SortsKeysWhateverOrderTheyAreWrittenIn) {
  std::string out;
  Writer writer(out);
  writer.writeObject([&](ObjectWriter& object) {
    object.field("zeta", 1);
    object.field("inner", WrittenOutOfOrder{});
    object.field("alpha", true);
  });
  // Nested objects are sorted on their own; a comma inside a value does not confuse the sort.
  EXPECT_EQ(out, R"({"alpha":true,"inner":{"a,b":[1,2],"b":"x,y"},"zeta":1})");
}

TEST(JSONWriter, LeavesOutEmptyOptionalsAndWritesExplicitNulls) {
  std::string out;
  Writer writer(out);
  writer.writeObject([&](ObjectWriter& object) {
    object.field("missing", std::optional<int>{});
    object.field("present", std::optional<int>{7});
    object.nullField("replyTo");
    object.field("flag", false);
  });
  EXPECT_EQ(out, R"({"flag":false,"present":7,"replyTo":null})");
}

TEST(JSONWriter, WritesMapsAsObjectsAndListsAsArrays) {
  const std::map<std::string, std::string> badges{{"b", "gold"}, {"a", "vip"}};
  EXPECT_EQ(encode(badges), R"({"a":"vip","b":"gold"})");
  EXPECT_EQ(encode(std::vector<std::string>{}), "[]");
  EXPECT_EQ(encode(std::vector<bool>{true, false}), "[true,false]");
}

}  // namespace
}  // namespace vinaro::wire
