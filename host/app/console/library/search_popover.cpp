#include "app/console/library/search_popover.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/console/library/search_result_row.h"
#include "app/look/controls/focus_ring.h"
#include "app/look/controls/segmented_picker.h"
#include "app/look/keyed_widgets.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

/// The results' scroll area: a Tab stop whose arrow and page keys scroll the results. It keeps
/// room around its view for the focus ring, which it draws while it has the focus.
class ResultList final : public QScrollArea {
 public:
  ResultList() { setContentsMargins(focusRingRoom, focusRingRoom, focusRingRoom, focusRingRoom); }

 protected:
  bool event(QEvent* event) override {
    // The area's own paint (its view's paint goes to paintEvent): around the view, in its room.
    const bool handled = QScrollArea::event(event);
    if (event->type() == QEvent::Paint) {
      QPainter painter(this);
      paintFocusRing(painter, *this, rect(), 8);
    }
    return handled;
  }
};

}  // namespace

SearchPopover::SearchPopover(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent)
    : QFrame(parent, Qt::Popup), session_(store, scheduler), loader_(loader) {
  setObjectName(QStringLiteral("searchPopover"));
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedWidth(width);

  field_ = new QLineEdit;
  field_->setObjectName(QStringLiteral("searchField"));
  field_->setPlaceholderText(QStringLiteral("Search the music library"));
  field_->setClearButtonEnabled(true);
  field_->setTextMargins(focusRingRoom, 0, 0, 0);  // the text starts clear of the focus ring
  connect(field_, &QLineEdit::textChanged, this,
          [this](const QString& text) { session_.setQuery(text.toStdString()); });
  connect(field_, &QLineEdit::returnPressed, this, [this] { session_.runSearch(); });

  error_ = new PlainLabel(QString(), systemFont(12), Palette::orange());
  error_->setObjectName(QStringLiteral("searchError"));
  error_->setWordWrap(true);

  auto* results = new QWidget;
  results->setObjectName(QStringLiteral("searchResults"));
  list_ = new QVBoxLayout(results);
  list_->setContentsMargins(0, 0, 0, 0);
  list_->setSpacing(2);
  list_->addStretch(1);
  auto* scroll = new ResultList;
  scroll->setWidget(results);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setMinimumHeight(minimumListHeight);
  // The rows sit on the popover's own surface, not on a panel of the window's colour.
  scroll->viewport()->setAutoFillBackground(false);
  results->setAutoFillBackground(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(10);
  layout->addWidget(field_);
  // In the order of the kinds: songs, albums, playlists.
  kinds_ = new SegmentedPicker({QStringLiteral("Songs"), QStringLiteral("Albums"), QStringLiteral("Playlists")});
  kinds_->setAccessibleName(QStringLiteral("Kind"));
  connect(kinds_, &SegmentedPicker::picked, this,
          [this](int index) { session_.setKind(static_cast<SearchSession::Kind>(index)); });
  layout->addWidget(kinds_);
  layout->addWidget(error_);
  layout->addWidget(scroll, 1);

  connect(&session_, &SearchSession::changed, this, &SearchPopover::refresh);
  refresh();
}

QAbstractButton* SearchPopover::kindButton(SearchSession::Kind kind) const {
  return kinds_->segment(static_cast<int>(kind));
}

void SearchPopover::refresh() {
  kinds_->setCurrentIndex(static_cast<int>(session_.kind()));
  const auto& error = session_.error();
  error_->setText(QString::fromStdString(error.value_or(std::string())));
  error_->setVisible(error.has_value());
  reconcileWidgets(rows_, session_.results(), *list_, 0, [this] {
    auto* row = new SearchResultRow(loader_);
    connect(row, &SearchResultRow::addClicked, this, [this](const std::string& id) { session_.add(id); });
    return row;
  });
}

void SearchPopover::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  field_->setFocus(Qt::PopupFocusReason);
}

void SearchPopover::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Palette::surface(appearanceOf(*this)));
  painter.setPen(Palette::hairline(appearanceOf(*this)));
  painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace kovali
