// Dragging the list's rows, and dropping them back on it.

#include "app/console/queue/up_next_list.h"

#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_panel.h"

namespace kovali {

namespace {

// How close to the list's top or bottom edge a drag scrolls it, and by how much a move.
constexpr int kAutoScrollMargin = 24;
constexpr int kAutoScrollStep = 12;

}  // namespace

UpNextList::Panel::Panel(UpNextList& list) : list_(list) { setAcceptDrops(true); }

void UpNextList::Panel::dragEnterEvent(QDragEnterEvent* event) { accept(event); }

void UpNextList::Panel::dragMoveEvent(QDragMoveEvent* event) {
  if (!accept(event)) return;
  const int y = event->position().toPoint().y();
  list_.showDropIndicator(list_.destinationAt(y));
  autoScroll(y);
}

void UpNextList::Panel::dragLeaveEvent(QDragLeaveEvent*) { list_.showDropIndicator(std::nullopt); }

void UpNextList::Panel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  list_.layOutMadeRows();
}

bool UpNextList::Panel::focusNextPrevChild(bool next) {
  const QScopedValueRollback walking(list_.tabbingInside_, true);
  return QWidget::focusNextPrevChild(next);
}

void UpNextList::Panel::dropEvent(QDropEvent* event) {
  list_.showDropIndicator(std::nullopt);
  const auto item = accept(event) ? list_.draggedItem(event->mimeData()) : std::nullopt;
  if (!item) return;
  // The list redraws from the new queue; nothing of the drag itself is kept.
  event->setDropAction(Qt::CopyAction);
  emit list_.rowDropped(*item, list_.shownIDs(), list_.destinationAt(event->position().toPoint().y()));
}

bool UpNextList::Panel::accept(QDropEvent* event) {
  const bool ours = list_.draggedItem(event->mimeData()).has_value();
  if (ours) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
  return ours;
}

void UpNextList::Panel::autoScroll(int y) {
  QScrollBar* bar = list_.scroll_->verticalScrollBar();
  const int top = bar->value();
  const int bottom = top + list_.scroll_->viewport()->height();
  if (y < top + kAutoScrollMargin) bar->setValue(top - kAutoScrollStep);
  if (y > bottom - kAutoScrollMargin) bar->setValue(top + kAutoScrollStep);
}

QWidget& UpNextList::dropArea() const { return *panel_; }

QMimeData* UpNextList::dragData(std::size_t row) const {
  // The song, not its place: the phones may change the queue while the row is held.
  auto* payload = new QMimeData;
  payload->setData(QString::fromLatin1(mimeType), token_ + '/' + QByteArray::fromStdString(models_.at(row).id));
  return payload;
}

std::optional<std::string> UpNextList::draggedItem(const QMimeData* dropped) const {
  if (!dropped || !dropped->hasFormat(QString::fromLatin1(mimeType))) return std::nullopt;
  const QByteArray payload = dropped->data(QString::fromLatin1(mimeType));
  const QByteArray prefix = token_ + '/';
  if (!payload.startsWith(prefix)) return std::nullopt;
  return payload.mid(prefix.size()).toStdString();
}

std::size_t UpNextList::destinationAt(int y) const {
  // Before the first row whose middle lies below `y`: every row stands a row's height below the last.
  const int height = rowHeight();
  const int middleOfFirst = slotOf(0).center().y();
  if (y < middleOfFirst) return 0;
  return std::min(models_.size(), static_cast<std::size_t>((y - middleOfFirst) / height) + 1);
}

void UpNextList::startDrag(QueueRow* row) {
  const auto place = placeOf(row);
  if (!place) return;
  auto* drag = new QDrag(panel_);
  drag->setMimeData(dragData(*place));
  drag->setPixmap(row->grab());
  drag->setHotSpot(row->mapFromGlobal(QCursor::pos()));
  drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void UpNextList::showDropIndicator(std::optional<std::size_t> destination) {
  if (!destination || models_.empty()) {
    indicator_->hide();
    return;
  }
  const int y = *destination < models_.size() ? slotOf(*destination).top() : slotOf(models_.size() - 1).bottom() + 1;
  indicator_->setGeometry(22, y - 1, panel_->width() - 44, 2);
  indicator_->raise();
  indicator_->show();
}

}  // namespace kovali
