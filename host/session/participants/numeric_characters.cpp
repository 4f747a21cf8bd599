#include "session/participants/numeric_characters.h"

#include <unicode/uchar.h>

#include <QTextBoundaryFinder>

namespace kovali {

QStringList userCharacters(const QString& text) {
  QStringList characters;
  QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
  qsizetype start = 0;
  for (qsizetype end = boundaries.toNextBoundary(); end != -1; end = boundaries.toNextBoundary()) {
    if (end > start) characters << text.mid(start, end - start);
    start = end;
  }
  return characters;
}

bool isNumericCharacter(QStringView character) {
  const QList<uint> codePoints = character.toUcs4();
  if (codePoints.isEmpty()) return false;
  return u_getIntPropertyValue(static_cast<UChar32>(codePoints.front()), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

QString keepNumericCharacters(const QString& text, qsizetype limit) {
  QString kept;
  qsizetype count = 0;
  for (const QString& character : userCharacters(text)) {
    if (count == limit) break;
    if (!isNumericCharacter(character)) continue;
    kept += character;
    ++count;
  }
  return kept;
}

}  // namespace kovali
