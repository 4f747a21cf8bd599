#include "app/look/window_focus.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace kovali {

bool focusIsInAnotherWindow(const QWidget& widget) {
  const QWidget* focused = QApplication::focusWidget();
  return focused && focused->window() != widget.window();
}

void setWindowFocus(QWidget& widget, Qt::FocusReason reason) {
  const QPointer<QWidget> focused = QApplication::focusWidget();
  if (!focusIsInAnotherWindow(widget)) {
    widget.setFocus(reason);
    return;
  }
  // A popup leaves the window under it the active one, whose focus the popup would lose: the
  // focus goes there and back unannounced. Any other window's is left alone.
  widget.setFocus(Qt::NoFocusReason);
  if (focused && QApplication::focusWidget() != focused) focused->setFocus(Qt::NoFocusReason);
}

}  // namespace kovali
