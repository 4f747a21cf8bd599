#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

#include "app/menus/tray_menu.h"

namespace kovali {

/// The host's item in the desktop's tray, present while the host runs, window or not: the
/// party's picture, the status line ("3 partygoers · Playing") as its tooltip, since trays show
/// no text beside the icon, and the menu that runs the party. A click opens the menu too.
class TrayItem final : public QObject {
  Q_OBJECT

 public:
  TrayItem(SessionStore& store, PartyActions::Show show, std::function<void()> quit, QObject* parent = nullptr);
  ~TrayItem() override;

  /// Puts the item into the tray, or there as soon as the desktop has one; without a display
  /// there is none.
  void show();

  QString statusLine() const { return icon_.toolTip(); }
  TrayMenu& menu() { return *menu_; }
  QSystemTrayIcon& icon() { return icon_; }

 private:
  std::unique_ptr<TrayMenu> menu_;  // a window of its own, so not a child
  QSystemTrayIcon icon_;
};

}  // namespace kovali
