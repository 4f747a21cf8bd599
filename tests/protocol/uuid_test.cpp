#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "protocol/uuid.h"

namespace vinaro {
namespace {

TEST(UUIDString, IsUpperCaseVersion4AndFresh) {
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string uuid = makeUUIDString();
    EXPECT_TRUE(std::regex_match(uuid, form)) << uuid;
    seen.insert(uuid);
  }
  EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace vinaro
