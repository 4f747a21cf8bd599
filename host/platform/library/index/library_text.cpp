#include "platform/library/index/library_text.h"

#include <algorithm>

#include <QString>

#include "protocol/utf8.h"

namespace kovali {

namespace {

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Appends `c` to folded text, turning white space into single spaces between words.
void appendFolded(std::string& out, char c, bool& pendingSpace) {
  if (isAsciiSpace(c)) {
    pendingSpace = !out.empty();
    return;
  }
  if (pendingSpace) out += ' ';
  pendingSpace = false;
  out += c;
}

// Latin letters that carry no combining mark to remove, spelt out; nothing for the others.
const char* spelledOut(char16_t c) {
  switch (c) {
    case u'ø': return "o";
    case u'æ': return "ae";
    case u'œ': return "oe";
    case u'ß': return "ss";
    case u'ł': return "l";
    case u'đ': return "d";
    case u'ð': return "d";
    case u'þ': return "th";
    case u'ı': return "i";
    default: return nullptr;
  }
}

}  // namespace

std::string readableText(std::string_view bytes) {
  if (vinaro::isValidUTF8(bytes)) return std::string(bytes);
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

std::string foldedForSearch(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  bool pendingSpace = false;
  if (isAscii(utf8)) {
    // Most tags are plain ASCII: fold them without the cost of Unicode normalisation.
    for (char c : utf8) appendFolded(out, (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c, pendingSpace);
    return out;
  }
  const QString decomposed = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))
                                 .normalized(QString::NormalizationForm_KD)
                                 .toCaseFolded();
  QString kept;
  kept.reserve(decomposed.size());
  for (const QChar c : decomposed) {
    if (c.isMark()) continue;
    if (c.isSpace()) {
      kept += u' ';
    } else if (const char* spelled = spelledOut(c.unicode())) {
      kept += QLatin1String(spelled);
    } else {
      kept += c;
    }
  }
  for (char c : kept.toStdString()) appendFolded(out, c, pendingSpace);
  return out;
}

std::vector<std::string> searchWords(std::string_view folded) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < folded.size()) {
    std::size_t end = folded.find(' ', start);
    if (end == std::string_view::npos) end = folded.size();
    if (end > start) words.emplace_back(folded.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

}  // namespace kovali
