#include "app/console/queue/queue_column.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/console/queue/guests_sheet.h"
#include "app/console/queue/queue_now_playing.h"
#include "app/console/queue/up_next_list.h"
#include "app/look/controls/focus_ring.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/fade.h"
#include "app/look/palette.h"
#include "app/look/symbols/record_mark.h"
#include "app/look/symbols/symbol_label.h"
#include "app/look/system_font.h"
#include "app/look/text/eyebrow.h"
#include "app/look/text/fitted_label.h"
#include "app/look/text/plain_label.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

constexpr int kSideMargin = 22;

QString text(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

QueueColumn::QueueColumn(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent), store_(store), scheduler_(scheduler), progressTicker_(scheduler, [this] { refreshProgress(); }) {
  nowPlaying_ = new QueueNowPlaying(loader);
  nowPlaying_->setContentsMargins(kSideMargin, 22, kSideMargin, 0);
  upNext_ = new UpNextList(loader);
  error_ = new PlainLabel(QString(), systemFont(12), Palette::orange());
  error_->setObjectName(QStringLiteral("hostError"));
  error_->setWordWrap(true);
  error_->setContentsMargins(kSideMargin, 0, kSideMargin, 12);

  connect(nowPlaying_, &QueueNowPlaying::playPauseClicked, this, [this] { store_.togglePlayback(); });
  connect(nowPlaying_, &QueueNowPlaying::skipClicked, this,
          [this] { store_.performHostAction(vinaro::action::Skip{}); });
  connect(upNext_, &UpNextList::playNextClicked, this, [this](const std::string& id) {
    store_.performHostAction(vinaro::action::Move{id, 0});
  });
  connect(upNext_, &UpNextList::removeClicked, this,
          [this](const std::string& id) { store_.performHostAction(vinaro::action::Remove{id}); });
  connect(upNext_, &UpNextList::rowDropped, this, &QueueColumn::move);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(makeHeader());
  layout->addWidget(nowPlaying_);
  layout->addWidget(makeUpNextHeader());
  layout->addWidget(upNext_, 1);
  layout->addWidget(error_);
  setSnapshot(ConsoleSnapshot{});
}

QueueColumn::~QueueColumn() = default;

QWidget* QueueColumn::makeHeader() {
  const Appearance appearance = appearanceOf(*this);
  auto* header = new QWidget;
  name_ = new FittedLabel(1, 1.0);
  name_->setObjectName(QStringLiteral("partyName"));
  name_->setFont(systemFont(16, QFont::DemiBold));
  setForeground(*name_, Palette::ink(appearance));
  // A player's advice runs to a few sentences: it wraps, and what still does not fit is a tool tip.
  status_ = new FittedLabel(3, 1.0);
  status_->setObjectName(QStringLiteral("consoleStatus"));
  status_->setFont(systemFont(12));
  separator_ = new PlainLabel(QStringLiteral("\u00B7"), systemFont(12), Palette::inkTertiary(appearance));
  partygoers_ =
      new SymbolButton(Symbol::person2, QString(), {.glyph = 11, .color = Palette::teal(), .underlined = true});
  partygoers_->setObjectName(QStringLiteral("partygoers"));
  partygoers_->setFont(systemFont(12));
  partygoers_->setToolTip(QStringLiteral("Show who's at the party"));
  connect(partygoers_, &QAbstractButton::clicked, this, &QueueColumn::showGuests);

  // The partygoers' text stands as far from the dot as the dot from the status; its button's room
  // for the focus ring makes up the rest.
  constexpr int gap = 6;
  constexpr int spacing = gap - focusRingRoom;
  auto* statusRow = new QHBoxLayout;
  statusRow->setSpacing(spacing);
  statusRow->addWidget(status_, 0, Qt::AlignVCenter);
  statusRow->addSpacing(gap - 2 * spacing);
  statusRow->addWidget(separator_, 0, Qt::AlignVCenter);
  statusRow->addWidget(partygoers_, 0, Qt::AlignVCenter);
  statusRow->addStretch(1);
  auto* lines = new QVBoxLayout;
  lines->setSpacing(3);
  lines->addWidget(name_);
  lines->addLayout(statusRow);

  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(kSideMargin, 18, kSideMargin, 0);
  row->setSpacing(12);
  row->addWidget(new RecordMark(40, false), 0, Qt::AlignVCenter);
  row->addLayout(lines, 1);
  return header;
}

QWidget* QueueColumn::makeUpNextHeader() {
  const Appearance appearance = appearanceOf(*this);
  auto* header = new QWidget;
  upNextTitle_ = new Eyebrow(QString(), Palette::teal());
  upNextTitle_->setObjectName(QStringLiteral("upNextTitle"));
  clearNoticeLabel_ = new SymbolLabel(Symbol::checkmarkCircleFill, QString());
  clearNoticeLabel_->setObjectName(QStringLiteral("clearNotice"));
  clearNoticeLabel_->setFont(systemFont(12));
  setForeground(*clearNoticeLabel_, Palette::teal());
  clear_ =
      new SymbolButton(Symbol::trash, QStringLiteral("Clear the queue"),
                       {.glyph = 12, .color = Palette::orange(), .disabledColor = Palette::inkTertiary(appearance)});
  clear_->setObjectName(QStringLiteral("clearQueue"));
  clear_->setFont(systemFont(12));
  connect(clear_, &QAbstractButton::clicked, this, &QueueColumn::confirmClear);

  // The clear button's room for its focus ring reaches into the margins, so its text lines up
  // with the title and the rows' right edge.
  const int room = focusRingRoom;
  upNextTitle_->setContentsMargins(0, 0, 0, room);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(kSideMargin, 24 - room, kSideMargin - room, 0);
  row->addWidget(upNextTitle_, 0, Qt::AlignBottom);
  row->addStretch(1);
  row->addWidget(clearNoticeLabel_, 0, Qt::AlignBottom);
  row->addWidget(clear_, 0, Qt::AlignBottom);
  return header;
}

void QueueColumn::setSnapshot(const ConsoleSnapshot& snapshot) {
  // Keeps what it shows, not the state: a state a screen holds is one the next change must copy.
  model_ = QueueColumnModel::make(snapshot, upNext_->takeEarlierRows());
  playback_ = snapshot.state->playback;

  name_->setText(text(model_.partyName));
  status_->setText(text(model_.status.text));
  setForeground(*status_, model_.status.healthy ? Palette::teal() : Palette::orange());
  separator_->setVisible(model_.status.healthy);
  partygoers_->setVisible(model_.status.healthy);
  partygoers_->setText(text(model_.partygoers));
  nowPlaying_->setModel(model_.nowPlaying, model_.transportNotice);
  upNextTitle_->setText(text(model_.upNextTitle).toUpper());
  clear_->setEnabled(model_.canClear);
  showClearNotice();
  // The list keeps the rows: a copy of a big party's rows would cost each change as much again.
  upNext_->setRows(std::move(model_.rows));
  error_->setText(text(model_.errorLine.value_or(std::string())));
  error_->setVisible(model_.errorLine.has_value());
  if (guests_) guests_->setModel(GuestsSheetModel::make(snapshot.participants, *snapshot.state));
  if (confirmation_) {
    const auto texts = ClearConfirmation::forCount(snapshot.state->queue.size());
    confirmation_->setInformativeText(text(texts.message));
    for (QAbstractButton* button : confirmation_->buttons()) {
      if (confirmation_->buttonRole(button) == QMessageBox::DestructiveRole) button->setText(text(texts.confirmTitle));
    }
  }
  refreshProgress();
  updateProgressTimer();
}

void QueueColumn::showGuests() {
  if (guests_) return;
  guests_ = new GuestsSheet(this);
  guests_->setAttribute(Qt::WA_DeleteOnClose);
  const ConsoleSnapshot now = ConsoleSnapshot::of(store_);
  guests_->setModel(GuestsSheetModel::make(now.participants, *now.state));
  guests_->open();
}

void QueueColumn::confirmClear() {
  if (confirmation_) return;
  const auto texts = ClearConfirmation::forCount(store_.state().queue.size());
  confirmation_ =
      new QMessageBox(QMessageBox::Warning, text(texts.title), text(texts.title), QMessageBox::NoButton, this);
  confirmation_->setObjectName(QStringLiteral("clearConfirmation"));
  confirmation_->setTextFormat(Qt::PlainText);
  confirmation_->setInformativeText(text(texts.message));
  QPushButton* confirm = confirmation_->addButton(text(texts.confirmTitle), QMessageBox::DestructiveRole);
  QPushButton* cancel = confirmation_->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  confirmation_->setDefaultButton(cancel);
  confirmation_->setEscapeButton(cancel);
  confirmation_->setAttribute(Qt::WA_DeleteOnClose);
  connect(confirmation_, &QMessageBox::buttonClicked, this, [this, confirm](QAbstractButton* chosen) {
    if (chosen == confirm) clearQueue();
  });
  confirmation_->open();
}

void QueueColumn::clearQueue() {
  const std::size_t count = store_.state().queue.size();
  store_.performHostAction(vinaro::action::ClearQueue{});
  if (store_.lastHostError()) return;
  clearNotice_ = clearedNotice(count);
  showClearNotice();
  (void)hideClearNoticeLater();
}

QCoro::Task<> QueueColumn::hideClearNoticeLater() {
  const QPointer<QueueColumn> self(this);
  co_await scheduler_.sleep(3);
  if (!self) co_return;
  clearNotice_.reset();
  showClearNotice();
}

void QueueColumn::showClearNotice() {
  clearNoticeLabel_->setContent(Symbol::checkmarkCircleFill, text(clearNotice_.value_or(std::string())));
  fadeVisible(*clearNoticeLabel_, clearNotice_.has_value());
}

void QueueColumn::move(const std::string& itemID, const std::vector<std::string>& shownIDs, std::size_t destination) {
  const auto& queue = store_.state().queue;
  const auto dragged = std::find_if(queue.begin(), queue.end(), [&](const auto& item) { return item.id == itemID; });
  // A song that left the queue while it was held stands past its end, and moves nowhere.
  const auto place = static_cast<std::size_t>(dragged - queue.begin());
  const auto target = reorderTarget({place}, dropDestination(queue, itemID, shownIDs, destination), queue.size());
  if (!target) return;
  store_.performHostAction(vinaro::action::Move{itemID, static_cast<std::int64_t>(*target)});
}

void QueueColumn::refreshProgress() { nowPlaying_->setProgress(ProgressModel::at(playback_, scheduler_.now())); }

void QueueColumn::updateProgressTimer() {
  // The progress ticks only while someone can see it.
  progressTicker_.follow(isVisible() && std::holds_alternative<QueuePlaybackModel>(model_.nowPlaying));
}

void QueueColumn::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  updateProgressTimer();
}

void QueueColumn::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  updateProgressTimer();
}

}  // namespace kovali
