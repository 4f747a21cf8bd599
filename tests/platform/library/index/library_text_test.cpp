#include "platform/library/index/library_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kovali {
namespace {

TEST(LibraryText, FoldsCaseAccentsAndSpaces) {
  struct Case {
    const char* name;
    const char* text;
    const char* folded;
  } cases[] = {
      {"ascii case", "Daft PUNK", "daft punk"},
      {"acute accent", "Beyoncé", "beyonce"},
      {"upper case accent", "ÉTÉ À PARIS", "ete a paris"},
      {"decomposed input", "Bey\u006f\u006e\u0063\u0065\u0301", "beyonce"},
      {"umlaut and sharp s", "Größe", "grosse"},
      {"letters without decomposition", "Røyksopp Œuvre Łódź Þór", "royksopp oeuvre lodz thor"},
      {"ligature", "ﬁnale", "finale"},
      {"white space runs and ends", "  a \t\n b\u00a0 c  ", "a b c"},
      {"other scripts keep their letters", "Кино", "кино"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(foldedForSearch(c.text), c.folded) << c.name;
}

TEST(LibraryText, SplitsFoldedTextIntoWords) {
  EXPECT_THAT(searchWords("daft punk one"), ::testing::ElementsAre("daft", "punk", "one"));
  EXPECT_THAT(searchWords(""), ::testing::IsEmpty());
}

TEST(LibraryText, ReadsBrokenUTF8AsLatin1) {
  EXPECT_EQ(readableText("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(readableText("caf\xe9"), "caf\xc3\xa9");
  EXPECT_EQ(readableText("\xff\xfe"), "\xc3\xbf\xc3\xbe");
}

}  // namespace
}  // namespace kovali
