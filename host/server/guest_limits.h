#pragma once

#include <QtGlobal>

namespace kovali {

/// What one phone may cost the host, in one place: what it sends is read only while the host owes
/// it little, and what the host keeps for it is the rest of the frame being written, its newest
/// party (shared) and a small fixed allowance, whatever it sends or leaves unread.
struct GuestLimits {
  /// The largest message a phone may send, in bytes however many frames carry it; a larger one
  /// closes the connection (close code 1009).
  static constexpr qint64 maxIncomingMessageBytes = 1 << 20;
  /// What a connection holds of a message arriving before it needs the shared pool: more than any
  /// ordinary command.
  static constexpr qint64 ownReadBytes = 16 << 10;
  /// What all connections together may hold of messages arriving beyond their own shares.
  static constexpr qint64 incomingPoolBytes = 64 << 20;
  /// A whole party goes to the socket only once it holds less than this, so that what the phone
  /// asks for meanwhile goes ahead of it; everything else goes at once.
  static constexpr qint64 partyHandOffBytes = 64 << 10;
  /// What a socket writes of a large message when the event loop comes to it, so that a crowd
  /// reading at full speed makes no pass of the loop long; the DJ's phone is written all the system
  /// takes each pass, so it waits on no crowd. A message no larger, with nothing ahead of it, goes
  /// to the system as it is sent.
  static constexpr qint64 writeSliceBytes = 128 << 10;
  /// While this much of what the phone asked for (answers, errors, pongs, its welcome) waits to
  /// be sent, nothing more is read from it, so that one that does not read its answers cannot
  /// make more of them; what it sends waits in the network. The party pushed to it never holds
  /// its reading: a newer one replaces it.
  static constexpr qint64 holdReadingBytes = 256 << 10;
  /// What may wait to be sent beyond the phone's newest party (answers, errors, pushes, pongs):
  /// a phone that far behind has stopped reading and is let go.
  static constexpr qint64 maxUnsentBytes = 4 << 20;
  /// What older parties that sockets are still sending may cost the host together: each stays
  /// whole until its slowest phone has read it. Honest phones at a busy party hold a few; past
  /// this, of the phones that are not reading theirs, those that alone keep the most are let go.
  static constexpr qint64 oldPartiesBytes = 256 << 20;
  /// What old parties may cost however honest their phones: past it, phones are let go, reading or
  /// not, until they cost no more, each party counted until its last holder has read it, so that
  /// they pass it by at most the party made since the last look. The party that costs the most goes first:
  /// its bytes for as long as its slowest holder would take to read the rest of it at its own
  /// pace, over what it would cost once its slow holders (those taking at least half as long)
  /// went, and they go together. So phones sharing a party cost as one phone holding it alone, a
  /// phone that would read it soon stays though slower ones sharing it go, a phone that has taken
  /// nothing costs without end, and a guest reading at full speed keeps each party a moment and
  /// goes last.
  static constexpr qint64 oldPartiesCeilingBytes = 4 * oldPartiesBytes;
  /// A phone whose socket has written nothing this long while bytes waited for it has stopped
  /// reading the parties it holds. Longer than a phone's radio sleeps or its Wi-Fi roams.
  static constexpr double notReadingSeconds = 10;
  /// How long a phone reads its oldest party before its pace is judged, the pace being all it
  /// took since it began that party. The system acknowledges a phone's small window in bursts
  /// (up to about 128 KB for a 64 KB window, nothing for seconds between them), which over this
  /// long cannot make one that steadily reads 40 KB/s look too slow.
  static constexpr double judgePaceSeconds = 2 * notReadingSeconds;
  /// The pace a phone keeps up at, whatever the party's size: 40 KB/s less a third, so that an
  /// honest slow phone's uneven pace does not count.
  static constexpr double keepsUpBytesPerSecond = 40'000 * 2 / 3.0;
  /// A phone slower than that keeps up still while it would read what it was given since it began
  /// its oldest party in this long: a small party asks little of it. Slower, it falls ever further
  /// behind the parties it is sent, and is not reading them either.
  static constexpr double finishOldPartiesSeconds = 120;
  /// A phone's pace is taken over this long at least: the system takes the first window of a
  /// party at once, whether the phone reads it or not.
  static constexpr double paceOverAtLeastSeconds = 1;
  /// While old parties cost more than their budget, who is not reading is looked at again this often.
  static constexpr double oldPartiesLookSeconds = 1;
  /// Of a longer time between two readings of how a phone reads, only this much counts as bytes
  /// waiting for it: a host too busy to look may have had nothing in the socket meanwhile.
  static constexpr double readingsAtMostSeconds = 2 * oldPartiesLookSeconds;
  /// Phones behind share a version of the party for this long at least; for a larger party, for as
  /// long as keeps the versions a crowd of phones reading at `keepsUpBytesPerSecond` holds within
  /// `oldPartiesBytes`, so that their old parties grow with neither their number nor the party's size.
  static constexpr double shareVersionSeconds = 1;
  /// How often what a phone acknowledges is looked at, for `silentSeconds`.
  static constexpr double acknowledgementsLookSeconds = 5;
  /// How long a released connection may take to send what is left.
  static constexpr double stallSeconds = 5;
  /// A phone that has acknowledged none of what it was sent this long has left the network or
  /// stopped reading, and is let go; an idle one that answers none of the network's probes for as
  /// long, the system ends. Phones that read, however slowly, acknowledge.
  static constexpr int silentSeconds = 45;
};

}  // namespace kovali
