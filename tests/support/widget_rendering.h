#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QSize>
#include <gtest/gtest.h>

class QWidget;

namespace kovali {

/// Shows `widget` at `size` on the offscreen screen, lets it lay itself out and grabs it.
QImage renderWidget(QWidget& widget, QSize size);
/// Runs the layout requests posted so far, nested layouts and scroll ranges included.
void settleLayouts();
/// Grabs a widget that is already shown.
QImage grabWidget(QWidget& widget);
/// What the screen shows of the shown window `window` once it has laid itself out: what it painted,
/// without the events a grab sends to the widgets it hides first.
QImage screenImage(QWidget& window);

/// `light` with a dark window, base and white text, as a dark desktop gives it.
QPalette darkPalette(const QPalette& light);

/// The WCAG contrast ratio of two opaque colours, from 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& first, const QColor& second);

/// Whether the pixel at (x, y) is `expected`, each channel within `tolerance`.
::testing::AssertionResult pixelIs(const QImage& image, int x, int y, const QColor& expected, int tolerance = 3);

}  // namespace kovali
