#pragma once

#include <cstdint>
#include <unordered_map>

#include <QByteArray>
#include <QObject>

#include "platform/runtime/monotonic_time.h"
#include "platform/runtime/scheduler.h"
#include "server/guest_limits.h"
#include "server/outgoing_backlog.h"

namespace kovali {

class GuestConnection;

/// The parties the phones' sockets are still sending, host-wide. A socket shares a party's bytes
/// until it has written the last of them, so a party the host has moved on from stays in memory
/// whole for as long as the slowest phone that began it takes to read it. What such old parties
/// cost together is kept under a budget: past it, of the phones that are not reading theirs, those
/// that alone keep the most of it alive are to be let go. A phone that keeps reading finishes its
/// old parties and frees them, so it is named only past a ceiling above the budget, which many
/// phones reading just fast enough could otherwise hold the host above. Main thread; it never
/// touches the holders it names.
class PartiesInFlight final : public QObject {
  Q_OBJECT

 public:
  /// `scheduler` tells how long a socket has written nothing, and paces the looks while over budget.
  PartiesInFlight(qint64 budget, Scheduler& scheduler) : budget_(budget), scheduler_(scheduler) {}
  void setBudget(qint64 budget) { budget_ = budget; }
  void setCeiling(qint64 ceiling) { ceiling_ = ceiling; }

  /// How far a holder's phone has read: how many bytes of all it was sent it has taken, and
  /// whether bytes wait for it in the network (else it has taken all it was given).
  struct Reading {
    qint64 taken = 0;
    bool waiting = false;

    /// A socket's reading, from what it has written, what the system still keeps of that
    /// unacknowledged and what of that it has not even sent.
    static Reading ofSocket(qint64 written, qint64 unacknowledged, qint64 unsent);
  };
  /// What `holder`'s socket holds of parties now, the newest party it was given, and how far its
  /// phone has read. Parties are told apart by their shared bytes, never by content, so that this
  /// costs the same whatever their size.
  void update(GuestConnection* holder, OutgoingBacklog::Parties parties, Reading reading);
  void forget(GuestConnection* holder) { update(holder, {}, {}); }

  /// What the parties that are no one's newest but that a socket still holds cost together.
  qint64 oldBytes() const { return oldBytes_; }
  bool overBudget() const { return oldBytes_ > budget_; }
  bool overCeiling() const { return oldBytes_ > ceiling_; }
  /// Of the holders not reading their old parties, the one whose going frees the most of them
  /// (the one that began the oldest among equals). When no such holder holds one but old parties
  /// cost more than the ceiling, the holder with the most still to write before it lets go of its
  /// last old party, reading or not. Otherwise none.
  GuestConnection* heaviest() const;

 signals:
  /// Old parties cost more than the budget; reported from the event loop, and again every
  /// `GuestLimits::oldPartiesLookSeconds` while they do.
  void budgetExceeded();

 private:
  struct Party {
    qint64 bytes = 0;
    int inSockets = 0;
    int newestOf = 0;
    std::uint64_t since = 0;  // when a socket first took it
    bool old() const { return inSockets > 0 && newestOf == 0; }
  };
  /// How a holder's phone has been reading, timed only while bytes waited for it: a socket the
  /// host left empty says nothing of the phone. When it last took anything, and its pace.
  struct Progress {
    struct Mark {
      double heldUp = 0;  // `heldUp` then
      qint64 taken = 0;
    };
    MonotonicTime recorded;  // the last reading, when bytes did or did not wait
    bool waiting = false;
    double heldUp = 0;  // seconds in which bytes waited for the phone, as far as readings tell
    Mark moved;         // the last bytes seen taken, or the phone seen with nothing left to take
    Mark paceFrom;      // the pace is measured from here, which moves up to `paceNext` once that
    Mark paceNext;      // is old enough, so that the pace is always that of the last few seconds
    void record(Reading reading, MonotonicTime now);
    /// Whether a phone going on as it has will have taken `remaining` more bytes in time.
    bool keepsUp(qint64 remaining, MonotonicTime now) const;
  };
  struct Holder {
    OutgoingBacklog::Parties held;
    Progress progress;
  };

  static bool sameParties(const OutgoingBacklog::Parties& a, const OutgoingBacklog::Parties& b);
  void count(const OutgoingBacklog::Parties& held, int sign);
  void adjust(const QByteArray& party, int inSockets, int newestOf);
  /// Has the budget looked at soon, and again while it is exceeded; stops looking once it is not.
  void watchBudget();

  qint64 budget_;
  qint64 ceiling_ = GuestLimits::oldPartiesCeilingBytes;
  Scheduler& scheduler_;
  qint64 oldBytes_ = 0;
  std::uint64_t taken_ = 0;
  RepeatingTimer lookingAgain_;
  // Keyed by where each party's bytes are: a holder keeps them alive while they are listed.
  std::unordered_map<const char*, Party> parties_;
  std::unordered_map<GuestConnection*, Holder> holders_;
};

}  // namespace kovali
