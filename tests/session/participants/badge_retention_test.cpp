#include "session/participants/badge_retention.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

using Badges = std::map<std::string, std::string>;

const MonotonicTime start = secondsAfter(MonotonicTime{}, 1'700'000'000);
const double day = BadgeRetention::keepSeconds;

MonotonicTime at(double seconds) { return secondsAfter(start, seconds); }

TEST(BadgeRetentionTest, ABadgeStaysWhileConnectedAndForADayAfterItsHolderWasLastSeen) {
  BadgeRetention retention(start);
  Badges badges{{"here", "gold"}, {"left", "vip"}, {"restored", "regular"}};
  retention.seen("left", at(3600));

  EXPECT_TRUE(retention.expired(badges, {"here"}, at(day)).empty()) << "a day from the start has not passed";
  EXPECT_EQ(retention.expired(badges, {"here"}, at(day + 1)), std::vector<std::string>{"restored"})
      << "a badge from before the start counts as seen then";
  badges.erase("restored");
  EXPECT_EQ(retention.expired(badges, {"here"}, at(day + 3601)), std::vector<std::string>{"left"});
  EXPECT_TRUE(retention.expired(Badges{{"here", "gold"}}, {"here"}, at(10 * day)).empty()) << "connected, kept";
}

TEST(BadgeRetentionTest, AHolderSeenAgainGetsAnotherDay) {
  BadgeRetention retention(start);
  const Badges badges{{"guest", "gold"}};
  EXPECT_TRUE(retention.expired(badges, {"guest"}, at(day)).empty());  // connected: seen now
  EXPECT_TRUE(retention.expired(badges, {}, at(2 * day)).empty());
  EXPECT_EQ(retention.expired(badges, {}, at(2 * day + 1)), std::vector<std::string>{"guest"});
}

TEST(BadgeRetentionTest, OfTheAbsentHoldersOnlyTheMostRecentlySeenKeepTheirBadges) {
  BadgeRetention retention(start);
  Badges badges;
  const std::size_t holders = BadgeRetention::maxAbsentHolders + 3;
  for (std::size_t i = 0; i < holders; ++i) {
    const std::string id = "guest-" + std::to_string(1000 + i);
    badges[id] = "regular";
    retention.seen(id, at(static_cast<double>(i)));  // guest-1000 left first
  }
  badges["connected"] = "vip";
  EXPECT_EQ(retention.expired(badges, {"connected"}, at(600)),
            (std::vector<std::string>{"guest-1002", "guest-1001", "guest-1000"}));
  badges.erase("guest-1000");
  badges.erase("guest-1001");
  badges.erase("guest-1002");
  EXPECT_TRUE(retention.expired(badges, {"connected"}, at(601)).empty());
}

}  // namespace
}  // namespace kovali
