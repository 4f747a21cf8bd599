#pragma once

#include "app/look/text/plain_label.h"

namespace kovali {

/// A small upper-case caption above a block, such as "NOW PLAYING".
class Eyebrow final : public PlainLabel {
  Q_OBJECT

 public:
  Eyebrow(const QString& text, const QColor& color, QWidget* parent = nullptr);
};

}  // namespace kovali
