#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace kovali {

/// The tray item's picture: a disc with a round hole in its middle and two hands cut out of it,
/// one straight up and one down to the right. Only its shape counts; `color` fills it.
QImage trayIconImage(int side, const QColor& color);

/// The picture in the common tray sizes, in `color`.
QIcon trayIcon(const QColor& color);

}  // namespace kovali
