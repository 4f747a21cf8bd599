#pragma once

#include <Qt>

class QWidget;

namespace kovali {

/// Whether a window other than `widget`'s holds the application's focus: a popup over it, a dialog,
/// another window of the application.
bool focusIsInAnotherWindow(const QWidget& widget);

/// Makes `widget` the focus of its window. While another window holds the application's focus,
/// that window keeps it and no focus event is sent; `widget` has the focus when its window takes
/// it back.
void setWindowFocus(QWidget& widget, Qt::FocusReason reason);

}  // namespace kovali
