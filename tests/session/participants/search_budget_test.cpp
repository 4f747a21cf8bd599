#include "session/participants/search_budget.h"

#include <gtest/gtest.h>

#include <vector>

namespace kovali {
namespace {

ConnectionID connection(int raw) { return ConnectionID{raw}; }

/// Takes tickets for `connection` until it is refused; answers how many it got.
int takeAll(SearchBudget& budget, ConnectionID connection, std::vector<SearchBudget::Ticket>& kept) {
  int taken = 0;
  while (auto ticket = budget.take(connection)) {
    kept.push_back(std::move(*ticket));
    ++taken;
  }
  return taken;
}

TEST(SearchBudget, EachConnectionGetsAnEqualPartOfTheSharedSearchesAndAlwaysOne) {
  struct Case {
    const char* name;
    int busyConnections;  // each holding one search
    int newcomerGets;
  };
  const std::vector<Case> cases = {
      {"alone", 0, SearchBudget::shared},
      {"beside one", 1, SearchBudget::shared / 2},
      {"beside three", 3, SearchBudget::shared / 4},
      {"beside more than the shared searches", SearchBudget::shared + 5, 1},
  };
  for (const auto& c : cases) {
    auto budget = SearchBudget::make();
    std::vector<SearchBudget::Ticket> kept;
    for (int i = 0; i < c.busyConnections; ++i) {
      auto ticket = budget->take(connection(100 + i));
      if (!ticket) ADD_FAILURE() << c.name << ": busy connection " << i << " refused";
      else kept.push_back(std::move(*ticket));
    }
    EXPECT_EQ(takeAll(*budget, connection(1), kept), c.newcomerGets) << c.name;
  }
}

TEST(SearchBudget, NoMoreThanTheMostRunHostWideHoweverManyAsk) {
  auto budget = SearchBudget::make();
  std::vector<SearchBudget::Ticket> kept;
  for (int i = 0; i < SearchBudget::most; ++i) {
    if (auto ticket = budget->take(connection(i))) kept.push_back(std::move(*ticket));
  }
  EXPECT_EQ(budget->total(), SearchBudget::most);
  EXPECT_FALSE(budget->take(connection(SearchBudget::most))) << "a newcomer past the most";
}

TEST(SearchBudget, ATicketGivesItsSearchBackWhenItGoesEvenAfterTheBudget) {
  auto budget = SearchBudget::make();
  std::vector<SearchBudget::Ticket> kept;
  ASSERT_EQ(takeAll(*budget, connection(1), kept), SearchBudget::shared);
  kept.pop_back();
  EXPECT_EQ(budget->held(connection(1)), SearchBudget::shared - 1);
  EXPECT_TRUE(budget->take(connection(1))) << "the given-back search can be taken again";
  kept.clear();
  EXPECT_EQ(budget->total(), 0);
  EXPECT_EQ(budget->held(connection(1)), 0);

  auto outliving = budget->take(connection(2));
  ASSERT_TRUE(outliving);
  budget.reset();  // a ticket going after its budget touches nothing
  outliving.reset();
}

}  // namespace
}  // namespace kovali
