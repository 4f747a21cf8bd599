#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace kovali {

/// `text` cut into characters as people count them (a digit with a combining mark is one).
QStringList userCharacters(const QString& text);

/// Whether the character's first code point has a Unicode numeric type: the digits of every
/// script, but also fractions, circled numbers and Roman numerals.
bool isNumericCharacter(QStringView character);

/// The numeric characters of `text`, in order, at most `limit` of them; everything else dropped.
QString keepNumericCharacters(const QString& text, qsizetype limit);

}  // namespace kovali
