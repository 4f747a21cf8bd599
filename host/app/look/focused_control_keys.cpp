#include "app/look/focused_control_keys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>

namespace kovali {

bool keepSpaceForFocusedControl(QEvent& event, const QWidget& view) {
  if (event.type() != QEvent::ShortcutOverride) return false;
  const auto& key = static_cast<const QKeyEvent&>(event);
  if (key.key() != Qt::Key_Space || key.modifiers() != Qt::NoModifier) return false;
  const QWidget* focused = QApplication::focusWidget();
  const bool control = qobject_cast<const QAbstractButton*>(focused) || qobject_cast<const QComboBox*>(focused);
  if (!control || !view.isAncestorOf(focused)) return false;
  event.accept();
  return true;
}

}  // namespace kovali
