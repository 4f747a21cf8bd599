#include "app/look/system_font.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace kovali {

namespace {

QFont sized(QFont font, double size, QFont::Weight weight) {
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
  font.setWeight(weight);
  return font;
}

}  // namespace

QFont systemFont(double size, QFont::Weight weight) { return sized(QGuiApplication::font(), size, weight); }

QFont monospacedSystemFont(double size, QFont::Weight weight) {
  return sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), size, weight);
}

}  // namespace kovali
