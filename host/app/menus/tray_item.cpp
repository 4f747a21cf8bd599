#include "app/menus/tray_item.h"

#include <QCursor>
#include <QGuiApplication>

#include "app/look/palette.h"
#include "app/menus/tray_icon.h"

namespace kovali {

TrayItem::TrayItem(SessionStore& store, PartyActions::Show show, std::function<void()> quit, QObject* parent)
    : QObject(parent), menu_(std::make_unique<TrayMenu>(store, std::move(show), std::move(quit))) {
  // Trays follow the desktop's look, which the application's palette mirrors.
  icon_.setIcon(trayIcon(Palette::ink(appearanceOf(QGuiApplication::palette()))));
  icon_.setContextMenu(menu_.get());

  const auto refresh = [this] { icon_.setToolTip(QString::fromStdString(menu_->actionSet().state().statusLine)); };
  connect(&menu_->actionSet(), &PartyActions::stateChanged, this, refresh);
  refresh();

  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) menu_->popup(QCursor::pos());
  });
}

TrayItem::~TrayItem() { icon_.hide(); }

void TrayItem::show() {
  // A platform without a desktop never gets a tray.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
  icon_.show();
}

}  // namespace kovali
