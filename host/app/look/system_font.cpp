#include "app/look/system_font.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace kovali {

QFont systemFont(double size, QFont::Weight weight) {
  QFont font = QGuiApplication::font();
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
  font.setWeight(weight);
  return font;
}

}  // namespace kovali
