#pragma once

#include <QLabel>

namespace kovali {

/// A label that never reads its text as markup, so names and titles from phones show as typed.
class PlainLabel : public QLabel {
  Q_OBJECT

 public:
  PlainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
  explicit PlainLabel(QWidget* parent = nullptr);
};

}  // namespace kovali
