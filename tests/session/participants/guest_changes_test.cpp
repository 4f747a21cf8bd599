#include "session/participants/guest_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kovali {
namespace {

/// One step: an offer of `offered` changes from guest `guest` (connection `guest` too) at
/// `address`, a take, or a connection's end.
struct Step {
  double after = 0;  // seconds after the step before
  const char* address = "";
  int guest = 0;
  int offered = 0;  // an offer when not 0
  int accepted = 0;
  int taken = -1;           // a take when not -1: how many it takes
  std::string_view takenFirst = "";  // and whose changes come first, as guest numbers
  int forget = 0;           // a connection that has gone, when not 0
  bool waitingAfter = false;  // and whether changes still wait after it went
};

TEST(GuestChangesTest, EachGuestKeepsItsPaceAndAllTogetherTakeTurnsByAddress) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"a guest past its pace is refused, though its earlier changes were taken",
       {{.address = "a", .guest = 1, .offered = 15, .accepted = 15},
        {.taken = 15, .takenFirst = "1 1"},
        {.address = "a", .guest = 1, .offered = 15, .accepted = 5},
        {.after = 1, .address = "a", .guest = 1, .offered = 15, .accepted = 10}}},
      {"an address holds at most its share waiting, whoever is behind it",
       {{.address = "a", .guest = 1, .offered = 15, .accepted = 15},
        {.address = "a", .guest = 2, .offered = 15, .accepted = 5},
        {.address = "b", .guest = 3, .offered = 1, .accepted = 1}}},
      {"past the burst of all guests, the addresses take turns and an honest guest goes early",
       {{.address = "a", .guest = 1, .offered = 20, .accepted = 20},
        {.address = "b", .guest = 2, .offered = 20, .accepted = 20},
        {.address = "c", .guest = 3, .offered = 2, .accepted = 2},
        {.taken = 40, .takenFirst = "1 2 3 1 2 3 1 2 1"},
        {.taken = 0},
        {.after = 0.1, .taken = 2, .takenFirst = "1 2"}}},
      {"a connection that has gone leaves no changes waiting",
       {{.address = "a", .guest = 1, .offered = 3, .accepted = 3},
        {.address = "a", .guest = 2, .offered = 2, .accepted = 2},
        {.forget = 1, .waitingAfter = true},
        {.taken = 2, .takenFirst = "2 2"},
        {.taken = 0}}},
      {"a connection that has gone, alone at its address, leaves no turn to its address",
       {{.address = "a", .guest = 1, .offered = 3, .accepted = 3},
        {.forget = 1},
        {.address = "b", .guest = 2, .offered = 1, .accepted = 1},
        {.taken = 1, .takenFirst = "2"},
        {.taken = 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GuestChanges changes;
    MonotonicTime now{std::chrono::hours(1)};
    for (std::size_t index = 0; index < c.steps.size(); ++index) {
      const Step& step = c.steps[index];
      SCOPED_TRACE("step " + std::to_string(index));
      now = secondsAfter(now, step.after);
      if (step.offered > 0) {
        int accepted = 0;
        for (int i = 0; i < step.offered; ++i) {
          const vinaro::Participant guest{"guest-" + std::to_string(step.guest), "Guest", vinaro::Role::guest};
          const GuestChanges::Change change{ConnectionID{step.guest}, "e" + std::to_string(i),
                                            vinaro::action::SetBadge{"vip"}, guest};
          accepted += changes.offer(change, std::string(step.address), now) ? 1 : 0;
        }
        EXPECT_EQ(accepted, step.accepted);
      } else if (step.taken >= 0) {
        const auto taken = changes.take(now);
        EXPECT_EQ(static_cast<int>(taken.size()), step.taken);
        std::string first;
        for (std::size_t i = 0; i < taken.size() && first.size() < step.takenFirst.size(); ++i) {
          first += (first.empty() ? "" : " ") + std::to_string(taken[i].connection.raw);
        }
        EXPECT_EQ(first, step.takenFirst);
      } else if (step.forget > 0) {
        changes.forget(ConnectionID{step.forget});
        EXPECT_EQ(changes.hasWaiting(), step.waitingAfter);
      }
    }
  }
}

}  // namespace
}  // namespace kovali
