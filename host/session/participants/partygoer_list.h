#pragma once

#include <vector>

#include <QCollator>
#include <QString>

#include "model/participant.h"
#include "server/connection_id.h"

namespace kovali {

/// The connected participants in the order the party lists them, kept as phones come and go so
/// that a join costs no sort: by name with case ignored, equal names in the order of their
/// connections, and each participant once (the first of its connections in that order).
class PartygoerList {
 public:
  PartygoerList();

  /// Puts `participant` in for `connection`, replacing what that connection had.
  void insert(ConnectionID connection, const vinaro::Participant& participant);
  /// Takes out what `connection` had, if anything.
  void erase(ConnectionID connection);
  void clear() { entries_.clear(); }

  /// The list as the party shows it.
  std::vector<vinaro::Participant> list() const;

 private:
  struct Entry {
    QString name;
    ConnectionID connection;
    vinaro::Participant participant;
  };

  QCollator collator_;
  std::vector<Entry> entries_;  // in the party's order
};

}  // namespace kovali
