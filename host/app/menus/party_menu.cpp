#include "app/menus/party_menu.h"

namespace kovali {

PartyMenu::PartyMenu(SessionStore& store, PartyActions::Show show, QWidget* parent)
    : QMenu(QStringLiteral("Party"), parent),
      actions_(new PartyActions(store, std::move(show), PartyActions::TransportKeys::standard, this)) {
  addAction(actions_->playPause());
  addAction(actions_->skip());
  addSeparator();
  addAction(actions_->showParty());
  addAction(actions_->openDJControls());
  addAction(actions_->openSettings());
}

}  // namespace kovali
