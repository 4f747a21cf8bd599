#pragma once

class QWidget;

namespace kovali {

/// Shows or hides `widget` with a 0.2 s fade of its opacity. The first call sets the state at
/// once; asking again for the state it is fading to changes nothing.
void fadeVisible(QWidget& widget, bool visible);

}  // namespace kovali
