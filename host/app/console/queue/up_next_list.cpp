#include "app/console/queue/up_next_list.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QUuid>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>

#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_panel.h"
#include "app/look/controls/focus_ring.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/keyed_widgets.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

// Rows shown beyond each edge of the view, so that Tab and a drag find the next row shown.
constexpr int kRowsBeyondView = 6;

bool isSpace(const QKeyEvent& key) { return key.key() == Qt::Key_Space && key.modifiers() == Qt::NoModifier; }

}  // namespace

/// The scroll area of the rows. A change of its view's height, whatever made it (the window, the
/// column above the list), keeps the focused row in view where it stood in view before.
class UpNextList::View final : public QScrollArea {
 public:
  explicit View(UpNextList& list) : list_(list) {}

 protected:
  // Called for the view's own resize, before the scroll bar learns of it: its value is still
  // what the DJ saw, and the view's old height comes with the event.
  void resizeEvent(QResizeEvent* event) override {
    const auto place = list_.focusedPlace();
    const auto before = event->oldSize().isValid() ? list_.rowsInView(event->oldSize().height()) : std::nullopt;
    const bool keep = place && before && *place >= before->first && *place <= before->second;
    QScrollArea::resizeEvent(event);
    if (keep) list_.scrollToRow(*place);
    list_.showRowsNearTheView();
  }

 private:
  UpNextList& list_;
};

UpNextList::UpNextList(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent), loader_(loader), token_(QUuid::createUuid().toByteArray(QUuid::WithoutBraces)) {
  // Made first, so it stands where the list stands in the Tab chain; the rows, made later, are
  // chained after it.
  tabAnchor_ = new QWidget(this);
  tabAnchor_->setFocusPolicy(Qt::TabFocus);
  tabAnchor_->hide();
  panel_ = new Panel(*this);
  panel_->setObjectName(QStringLiteral("upNextRows"));
  column_ = new QVBoxLayout(panel_);
  column_->setContentsMargins(0, 8, 0, 8);
  column_->setSpacing(0);
  column_->addStretch(1);
  indicator_ = new QWidget(panel_);
  indicator_->setAutoFillBackground(true);
  QPalette indicatorPalette = indicator_->palette();
  indicatorPalette.setColor(QPalette::Window, Palette::teal());
  indicator_->setPalette(indicatorPalette);
  indicator_->hide();

  scroll_ = new View(*this);
  scroll_->setWidget(panel_);
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  // Tab walks the controls inside, which the area scrolls to; the area itself draws no focus.
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->viewport()->setAutoFillBackground(false);
  panel_->setAutoFillBackground(false);
  connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, this, &UpNextList::showRowsNearTheView);

  empty_ = new PlainLabel(QString::fromUtf8(QueueColumnModel::emptyQueueText), systemFont(13),
                          Palette::inkSecondary(appearanceOf(*this)));
  empty_->setObjectName(QStringLiteral("upNextEmpty"));
  empty_->setAlignment(Qt::AlignCenter);
  empty_->setWordWrap(true);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll_, 0, 0);
  layout->addWidget(empty_, 0, 0, Qt::AlignCenter);
}

void UpNextList::setRows(const std::vector<QueueRowModel>& rows) {
  // The first rows after the DJ's press show its outcome, or that it was refused.
  const bool followFocus = std::exchange(actedOnFocus_, false);
  if (shows(rows)) return;
  const int digits = static_cast<int>(std::to_string(rows.size()).size());
  const bool widthChanged = digits != positionDigits_;
  positionDigits_ = digits;
  const std::optional<FocusedButton> focused = focusedButton();
  // A focused button that stays is left alone, and a press held on it with it.
  const bool going = focused && !staysOn(*focused, rows);
  {
    const QScopedValueRollback changing(changingRows_, true);
    if (going) holdFocus(*focused->button);
    reconcileWidgets(rows_, rows, *column_, 0, [this] {
      auto* row = new QueueRow(loader_, panel_);
      QSizePolicy policy = row->sizePolicy();
      policy.setRetainSizeWhenHidden(true);
      row->setSizePolicy(policy);
      row->setPositionDigits(positionDigits_);
      connectRow(*row);
      return row;
    });
  }
  if (widthChanged) {
    for (QueueRow* row : rows_) row->setPositionDigits(digits);
  }
  empty_->setVisible(rows_.empty());
  orderTabsAsShown();
  if (focused) {
    const QScopedValueRollback changing(changingRows_, true);
    settleFocus(*focused, going, followFocus);
  }
  const auto place = focusedPlace();
  if (followFocus && place) scrollToRow(*place);
  showRowsNearTheView();
}

void UpNextList::connectRow(QueueRow& row) {
  row.playNextButton().installEventFilter(this);
  row.removeButton().installEventFilter(this);
  const auto noteFocus = [this, &row] { actedOnFocus_ = row.isAncestorOf(QApplication::focusWidget()); };
  connect(&row, &QueueRow::playNextClicked, this, [this, noteFocus](const std::string& itemID) {
    noteFocus();
    emit playNextClicked(itemID);
  });
  connect(&row, &QueueRow::removeClicked, this, [this, noteFocus](const std::string& itemID) {
    noteFocus();
    emit removeClicked(itemID);
  });
  connect(&row, &QueueRow::dragStarted, this, &UpNextList::startDrag);
}

void UpNextList::orderTabsAsShown() {
  // A row keeps its widget when it moves, and a new one joins the chain at the window's end.
  // Only rows whose neighbour before them changed are linked again: each link walks the window's
  // focus chain, and a long queue's rows between them.
  QWidget* previous = tabAnchor_;
  std::unordered_map<const QueueRow*, TabLink> links;
  links.reserve(rows_.size());
  for (QueueRow* row : rows_) {
    const auto found = tabLinks_.find(row);
    // The row, or the widget it followed, may have gone and another taken its address.
    const bool linked = found != tabLinks_.end() && found->second.row && found->second.after == previous;
    if (!linked) {
      QWidget::setTabOrder(previous, &row->playNextButton());
      QWidget::setTabOrder(&row->playNextButton(), &row->removeButton());
    }
    links.emplace(row, TabLink{row, previous});
    previous = &row->removeButton();
  }
  tabLinks_ = std::move(links);
}

std::optional<std::size_t> UpNextList::placeOf(const QWidget* inRow) const {
  const QWidget* row = inRow;
  while (row && row->parentWidget() != panel_) row = row->parentWidget();
  const auto found = std::find(rows_.begin(), rows_.end(), row);
  if (!row || found == rows_.end()) return std::nullopt;
  return static_cast<std::size_t>(found - rows_.begin());
}

std::vector<std::string> UpNextList::shownIDs() const {
  std::vector<std::string> ids;
  ids.reserve(rows_.size());
  for (const QueueRow* row : rows_) ids.push_back(row->model().id);
  return ids;
}

std::optional<std::size_t> UpNextList::focusedPlace() const { return placeOf(window()->focusWidget()); }

bool UpNextList::eventFilter(QObject* watched, QEvent* event) {
  const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
  const bool paging =
      key && key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp);
  if (changingRows_ || (event->type() != QEvent::FocusIn && !paging)) return QWidget::eventFilter(watched, event);
  const auto place = placeOf(qobject_cast<QWidget*>(watched));
  if (!place) return false;
  if (!paging) {
    focusEntered(*place, static_cast<QFocusEvent*>(event)->reason());
    return false;
  }
  turnPage(*place, key->key() == Qt::Key_PageDown);
  return true;
}

void UpNextList::focusEntered(std::size_t place, Qt::FocusReason reason) {
  const bool entering = !tabbingInside_ && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason);
  const auto inView = rowsInView();
  if (entering && inView && (place < inView->first || place > inView->second)) {
    // Tab from outside lands on the rows the DJ sees, not on those kept shown beyond the view.
    const std::size_t target = reason == Qt::TabFocusReason ? inView->first : inView->second;
    const bool remove = reason == Qt::BacktabFocusReason || !rows_[target]->playNextButton().isEnabled();
    focusButton(target, remove, reason);
    return;
  }
  scrollToRow(place);
}

void UpNextList::turnPage(std::size_t place, bool down) {
  scroll_->verticalScrollBar()->triggerAction(down ? QAbstractSlider::SliderPageStepAdd
                                                   : QAbstractSlider::SliderPageStepSub);
  const auto inView = rowsInView();
  if (!inView || (place >= inView->first && place <= inView->second)) return;
  // The focus goes to the row the view shows nearest to where it was.
  const std::size_t target = down ? inView->first : inView->second;
  const bool remove = rows_[place]->removeButton().hasFocus() || !rows_[target]->playNextButton().isEnabled();
  focusButton(target, remove, Qt::OtherFocusReason);
}

bool UpNextList::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && isSpace(*static_cast<QKeyEvent*>(event))) {
    // Space here acts on a row or on nothing, never on the party: the focus stays on the list
    // itself when the rows it was on went, and the DJ's Space was meant for one of them.
    event->accept();
    return true;
  }
  return QWidget::event(event);
}

void UpNextList::keyPressEvent(QKeyEvent* event) {
  if (isSpace(*event)) {
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    // From a row's button or the list itself: the page around takes the focus, where Space plays.
    releaseFocus();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void UpNextList::releaseFocus() {
  QWidget* page = parentWidget();
  while (page && !(page->focusPolicy() & Qt::ClickFocus)) page = page->parentWidget();
  if (page) {
    page->setFocus(Qt::OtherFocusReason);
  } else if (QWidget* focused = window()->focusWidget()) {
    focused->clearFocus();
  }
}

void UpNextList::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintFocusRing(painter, *this, rect(), 10);
}

int UpNextList::rowHeight() const {
  // Every row is as high as the first, so where a row stands follows from its place.
  return rows_.empty() ? 1 : std::max(1, rows_.front()->sizeHint().height());
}

int UpNextList::viewTop() const { return scroll_->verticalScrollBar()->value() - column_->contentsMargins().top(); }

std::optional<std::pair<std::size_t, std::size_t>> UpNextList::rowsInView(std::optional<int> viewHeight) const {
  const int height = rowHeight();
  const int top = viewTop();
  const int first = std::max(0, (top + height - 1) / height);
  const int bottom = top + viewHeight.value_or(scroll_->viewport()->height());
  const int last = std::min(static_cast<int>(rows_.size()), bottom / height) - 1;
  if (first > last) return std::nullopt;
  return std::pair{static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

bool UpNextList::standsInView(std::size_t place) const {
  const int height = rowHeight();
  const int rowTop = static_cast<int>(place) * height;
  return rowTop >= viewTop() && rowTop + height <= viewTop() + scroll_->viewport()->height();
}

void UpNextList::settleView() {
  // The scroll area takes the column's new size on a layout request, which would come later.
  QEvent request(QEvent::LayoutRequest);
  QCoreApplication::sendEvent(scroll_, &request);
}

void UpNextList::scrollToRow(std::size_t place) {
  const int height = rowHeight();
  const int middle = column_->contentsMargins().top() + static_cast<int>(place) * height + height / 2;
  scroll_->ensureVisible(0, middle, 0, height / 2);
}

void UpNextList::showRowsNearTheView() {
  // While rows are replaced the scroll bar may move under them; the change ends with this anyway.
  if (changingRows_ || rows_.empty()) return;
  const int height = rowHeight();
  const int top = viewTop();
  const auto first = static_cast<std::size_t>(std::max(0, top / height - kRowsBeyondView));
  const auto last =
      static_cast<std::size_t>(std::max(0, (top + scroll_->viewport()->height()) / height + kRowsBeyondView));
  // The focused row and its neighbours stay shown wherever the list is scrolled: it keeps the
  // focus, and Tab goes on from it to the next row.
  const auto focused = focusedPlace();
  for (std::size_t place = 0; place < rows_.size(); ++place) {
    const bool besideFocus = focused && place + 1 >= *focused && place <= *focused + 1;
    const bool near = (place >= first && place <= last) || besideFocus;
    if (near == rows_[place]->isHidden()) rows_[place]->setVisible(near);
  }
}

bool UpNextList::shows(const std::vector<QueueRowModel>& rows) const {
  return std::equal(rows_.begin(), rows_.end(), rows.begin(), rows.end(),
                    [](const QueueRow* row, const QueueRowModel& model) { return row->model() == model; });
}

}  // namespace kovali
