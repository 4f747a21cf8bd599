#include "app/menus/party_actions.h"

#include <QAction>

#include "app/menus/party_controls.h"
#include "platform/runtime/set_if_changed.h"
#include "session/store/session_store.h"

namespace kovali {

PartyActions::PartyActions(SessionStore& store, Show show, TransportKeys keys, QObject* parent)
    : QObject(parent), store_(store), show_(std::move(show)) {
  playPause_ = new QAction(QStringLiteral("Play"), this);
  skip_ = new QAction(QStringLiteral("Skip"), this);
  if (keys == TransportKeys::standard) {
    playPause_->setShortcut(QKeySequence(Qt::Key_Space));
    skip_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right));
  }
  connect(playPause_, &QAction::triggered, this, [this] { togglePlayback(store_); });
  connect(skip_, &QAction::triggered, this, [this] { kovali::skip(store_); });

  showParty_ = makeShowAction(QStringLiteral("Show Party View"), HostViewMode::party, Qt::Key_1);
  openDJControls_ = makeShowAction(QStringLiteral("Open DJ Controls"), HostViewMode::console, Qt::Key_2);
  openSettings_ = makeShowAction(QStringLiteral("Open Settings"), HostViewMode::settings, Qt::Key_3);

  connect(&store_, &SessionStore::stateChanged, this, &PartyActions::refresh);
  connect(&store_, &SessionStore::participantsChanged, this, &PartyActions::refresh);
  refresh();
}

QAction* PartyActions::makeShowAction(const QString& title, HostViewMode mode, Qt::Key key) {
  auto* action = new QAction(title, this);
  action->setShortcut(QKeySequence(Qt::CTRL | key));
  connect(action, &QAction::triggered, this, [this, mode] { show_(mode); });
  return action;
}

void PartyActions::refresh() {
  if (!setIfChanged(state_, PartyMenuState::of(store_.state(), store_.participants().size()))) return;
  playPause_->setText(QString::fromStdString(state_.playPauseTitle));
  playPause_->setEnabled(state_.canPlayPause);
  skip_->setEnabled(state_.canSkip);
  emit stateChanged();
}

}  // namespace kovali
