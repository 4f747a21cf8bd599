#include "server/connection_budget.h"

namespace kovali {

bool ConnectionBudget::take(const std::string& address) {
  if (open_ >= total_) return false;
  std::size_t& held = byAddress_[address];
  if (held >= perAddress_) return false;
  ++held;
  ++open_;
  return true;
}

void ConnectionBudget::giveBack(const std::string& address) {
  const auto found = byAddress_.find(address);
  if (found == byAddress_.end()) return;
  --open_;
  if (--found->second == 0) byAddress_.erase(found);
}

}  // namespace kovali
