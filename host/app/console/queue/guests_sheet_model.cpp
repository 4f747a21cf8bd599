#include "app/console/queue/guests_sheet_model.h"

#include <QCollator>
#include <QString>
#include <algorithm>

#include "app/party/party_view_model.h"

namespace kovali {

GuestsSheetModel GuestsSheetModel::make(const std::vector<vinaro::Participant>& participants,
                                        const vinaro::SessionState& state) {
  GuestsSheetModel model;
  model.title = partygoersText(participants.size());
  std::vector<vinaro::Participant> sorted = participants;
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
    return collator.compare(QString::fromStdString(a.name), QString::fromStdString(b.name)) < 0;
  });
  for (const auto& participant : sorted) {
    model.rows.push_back({participant.id, participant.name, participant.role == vinaro::Role::dj,
                          std::to_string(state.queueItems(participant.id).size()) + " queued", true});
  }
  if (!model.rows.empty()) model.rows.back().hasHairlineBelow = false;
  return model;
}

}  // namespace kovali
