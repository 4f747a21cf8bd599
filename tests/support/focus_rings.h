#pragma once

#include <vector>

class QWidget;

namespace kovali {

/// Checks that Tab, pressed from the first of them, reaches every control inside `view` that may
/// take the focus by Tab (shown and enabled; of a choice's segments the chosen one), and gives
/// those controls with every segment.
std::vector<QWidget*> expectTabReachesEveryStop(const QWidget& view);

/// Checks that each of `controls`, scrolled into view, draws the focus ring where `window` shows
/// it, and only while it has the focus: two pixels of the ring's colour at the middle of its top
/// edge, at 3:1 or more against what lies just outside and just inside. Gives the weakest of those contrasts.
double expectFocusRings(QWidget& window, const std::vector<QWidget*>& controls);

/// Checks that `control`, a face drawn on its parent's backdrop, draws nothing where its focus
/// ring runs, so the ring covers none of its text.
void expectNothingUnderTheRing(QWidget& window, const QWidget& control);

}  // namespace kovali
