#pragma once

class QEvent;
class QWidget;

namespace kovali {

/// The window's Space plays and pauses the party, except where a button, switch or menu of
/// `view` has the focus: that control keeps its own Space. Call it from `view`'s `event()` (the
/// window's, for all of it); it answers whether it took `event` (a shortcut override) away from
/// the window's shortcut.
bool keepSpaceForFocusedControl(QEvent& event, const QWidget& view);

}  // namespace kovali
