#include "app/menus/tray_menu.h"

#include "app/menus/menu_text.h"

namespace kovali {

TrayMenu::TrayMenu(SessionStore& store, PartyActions::Show show, std::function<void()> quit, QWidget* parent)
    : QMenu(parent), actions_(new PartyActions(store, show, PartyActions::TransportKeys::none, this)) {
  nowPlaying_ = addAction(QString());
  nowPlaying_->setEnabled(false);
  addAction(actions_->playPause());
  addAction(actions_->skip());
  addSeparator();
  upNext_ = addAction(QString());
  upNext_->setEnabled(false);
  requests_ = addAction(QString());
  connect(requests_, &QAction::triggered, this, [show] { show(HostViewMode::console); });
  addSeparator();
  addAction(actions_->showParty());
  addAction(actions_->openDJControls());
  addAction(actions_->openSettings());
  addSeparator();
  quit_ = addAction(QStringLiteral("Quit Kovali"));
  quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit_, &QAction::triggered, this, [run = std::move(quit)] { run(); });

  connect(actions_, &PartyActions::stateChanged, this, &TrayMenu::refresh);
  refresh();
}

void TrayMenu::refresh() {
  const PartyMenuState& state = actions_->state();
  nowPlaying_->setText(menuText(state.nowPlaying));
  upNext_->setText(menuText(state.upNext));
  requests_->setText(menuText(state.requests.value_or(std::string())));
  requests_->setVisible(state.requests.has_value());
}

}  // namespace kovali
