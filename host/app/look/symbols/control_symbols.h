#pragma once

#include <QPainterPath>

#include "app/look/symbols/symbol.h"

namespace kovali {

/// The filled outline of one of the console's control symbols on a 1 by 1 grid; an empty path
/// for the symbols drawn elsewhere.
QPainterPath controlSymbolPath(Symbol symbol);

}  // namespace kovali
