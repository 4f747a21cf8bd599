#pragma once

#include "app/look/palette.h"

class QPainter;
class QRectF;
class QWidget;

namespace kovali {

/// Room a control keeps free at each side, where its focus ring runs.
constexpr int focusRingRoom = 4;

/// The keyboard focus of the shared look's controls, so a keyboard user sees where a key will
/// act: a ring in the palette's focus colour just inside `shape`, with corners of `radius`, and a
/// hairline of the surface colour inside it, so the ring stands out on a face of its own colour
/// too. Drawn while `control` has the focus and left out otherwise.
void paintFocusRing(QPainter& painter, const QWidget& control, const QRectF& shape, double radius);

/// The same ring, drawn whatever has the focus, for a control in `appearance`.
void paintFocusRing(QPainter& painter, Appearance appearance, const QRectF& shape, double radius);

}  // namespace kovali
