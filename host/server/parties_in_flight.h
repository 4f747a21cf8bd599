#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include <QByteArray>
#include <QObject>

namespace kovali {

class GuestConnection;

/// The parties the phones' sockets are still sending, host-wide. A socket shares a party's bytes
/// until it has written the last of them, so a party the host has moved on from stays in memory
/// whole for as long as the slowest phone that began it takes to read it. What such old parties
/// cost together is kept under a budget: past it, the phones that alone keep the most of it
/// alive are to be let go. Main thread; it never touches the holders it names.
class PartiesInFlight final : public QObject {
  Q_OBJECT

 public:
  explicit PartiesInFlight(qint64 budget) : budget_(budget) {}
  void setBudget(qint64 budget) { budget_ = budget; }

  /// What `holder`'s socket holds of parties now, and the newest party it was given.
  void update(GuestConnection* holder, std::vector<QByteArray> inSocket, QByteArray newest);
  void forget(GuestConnection* holder) { update(holder, {}, {}); }

  /// What the parties that are no one's newest but that a socket still holds cost together.
  qint64 oldBytes() const { return oldBytes_; }
  bool overBudget() const { return oldBytes_ > budget_; }
  /// The holder whose going frees the most of the old parties (the one that began the oldest
  /// among equals); none when no one holds an old party.
  GuestConnection* heaviest() const;

 signals:
  /// Old parties cost more than the budget; reported from the event loop, once until it is
  /// looked at.
  void budgetExceeded();

 private:
  struct Party {
    qint64 bytes = 0;
    int inSockets = 0;
    int newestOf = 0;
    std::uint64_t since = 0;  // when a socket first took it
    bool old() const { return inSockets > 0 && newestOf == 0; }
  };
  struct Held {
    std::vector<QByteArray> inSocket;
    QByteArray newest;
    bool operator==(const Held&) const = default;
  };

  void count(const Held& held, int sign);
  void adjust(const QByteArray& party, int inSockets, int newestOf);

  qint64 budget_;
  qint64 oldBytes_ = 0;
  std::uint64_t taken_ = 0;
  bool reporting_ = false;
  // Keyed by where each party's bytes are: a holder keeps them alive while they are listed.
  std::unordered_map<const char*, Party> parties_;
  std::unordered_map<GuestConnection*, Held> holders_;
};

}  // namespace kovali
