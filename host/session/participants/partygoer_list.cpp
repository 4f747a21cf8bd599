#include "session/participants/partygoer_list.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include <QString>

namespace kovali {

PartygoerList::PartygoerList() { collator_.setCaseSensitivity(Qt::CaseInsensitive); }

void PartygoerList::insert(ConnectionID connection, const vinaro::Participant& participant) {
  erase(connection);
  // Sort keys would not ignore case in every locale; the collator's comparison does.
  QString name = QString::fromStdString(participant.name);
  const auto at = std::partition_point(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    const int order = collator_.compare(entry.name, name);
    return order < 0 || (order == 0 && entry.connection < connection);
  });
  entries_.insert(at, Entry{std::move(name), connection, participant});
}

void PartygoerList::erase(ConnectionID connection) {
  std::erase_if(entries_, [&](const Entry& entry) { return entry.connection == connection; });
}

std::vector<vinaro::Participant> PartygoerList::list() const {
  std::vector<vinaro::Participant> once;
  once.reserve(entries_.size());
  std::unordered_set<std::string_view> taken;
  for (const auto& entry : entries_) {
    if (taken.insert(entry.participant.id).second) once.push_back(entry.participant);
  }
  return once;
}

}  // namespace kovali
