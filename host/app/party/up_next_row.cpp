#include "app/party/up_next_row.h"

#include <QHBoxLayout>
#include <algorithm>
#include <utility>

#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/party/up_next_card.h"

namespace kovali {

UpNextRow::UpNextRow(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent),
      loader_(loader),
      empty_(new PlainLabel(QString::fromUtf8(UpNextModel::emptyText), systemFont(14),
                            withOpacity(Palette::charcoal(), 0.5), this)),
      more_(new PlainLabel(QString(), systemFont(13, QFont::Medium), withOpacity(Palette::charcoal(), 0.5), this)) {
  empty_->setObjectName(QStringLiteral("upNextEmpty"));
  more_->setObjectName(QStringLiteral("upNextMore"));
  more_->setContentsMargins(4, 0, 4, 0);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(10);
  row->addWidget(empty_);
  row->addWidget(more_, 0, Qt::AlignVCenter);
  setModel({});
}

void UpNextRow::setModel(const UpNextModel& model) {
  auto* row = static_cast<QHBoxLayout*>(layout());
  std::vector<UpNextCard*> previous = std::exchange(cards_, {});
  for (const UpNextCardModel& cardModel : model.cards) {
    const auto kept = std::find_if(previous.begin(), previous.end(),
                                   [&](const UpNextCard* card) { return card->itemID() == cardModel.id; });
    UpNextCard* card = nullptr;
    if (kept != previous.end()) {
      card = *kept;
      previous.erase(kept);
      row->removeWidget(card);
    } else {
      card = new UpNextCard(loader_, this);
    }
    card->setModel(cardModel);
    // After the empty text and the cards placed so far.
    row->insertWidget(static_cast<int>(cards_.size()) + 1, card, 1, Qt::AlignVCenter);
    card->show();
    cards_.push_back(card);
  }
  for (UpNextCard* gone : previous) delete gone;

  empty_->setVisible(cards_.empty());
  more_->setVisible(model.moreText.has_value());
  more_->setText(QString::fromStdString(model.moreText.value_or(std::string())));
}

}  // namespace kovali
