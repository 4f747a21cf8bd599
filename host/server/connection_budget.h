#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace kovali {

/// How many connections the guests' port holds, by source address and in all, so that one
/// address (or a crowd of them) cannot take the descriptors every phone needs.
class ConnectionBudget {
 public:
  ConnectionBudget(std::size_t perAddress, std::size_t total) : perAddress_(perAddress), total_(total) {}

  /// Takes a place for a connection from `address`; false, taking nothing, when that address
  /// or the port is full.
  bool take(const std::string& address);
  /// Gives back a place taken for `address`.
  void giveBack(const std::string& address);

  std::size_t open() const { return open_; }
  std::size_t total() const { return total_; }

 private:
  std::size_t perAddress_;
  std::size_t total_;
  std::size_t open_ = 0;
  std::map<std::string, std::size_t> byAddress_;
};

}  // namespace kovali
