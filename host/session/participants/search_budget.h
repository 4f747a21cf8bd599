#pragma once

#include <map>
#include <memory>
#include <optional>

#include "server/connection_id.h"

namespace kovali {

/// The searches and listings the host works on at once, shared fairly between the connections
/// asking: each may hold an equal part of `shared` (always at least one), and no more than `most`
/// run host-wide. Past its part a connection's search is refused, so a few phones that flood the
/// library cannot make everyone else's answers wait behind theirs.
class SearchBudget : public std::enable_shared_from_this<SearchBudget> {
 public:
  static constexpr int shared = 32;
  static constexpr int most = 256;

  /// One search of a connection, held until the ticket goes; a ticket may outlive its budget.
  class Ticket {
   public:
    Ticket(Ticket&& other) noexcept;
    Ticket& operator=(Ticket&&) = delete;
    Ticket(const Ticket&) = delete;
    ~Ticket();

   private:
    friend class SearchBudget;
    Ticket(std::weak_ptr<SearchBudget> budget, ConnectionID connection);

    std::weak_ptr<SearchBudget> budget_;
    ConnectionID connection_;
  };

  /// Made shared, so the tickets can tell when it has gone.
  static std::shared_ptr<SearchBudget> make() { return std::shared_ptr<SearchBudget>(new SearchBudget()); }

  /// A ticket for one more search of `connection`, or nothing when that would take it past its part.
  std::optional<Ticket> take(ConnectionID connection);

  int held(ConnectionID connection) const;
  int total() const { return total_; }

 private:
  SearchBudget() = default;
  void release(ConnectionID connection);

  std::map<ConnectionID, int> held_;  // only connections holding at least one
  int total_ = 0;
};

}  // namespace kovali
