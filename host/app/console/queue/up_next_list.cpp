#include "app/console/queue/up_next_list.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QUuid>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <utility>

#include "app/console/queue/queue_row.h"
#include "app/look/keyed_widgets.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

// How close to the list's top or bottom edge a drag scrolls it, and by how much a move.
constexpr int kAutoScrollMargin = 24;
constexpr int kAutoScrollStep = 12;
// Rows shown beyond each edge of the view, so that Tab and a drag find the next row shown.
constexpr int kRowsBeyondView = 6;

}  // namespace

/// The rows' container inside the scroll area; it takes the drops of this list's own rows.
class UpNextList::Panel final : public QWidget {
 public:
  explicit Panel(UpNextList& list) : list_(list) { setAcceptDrops(true); }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override { accept(event); }
  void dragMoveEvent(QDragMoveEvent* event) override {
    if (!accept(event)) return;
    const int y = event->position().toPoint().y();
    list_.showDropIndicator(list_.destinationAt(y));
    autoScroll(y);
  }
  void dragLeaveEvent(QDragLeaveEvent*) override { list_.showDropIndicator(std::nullopt); }
  void dropEvent(QDropEvent* event) override {
    list_.showDropIndicator(std::nullopt);
    const auto row = accept(event) ? list_.draggedRow(event->mimeData()) : std::nullopt;
    if (!row) return;
    // The list redraws from the new queue; nothing of the drag itself is kept.
    event->setDropAction(Qt::CopyAction);
    emit list_.rowsDropped({*row}, list_.destinationAt(event->position().toPoint().y()));
  }

 private:
  bool accept(QDropEvent* event) {
    const bool ours = list_.draggedRow(event->mimeData()).has_value();
    if (ours) {
      event->acceptProposedAction();
    } else {
      event->ignore();
    }
    return ours;
  }

  void autoScroll(int y) {
    QScrollBar* bar = list_.scroll_->verticalScrollBar();
    const int top = bar->value();
    const int bottom = top + list_.scroll_->viewport()->height();
    if (y < top + kAutoScrollMargin) bar->setValue(top - kAutoScrollStep);
    if (y > bottom - kAutoScrollMargin) bar->setValue(top + kAutoScrollStep);
  }

  UpNextList& list_;
};

UpNextList::UpNextList(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent), loader_(loader), token_(QUuid::createUuid().toByteArray(QUuid::WithoutBraces)) {
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

  scroll_ = new QScrollArea;
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

QWidget& UpNextList::dropArea() const { return *panel_; }

QMimeData* UpNextList::dragData(std::size_t row) const {
  auto* payload = new QMimeData;
  payload->setData(QString::fromLatin1(mimeType), token_ + '/' + QByteArray::number(static_cast<qulonglong>(row)));
  return payload;
}

std::optional<std::size_t> UpNextList::draggedRow(const QMimeData* dropped) const {
  if (!dropped || !dropped->hasFormat(QString::fromLatin1(mimeType))) return std::nullopt;
  const QByteArray payload = dropped->data(QString::fromLatin1(mimeType));
  const QByteArray prefix = token_ + '/';
  if (!payload.startsWith(prefix)) return std::nullopt;
  bool ok = false;
  const qulonglong row = payload.mid(prefix.size()).toULongLong(&ok);
  if (!ok) return std::nullopt;
  return static_cast<std::size_t>(row);
}

void UpNextList::setRows(const std::vector<QueueRowModel>& rows) {
  if (shows(rows)) return;
  const int digits = static_cast<int>(std::to_string(rows.size()).size());
  const bool widthChanged = digits != positionDigits_;
  positionDigits_ = digits;
  reconcileWidgets(rows_, rows, *column_, 0, [this] {
    auto* row = new QueueRow(loader_, panel_);
    QSizePolicy policy = row->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    row->setSizePolicy(policy);
    row->setPositionDigits(positionDigits_);
    connect(row, &QueueRow::playNextClicked, this, &UpNextList::playNextClicked);
    connect(row, &QueueRow::removeClicked, this, &UpNextList::removeClicked);
    connect(row, &QueueRow::dragStarted, this, &UpNextList::startDrag);
    return row;
  });
  if (widthChanged) {
    for (QueueRow* row : rows_) row->setPositionDigits(digits);
  }
  empty_->setVisible(rows_.empty());
  showRowsNearTheView();
}

void UpNextList::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  showRowsNearTheView();
}

void UpNextList::showRowsNearTheView() {
  if (rows_.empty()) return;
  // Every row is as high as the first, so where a row stands follows from its place.
  const int rowHeight = std::max(1, rows_.front()->sizeHint().height());
  const int top = scroll_->verticalScrollBar()->value() - column_->contentsMargins().top();
  const auto first = static_cast<std::size_t>(std::max(0, top / rowHeight - kRowsBeyondView));
  const auto last = static_cast<std::size_t>(std::max(0, (top + scroll_->viewport()->height()) / rowHeight + kRowsBeyondView));
  // The focused row stays shown wherever the list is scrolled, so it keeps the focus.
  const QWidget* focusedRow = QApplication::focusWidget();
  while (focusedRow && focusedRow->parentWidget() != panel_) focusedRow = focusedRow->parentWidget();
  for (std::size_t place = 0; place < rows_.size(); ++place) {
    const bool near = (place >= first && place <= last) || rows_[place] == focusedRow;
    if (near == rows_[place]->isHidden()) rows_[place]->setVisible(near);
  }
}

bool UpNextList::shows(const std::vector<QueueRowModel>& rows) const {
  return std::equal(rows_.begin(), rows_.end(), rows.begin(), rows.end(),
                    [](const QueueRow* row, const QueueRowModel& model) { return row->model() == model; });
}

std::size_t UpNextList::destinationAt(int y) const {
  for (std::size_t index = 0; index < rows_.size(); ++index) {
    if (y < rows_[index]->geometry().center().y()) return index;
  }
  return rows_.size();
}

void UpNextList::startDrag(QueueRow* row) {
  const auto found = std::find(rows_.begin(), rows_.end(), row);
  if (found == rows_.end()) return;
  auto* drag = new QDrag(panel_);
  drag->setMimeData(dragData(static_cast<std::size_t>(found - rows_.begin())));
  drag->setPixmap(row->grab());
  drag->setHotSpot(row->mapFromGlobal(QCursor::pos()));
  drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void UpNextList::showDropIndicator(std::optional<std::size_t> destination) {
  if (!destination || rows_.empty()) {
    indicator_->hide();
    return;
  }
  const int y =
      *destination < rows_.size() ? rows_[*destination]->geometry().top() : rows_.back()->geometry().bottom() + 1;
  indicator_->setGeometry(22, y - 1, panel_->width() - 44, 2);
  indicator_->raise();
  indicator_->show();
}

}  // namespace kovali
