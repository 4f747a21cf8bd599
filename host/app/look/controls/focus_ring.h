#pragma once

class QPainter;
class QRectF;
class QWidget;

namespace kovali {

/// The keyboard focus of the shared look's controls, so a keyboard user sees where a key will
/// act: a teal ring just inside `shape`, with corners of `radius`, drawn while `control` has the
/// focus and left out otherwise.
void paintFocusRing(QPainter& painter, const QWidget& control, const QRectF& shape, double radius);

}  // namespace kovali
