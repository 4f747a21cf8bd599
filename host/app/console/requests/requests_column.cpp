#include "app/console/requests/requests_column.h"

#include <QVBoxLayout>

#include "app/console/requests/request_card.h"
#include "app/look/keyed_widgets.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/eyebrow.h"
#include "app/look/text/plain_label.h"
#include "session/store/session_store.h"

namespace kovali {

RequestsColumn::RequestsColumn(SessionStore& store, ArtworkLoader& loader, QWidget* parent)
    : QScrollArea(parent), store_(store), loader_(loader) {
  const Appearance appearance = appearanceOf(*this);
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("requestsContent"));
  title_ = new Eyebrow(QString(), Palette::amber());
  title_->setObjectName(QStringLiteral("requestsTitle"));
  hint_ = new PlainLabel(QString(), systemFont(12), Palette::inkSecondary(appearance));
  hint_->setObjectName(QStringLiteral("requestsHint"));
  hint_->setWordWrap(true);
  hint_->setContentsMargins(0, 2, 0, 0);
  resolvedTitle_ = new Eyebrow(QString(), Palette::inkTertiary(appearance));
  resolvedTitle_->setObjectName(QStringLiteral("resolvedTitle"));
  resolvedTitle_->setContentsMargins(0, 10, 0, 0);

  column_ = new QVBoxLayout(content);
  column_->setContentsMargins(18, 18, 18, 18);
  column_->setSpacing(10);
  column_->addWidget(title_);
  column_->addWidget(hint_);
  column_->addWidget(resolvedTitle_);
  column_->addStretch(1);

  setWidget(content);
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  // Tab walks the controls inside, which the area scrolls to; the area itself draws no focus.
  setFocusPolicy(Qt::NoFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setAutoFillBackground(false);
  content->setAutoFillBackground(false);
  setState(vinaro::SessionState{});
}

void RequestsColumn::setState(const vinaro::SessionState& state) {
  model_ = RequestsColumnModel::make(state);
  title_->setText(QString::fromStdString(model_.title).toUpper());
  hint_->setText(QString::fromStdString(model_.hint.value_or(std::string())));
  hint_->setVisible(model_.hint.has_value());
  // Title and hint come first, then the cards, the resolved header and its rows.
  reconcileWidgets(cards_, model_.cards, *column_, 2, [this] {
    auto* card = new RequestCard(loader_);
    connect(card, &RequestCard::approveClicked, this, &RequestsColumn::approve);
    connect(card, &RequestCard::rejectClicked, this, &RequestsColumn::reject);
    return card;
  });
  resolvedTitle_->setText(QString::fromStdString(model_.resolvedTitle.value_or(std::string())).toUpper());
  resolvedTitle_->setVisible(model_.resolvedTitle.has_value());
  reconcileWidgets(resolved_, model_.resolved, *column_, 3 + static_cast<int>(cards_.size()),
                   [this] { return new ResolvedRow(loader_); });
}

void RequestsColumn::approve(const std::string& id) {
  // The store resolves a collection's songs first and keeps a refusal in lastHostError.
  (void)store_.approveRequest(id, vinaro::QueuePosition::end, vinaro::Actor::host(), std::nullopt);
}

void RequestsColumn::reject(const std::string& id) { store_.performHostAction(vinaro::action::RejectRequest{id}); }

}  // namespace kovali
