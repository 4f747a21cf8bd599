#pragma once

#include <QColor>

class QPalette;
class QWidget;

namespace kovali {

/// Light or dark, as the window's palette says; only a few colours depend on it.
enum class Appearance { light, dark };

/// Dark when the palette's window colour is closer to black than to white.
Appearance appearanceOf(const QPalette& palette);
Appearance appearanceOf(const QWidget& widget);

/// The host's colour set, shared by every screen.
struct Palette {
  static const QColor& cream();
  static const QColor& charcoal();
  static const QColor& amber();
  static const QColor& teal();
  static const QColor& mint();
  static const QColor& orange();

  /// Text colour: charcoal on light windows, cream on dark ones.
  static QColor ink(Appearance appearance);
  /// Background colour, the opposite of `ink`.
  static QColor paper(Appearance appearance);
  /// Card and placeholder fill: white, or a dark grey.
  static QColor surface(Appearance appearance);
  static QColor inkSecondary(Appearance appearance);
  static QColor inkTertiary(Appearance appearance);
  static QColor inkQuaternary(Appearance appearance);
  static QColor hairline(Appearance appearance);
  /// The keyboard focus ring: at least 3:1 against paper, surface and (light) ink, so it shows
  /// on every face and backdrop it is drawn on.
  static QColor focusRing(Appearance appearance);
};

/// `color` with its alpha replaced by `opacity` (0 to 1).
QColor withOpacity(QColor color, double opacity);

/// Sets the colour that labels and other text of `widget` (and its children) are drawn in.
void setForeground(QWidget& widget, const QColor& color);

}  // namespace kovali
