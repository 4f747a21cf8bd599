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
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_panel.h"
#include "app/look/controls/focus_ring.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

// Rows made beyond each edge of the view, so that Tab and a drag find the next row shown.
constexpr int kRowsBeyondView = 6;
// Room above the first row and below the last.
constexpr int kColumnMargin = 8;

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

void UpNextList::setRows(std::vector<QueueRowModel> rows) {
  // The first rows after the DJ's press show its outcome, or that it was refused.
  const bool followFocus = std::exchange(actedOnFocus_, false);
  if (models_ == rows) {
    earlierModels_ = std::move(rows);
    return;
  }
  std::optional<FocusedButton> focused = focusedButton();
  // A focused button that stays is left alone, and a press held on it with it.
  const bool going = focused && !staysOn(*focused, rows);
  if (going) {
    focused->idsBefore.reserve(models_.size());
    for (const QueueRowModel& row : models_) focused->idsBefore.push_back(row.id);
  }
  {
    const QScopedValueRollback changing(changingRows_, true);
    if (going) holdFocus(*focused->button);
    earlierModels_ = std::exchange(models_, std::move(rows));
    const int digits = static_cast<int>(std::to_string(models_.size()).size());
    if (std::exchange(positionDigits_, digits) != digits) {
      for (QueueRow* row : made_) row->setPositionDigits(digits);
      for (QueueRow* row : spare_) row->setPositionDigits(digits);
    }
    panel_->setMinimumHeight(models_.empty() ? 0 : slotOf(models_.size() - 1).bottom() + 1 + kColumnMargin);
    settleView();  // the scroll bar clamped to the new length, before the rows in view are chosen
  }
  empty_->setVisible(models_.empty());
  {
    const QScopedValueRollback changing(changingRows_, true);
    makeRowsNearTheView();
  }
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
  // focus chain.
  QWidget* previous = tabAnchor_;
  std::unordered_map<const QueueRow*, TabLink> links;
  links.reserve(made_.size());
  for (QueueRow* row : made_) {
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
  const auto found = std::find(made_.begin(), made_.end(), row);
  if (!row || found == made_.end()) return std::nullopt;
  return madePlaces_[static_cast<std::size_t>(found - made_.begin())];
}

QueueRow* UpNextList::rowAt(std::size_t place) const {
  const auto found = std::lower_bound(madePlaces_.begin(), madePlaces_.end(), place);
  if (found == madePlaces_.end() || *found != place) return nullptr;
  return made_[static_cast<std::size_t>(found - madePlaces_.begin())];
}

std::vector<std::string> UpNextList::shownIDs() const {
  std::vector<std::string> ids;
  ids.reserve(models_.size());
  for (const QueueRowModel& row : models_) ids.push_back(row.id);
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
    const bool remove = reason == Qt::BacktabFocusReason || !isOn(target, false);
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
  const QueueRow* paged = rowAt(place);
  const bool remove = (paged && paged->removeButton().hasFocus()) || !isOn(target, false);
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

int UpNextList::rowHeight() const { return std::max(1, rowHeight_); }

int UpNextList::viewTop() const { return scroll_->verticalScrollBar()->value() - kColumnMargin; }

QRect UpNextList::slotOf(std::size_t place) const {
  const int height = rowHeight();
  return {0, kColumnMargin + static_cast<int>(place) * height, panel_->width(), height};
}

std::optional<std::pair<std::size_t, std::size_t>> UpNextList::rowsInView(std::optional<int> viewHeight) const {
  const int height = rowHeight();
  const int top = viewTop();
  const int first = std::max(0, (top + height - 1) / height);
  const int bottom = top + viewHeight.value_or(scroll_->viewport()->height());
  const int last = std::min(static_cast<int>(models_.size()), bottom / height) - 1;
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
  const int middle = kColumnMargin + static_cast<int>(place) * height + height / 2;
  scroll_->ensureVisible(0, middle, 0, height / 2);
}

void UpNextList::showRowsNearTheView() {
  // While rows are replaced the scroll bar may move under them; the change ends with this anyway.
  if (!changingRows_) makeRowsNearTheView();
}

void UpNextList::makeRowsNearTheView() {
  if (models_.empty() && made_.empty()) return;
  if (rowHeight_ == 0 && !models_.empty()) {
    // Every row is as high as the first, so where a row stands follows from its place.
    QueueRow& first = takeRow();
    first.setModel(models_.front());
    rowHeight_ = first.sizeHint().height();
    spare_.push_back(&first);
    panel_->setMinimumHeight(slotOf(models_.size() - 1).bottom() + 1 + kColumnMargin);
    settleView();
  }
  const int height = rowHeight();
  const int top = viewTop();
  const auto count = static_cast<std::ptrdiff_t>(models_.size());
  const auto first = std::clamp<std::ptrdiff_t>(top / height - kRowsBeyondView, 0, count);
  const auto last = std::clamp<std::ptrdiff_t>((top + scroll_->viewport()->height()) / height + kRowsBeyondView,
                                               -1, count - 1);
  std::vector<std::size_t> wanted;
  for (auto place = first; place <= last; ++place) wanted.push_back(static_cast<std::size_t>(place));
  // The focused row and its neighbours stay made wherever the list is scrolled or its song has
  // moved to: it keeps the focus, and Tab goes on from it to the next row.
  if (const auto focused = focusedPlaceNow()) {
    for (const std::size_t place : {*focused - 1, *focused, *focused + 1}) {
      if (place < models_.size()) wanted.push_back(place);
    }
  }
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());

  // A made row stays with its queue item where the item still has a place wanted; the other rows
  // are taken for the places left.
  std::vector<QueueRow*> old = std::exchange(made_, {});
  madePlaces_.clear();
  std::unordered_multimap<std::string_view, std::size_t> oldByID;
  for (std::size_t index = 0; index < old.size(); ++index) oldByID.emplace(old[index]->model().id, index);
  std::vector<QueueRow*> next(wanted.size(), nullptr);
  for (std::size_t index = 0; index < wanted.size(); ++index) {
    const auto found = oldByID.find(models_[wanted[index]].id);
    if (found == oldByID.end()) continue;
    next[index] = std::exchange(old[found->second], nullptr);
    oldByID.erase(found);
  }
  for (QueueRow* row : old) {
    if (row) spare_.push_back(row);
  }
  for (std::size_t index = 0; index < wanted.size(); ++index) {
    QueueRow& row = next[index] ? *next[index] : takeRow();
    placeRow(row, wanted[index]);
    made_.push_back(&row);
    madePlaces_.push_back(wanted[index]);
  }
  // Rows out of view are hidden, not deleted: the next scroll takes them. As many as are made are
  // kept, enough for a page in either direction.
  for (QueueRow* row : spare_) row->hide();
  while (spare_.size() > made_.size()) {
    delete spare_.back();
    spare_.pop_back();
  }
  orderTabsAsShown();
}

std::optional<std::size_t> UpNextList::focusedPlaceNow() const {
  const auto was = focusedPlace();
  if (!was) return std::nullopt;
  const std::string& id = rowAt(*was)->model().id;
  // A change moves a few songs and shifts the rest by a place or so.
  for (const std::size_t near : {*was, *was + 1, *was - 1}) {
    if (near < models_.size() && models_[near].id == id) return near;
  }
  const auto found = std::find_if(models_.begin(), models_.end(), [&](const QueueRowModel& row) { return row.id == id; });
  if (found == models_.end()) return std::nullopt;
  return static_cast<std::size_t>(found - models_.begin());
}

QueueRow& UpNextList::takeRow() {
  if (!spare_.empty()) {
    QueueRow* row = spare_.back();
    spare_.pop_back();
    return *row;
  }
  auto* row = new QueueRow(loader_, panel_);
  row->setPositionDigits(positionDigits_);
  row->hide();
  connectRow(*row);
  return *row;
}

void UpNextList::placeRow(QueueRow& row, std::size_t place) {
  row.setModel(models_[place]);
  const QRect slot = slotOf(place);
  if (row.geometry() != slot) row.setGeometry(slot);
  if (row.isHidden()) row.show();
}

QueueRow& UpNextList::makeRowAt(std::size_t place) {
  if (QueueRow* made = rowAt(place)) return *made;
  QueueRow& row = takeRow();
  placeRow(row, place);
  const auto at = std::lower_bound(madePlaces_.begin(), madePlaces_.end(), place) - madePlaces_.begin();
  made_.insert(made_.begin() + at, &row);
  madePlaces_.insert(madePlaces_.begin() + at, place);
  orderTabsAsShown();
  return row;
}

void UpNextList::layOutMadeRows() {
  for (std::size_t index = 0; index < made_.size(); ++index) made_[index]->setGeometry(slotOf(madePlaces_[index]));
}

}  // namespace kovali
