#pragma once

class QPainter;
class QRectF;
class QWidget;

namespace kovali {

/// The keyboard focus of the shared look's controls, so a keyboard user sees where a key will
/// act: a ring in the palette's focus colour just inside `shape`, with corners of `radius`, and a
/// hairline of the surface colour inside it, so the ring stands out on a face of its own colour
/// too. Drawn while `control` has the focus and left out otherwise.
void paintFocusRing(QPainter& painter, const QWidget& control, const QRectF& shape, double radius);

}  // namespace kovali
