#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
/// phones reading just fast enough could otherwise hold the host above; then by what it costs to
/// keep (see `GuestLimits::oldPartiesCeilingBytes`). Main thread; it never touches the holders it
/// names.
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
  void forget(GuestConnection* holder);
  /// Whether the ceiling leaves `holder` be, reading or not: the DJ's phone holds a party or two,
  /// and a party without its DJ stops. Its parties still count, and one it stops reading still
  /// names it.
  void spare(GuestConnection* holder, bool spared);

  /// What the parties that are no one's newest but that a socket still holds cost together.
  qint64 oldBytes() const { return oldBytes_; }
  bool overBudget() const { return oldBytes_ > budget_; }
  bool overCeiling() const { return oldBytes_ > ceiling_; }

  /// How a holder's phone stands with the old parties its socket holds.
  struct Standing {
    /// Bytes a second it took over the time bytes waited for it since it began the oldest party
    /// its socket holds, to now, and over a second at least; and no more than it took over the
    /// last `judgePaceSeconds` of that time: 0 once it has stopped reading, infinite while nothing
    /// has waited.
    double pace = 0;
    qint64 oldBytes = 0;    // of old parties, whole, that its socket holds
    qint64 untilFreed = 0;  // what its socket still writes before it lets go of the last of them
    /// "at 40.1 KB/s, 4.0 MB of old parties held, 3.2 MB of them still to send", for the log.
    std::string text() const;
  };
  Standing standing(GuestConnection* holder) const;

  /// Why a holder is named.
  enum class Why {
    notReading,   // its socket wrote nothing for `GuestLimits::notReadingSeconds` while bytes waited
    tooSlow,      // it does not keep up with the parties it is given (see `GuestLimits::keepsUpBytesPerSecond`)
    pastCeiling,  // old parties cost more than the ceiling, and it keeps the one that costs the most
  };
  /// Those to let go together.
  struct Named {
    std::vector<GuestConnection*> holders;
    Why why = Why::notReading;
  };
  /// Of the holders not reading their old parties, the one whose going frees the most of them
  /// (the one that began the oldest among equals). When no such holder holds one but the old
  /// parties cost more than the ceiling, the slow holders of the one that costs the most to keep,
  /// reading or not (see `GuestLimits::oldPartiesCeilingBytes`), but for those spared. Otherwise none.
  std::optional<Named> heaviest() const;

 signals:
  /// Old parties cost more than the budget; reported from the event loop, and again every
  /// `GuestLimits::oldPartiesLookSeconds` while they do, and as soon as they cost more than the
  /// ceiling.
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
    Mark began;         // when its socket began the oldest party it holds: the pace is taken since
    /// A mark a second at most, the first `judgePaceSeconds` back or more.
    std::deque<Mark> lately;
    void record(Reading reading, MonotonicTime now);
    void beginParty() { began = {heldUp, moved.taken}; }
    double heldUpAt(MonotonicTime now) const;
    /// Seconds since the last reading that may count as bytes waiting for the phone.
    double sinceReading(MonotonicTime now) const;
    bool stopped(MonotonicTime now) const;
    /// As `Standing::pace`.
    double pace(MonotonicTime now) const;
    /// Whether a phone going on as it has keeps up with its oldest party, `remaining` more bytes
    /// of which its socket holds, judged by what it took to its last acknowledgement.
    bool keepsUp(qint64 remaining, MonotonicTime now) const;
    /// How long it would take `remaining` more bytes at its pace.
    double secondsFor(qint64 remaining, MonotonicTime now) const;
  };
  struct Holder {
    OutgoingBacklog::Parties held;
    Progress progress;
  };

  static bool sameParties(const OutgoingBacklog::Parties& a, const OutgoingBacklog::Parties& b);
  static bool sameOldest(const OutgoingBacklog::Parties& a, const OutgoingBacklog::Parties& b);
  /// Of the holders not keeping up with their old parties, the one that alone keeps the most.
  std::optional<Named> slowest(MonotonicTime now) const;
  /// The slow holders of the old party that costs the most to keep, by the ceiling's rule; none
  /// while every party is read as soon as it is sent.
  std::optional<Named> costliest(MonotonicTime now) const;
  Standing standing(const Holder& counted, MonotonicTime now) const;
  void count(const OutgoingBacklog::Parties& held, int sign);
  void adjust(const QByteArray& party, int inSockets, int newestOf);
  /// Has the budget looked at soon, and again while it is exceeded, and at once when the ceiling is
  /// crossed; stops looking once it is not exceeded.
  void watchBudget();

  qint64 budget_;
  qint64 ceiling_ = GuestLimits::oldPartiesCeilingBytes;
  Scheduler& scheduler_;
  qint64 oldBytes_ = 0;
  std::uint64_t taken_ = 0;
  RepeatingTimer lookingAgain_;
  bool lookPosted_ = false;  // a look from the event loop is on its way
  bool pastCeiling_ = false;
  // Keyed by where each party's bytes are: a holder keeps them alive while they are listed.
  std::unordered_map<const char*, Party> parties_;
  using Holders = std::unordered_map<GuestConnection*, Holder>;
  Holders holders_;
  std::unordered_set<GuestConnection*> spared_;
};

}  // namespace kovali
