#pragma once

#include <QObject>
#include <functional>

#include "app/menus/party_menu_state.h"
#include "app/shell/window/host_view_mode.h"

class QAction;

namespace kovali {

class SessionStore;

/// The party's quick controls as menu actions: Play/Pause and Skip, which act on the store as
/// the host, and the three ways into the main window. The "Party" menu and the tray menu each
/// hold a set of their own, since only the menu's set answers Space and Ctrl+Right.
class PartyActions final : public QObject {
  Q_OBJECT

 public:
  using Show = std::function<void(HostViewMode)>;
  enum class TransportKeys { none, standard };

  /// Follows `store` from here on; `show` brings the main window forward in a mode.
  PartyActions(SessionStore& store, Show show, TransportKeys keys, QObject* parent = nullptr);

  /// What the controls show now.
  const PartyMenuState& state() const { return state_; }

  QAction* playPause() const { return playPause_; }
  QAction* skip() const { return skip_; }
  QAction* showParty() const { return showParty_; }
  QAction* openDJControls() const { return openDJControls_; }
  QAction* openSettings() const { return openSettings_; }

 signals:
  /// The session or the phones changed what the controls show.
  void stateChanged();

 private:
  QAction* makeShowAction(const QString& title, HostViewMode mode, Qt::Key key);
  void refresh();

  SessionStore& store_;
  Show show_;
  PartyMenuState state_;
  QAction* playPause_ = nullptr;
  QAction* skip_ = nullptr;
  QAction* showParty_ = nullptr;
  QAction* openDJControls_ = nullptr;
  QAction* openSettings_ = nullptr;
};

}  // namespace kovali
