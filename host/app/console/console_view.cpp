#include "app/console/console_view.h"

#include <QHBoxLayout>
#include <QPainter>
#include <utility>

#include "app/console/library/sidebar.h"
#include "app/console/queue/queue_column.h"
#include "app/console/requests/requests_column.h"
#include "app/look/frame_refresh.h"
#include "app/look/hairline.h"
#include "app/look/palette.h"
#include "session/store/session_store.h"

namespace kovali {

ConsoleView::ConsoleView(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent), store_(store) {
  setObjectName(QStringLiteral("console"));
  // A click on the page between the controls gives it the focus, where Space plays; Tab goes
  // only to the controls.
  setFocusPolicy(Qt::ClickFocus);
  sidebar_ = new Sidebar(store, scheduler, loader);
  sidebar_->setFixedWidth(sidebarWidth);
  queue_ = new QueueColumn(store, scheduler, loader);
  requests_ = new RequestsColumn(store, loader);
  requests_->setFixedWidth(requestsWidth);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(sidebar_);
  row->addWidget(new Hairline(Qt::Vertical));
  row->addWidget(queue_, 1);
  row->addWidget(new Hairline(Qt::Vertical));
  row->addWidget(requests_);

  auto* partyChanged = new FrameRefresh(scheduler, [this] { refresh(); }, this);
  connect(&store_, &SessionStore::stateChanged, partyChanged, &FrameRefresh::request);
  connect(&store_, &SessionStore::participantsChanged, partyChanged, &FrameRefresh::request);
  connect(&store_, &SessionStore::lastHostErrorChanged, this, &ConsoleView::refresh);
  connect(&store_, &SessionStore::playbackErrorChanged, this, &ConsoleView::refresh);
  connect(&store_, &SessionStore::saveProblemChanged, this, &ConsoleView::refresh);
  connect(&store_, &SessionStore::transportNoticeChanged, this, &ConsoleView::refresh);
  connect(&store_.music(), &MusicService::availabilityChanged, this, &ConsoleView::refresh);
  connect(&store_.server(), &HostServer::statusChanged, this, &ConsoleView::refresh);
  // Built while still hidden: thousands of rows put into a shown list cost many times more.
  catchUp();
}

void ConsoleView::catchUp() {
  if (!std::exchange(behind_, false)) return;
  const ConsoleSnapshot snapshot = ConsoleSnapshot::of(store_);
  queue_->setSnapshot(snapshot);
  requests_->setState(*snapshot.state);
}

void ConsoleView::refresh() {
  behind_ = true;
  // Out of sight it waits until it is shown: at a big party its refresh costs the host many times
  // the change itself, and catching up later costs one refresh, however many changes it missed.
  if (isVisible()) catchUp();
}

void ConsoleView::showEvent(QShowEvent* event) {
  catchUp();
  QWidget::showEvent(event);
}

void ConsoleView::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), Palette::paper(appearanceOf(*this))); }

}  // namespace kovali
