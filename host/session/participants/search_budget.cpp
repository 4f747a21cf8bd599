#include "session/participants/search_budget.h"

#include <algorithm>
#include <utility>

namespace kovali {

SearchBudget::Ticket::Ticket(std::weak_ptr<SearchBudget> budget, ConnectionID connection)
    : budget_(std::move(budget)), connection_(connection) {}

SearchBudget::Ticket::Ticket(Ticket&& other) noexcept
    : budget_(std::exchange(other.budget_, {})), connection_(other.connection_) {}

SearchBudget::Ticket::~Ticket() {
  if (const auto budget = budget_.lock()) budget->release(connection_);
}

std::optional<SearchBudget::Ticket> SearchBudget::take(ConnectionID connection) {
  const int holding = held(connection);
  const auto holders = static_cast<int>(held_.size()) + (holding == 0 ? 1 : 0);
  const int part = std::max(1, shared / holders);
  if (total_ >= most || holding >= part) return std::nullopt;
  ++held_[connection];
  ++total_;
  return Ticket(weak_from_this(), connection);
}

int SearchBudget::held(ConnectionID connection) const {
  const auto found = held_.find(connection);
  return found != held_.end() ? found->second : 0;
}

void SearchBudget::release(ConnectionID connection) {
  const auto found = held_.find(connection);
  if (found == held_.end()) return;
  --total_;
  if (--found->second == 0) held_.erase(found);
}

}  // namespace kovali
