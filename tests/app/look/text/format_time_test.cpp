#include "app/look/text/format_time.h"

#include <cmath>
#include <limits>
#include <gtest/gtest.h>

namespace kovali {
namespace {

TEST(FormatTime, WritesMinutesAndSecondsTruncatedAndDashesWithoutAFiniteValue) {
  const std::string dashes = "\u2013:\u2013\u2013";
  struct Case {
    const char* name;
    std::optional<double> seconds;
    std::string expected;
  } cases[] = {
      {"absent", std::nullopt, dashes},
      {"not a number", std::nan(""), dashes},
      {"infinity", std::numeric_limits<double>::infinity(), dashes},
      {"minus infinity", -std::numeric_limits<double>::infinity(), dashes},
      {"zero", 0.0, "0:00"},
      {"just under a minute", 59.9, "0:59"},
      {"a fraction past a minute", 61.99, "1:01"},
      {"an hour, minutes not wrapped", 3600.0, "60:00"},
      {"over an hour", 3725.0, "62:05"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatTime(c.seconds), c.expected) << c.name;
}

}  // namespace
}  // namespace kovali
