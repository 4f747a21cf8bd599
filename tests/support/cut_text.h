#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kovali {

/// The visible texts under `root` that are cut: a label, button or list whose text is wider or
/// taller than the room it was given, unless it ends in an ellipsis with the whole text as its tool
/// tip. Each entry names the widget and its text.
QStringList cutTexts(const QWidget& root);

}  // namespace kovali
