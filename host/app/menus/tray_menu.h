#pragma once

#include <QMenu>
#include <functional>

#include "app/menus/party_actions.h"

namespace kovali {

/// The tray item's menu, which runs the party while no window is open: what plays, Play/Pause,
/// Skip, what comes next, the requests waiting for the DJ, the three view modes and "Quit Kovali".
/// The lines about the party are inactive items.
class TrayMenu final : public QMenu {
  Q_OBJECT

 public:
  TrayMenu(SessionStore& store, PartyActions::Show show, std::function<void()> quit, QWidget* parent = nullptr);

  const PartyActions& actionSet() const { return *actions_; }
  QAction* nowPlaying() const { return nowPlaying_; }
  QAction* upNext() const { return upNext_; }
  /// Shown only while requests wait; opens the DJ controls.
  QAction* requests() const { return requests_; }
  QAction* quit() const { return quit_; }

 private:
  void refresh();

  PartyActions* actions_;
  QAction* nowPlaying_ = nullptr;
  QAction* upNext_ = nullptr;
  QAction* requests_ = nullptr;
  QAction* quit_ = nullptr;
};

}  // namespace kovali
