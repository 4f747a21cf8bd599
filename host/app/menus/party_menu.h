#pragma once

#include <QMenu>

#include "app/menus/party_actions.h"

namespace kovali {

/// The main window's "Party" menu: Play/Pause (Space), Skip (Ctrl+Right) and the three view
/// modes (Ctrl+1 to Ctrl+3).
class PartyMenu final : public QMenu {
  Q_OBJECT

 public:
  PartyMenu(SessionStore& store, PartyActions::Show show, QWidget* parent = nullptr);

  const PartyActions& actionSet() const { return *actions_; }

 private:
  PartyActions* actions_;
};

}  // namespace kovali
