#pragma once

#include <QFont>

namespace kovali {

/// The application's font at `size` (device-independent pixels, as the screens are laid out in).
QFont systemFont(double size, QFont::Weight weight = QFont::Normal);

/// The system's fixed-width font at `size`, for digits that line up and log lines.
QFont monospacedSystemFont(double size, QFont::Weight weight = QFont::Normal);

}  // namespace kovali
