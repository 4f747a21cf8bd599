#include "protocol/join_link.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/bonjour.h"

namespace vinaro {
namespace {

TEST(JoinLink, BuildsAPercentEncodedURLThatParsesBack) {
  struct Case {
    const char* name;
    JoinLink link;
    const char* url;
  } cases[] = {
      {"space", {"Party Mac", "ABC"}, "kovali://join?host=Party%20Mac&session=ABC"},
      {"plus", {"a+b", "1+1=2"}, "kovali://join?host=a%2Bb&session=1%2B1%3D2"},
      {"accented letter", {"Café", "é"}, "kovali://join?host=Caf%C3%A9&session=%C3%A9"},
      {"query characters", {"a&session=x", "#?/%"}, "kovali://join?host=a%26session%3Dx&session=%23%3F%2F%25"},
      {"unreserved characters", {"A-z_0.9~", "F81D4FAE-7DEC-11D0-A765-00A0C91E6BF6"},
       "kovali://join?host=A-z_0.9~&session=F81D4FAE-7DEC-11D0-A765-00A0C91E6BF6"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.link.url(), c.url) << c.name;
    EXPECT_EQ(JoinLink::parse(c.link.url()), c.link) << c.name;
  }
}

TEST(JoinLink, WritesEmptyFieldsAsEmptyItemsThatDoNotParse) {
  EXPECT_EQ((JoinLink{"x", ""}.url()), "kovali://join?host=x&session=");
  EXPECT_EQ((JoinLink{"", "S"}.url()), "kovali://join?host=&session=S");
  EXPECT_EQ(JoinLink::parse(JoinLink{"x", ""}.url()), std::nullopt);
  EXPECT_EQ(JoinLink::parse(JoinLink{"", "S"}.url()), std::nullopt);
}

TEST(JoinLink, ParsesWhatAPhoneMayScan) {
  struct Case {
    const char* url;
    std::optional<JoinLink> link;
  } cases[] = {
      {"kovali://join?session=ABC&host=x", JoinLink{"x", "ABC"}},
      {"KOVALI://JOIN?host=x&session=ABC", JoinLink{"x", "ABC"}},
      {"Kovali://Join?host=x&session=ABC", JoinLink{"x", "ABC"}},
      {"kovali://join/extra?host=x&session=ABC", JoinLink{"x", "ABC"}},
      {"kovali://user@join:99/p?other=1&host=x&session=ABC#frag", JoinLink{"x", "ABC"}},
      {"kovali://join?host=x&host=y&session=ABC", JoinLink{"x", "ABC"}},
      {"kovali://join?host=a+b&session=1+1", JoinLink{"a+b", "1+1"}},
      {"kovali://join?host=Party%20Mac&session=%c3%a9", JoinLink{"Party Mac", "é"}},
      {"kovali://join?host=a=b&session=ABC", JoinLink{"a=b", "ABC"}},
      {"kovali://join?HOST=x&session=ABC", std::nullopt},
      {"kovali://join?host=&host=x&session=ABC", std::nullopt},
      {"kovali://join?host&session=ABC", std::nullopt},
      {"kovali://join?host=x", std::nullopt},
      {"kovali://join?session=ABC", std::nullopt},
      {"kovali://join", std::nullopt},
      {"kovali://party?host=x&session=ABC", std::nullopt},
      {"https://join?host=x&session=ABC", std::nullopt},
      {"kovalix://join?host=x&session=ABC", std::nullopt},
      {"kovali:join?host=x&session=ABC", std::nullopt},
      {"//join?host=x&session=ABC", std::nullopt},
      {"kovali://join#?host=x&session=ABC", std::nullopt},
      {"kovali://join?host=%FF&session=ABC", std::nullopt},
      {"kovali://join?host=%4&session=ABC", std::nullopt},
      {"kovali://join?host=Party Mac&session=ABC", std::nullopt},
      {"kovali://join?host=Café&session=ABC", std::nullopt},
      {"", std::nullopt},
      {"not a url at all", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinLink::parse(c.url), c.link) << c.url;
}

// DNS-SD wants TXT keys short; the phones match them byte for byte.
TEST(Bonjour, TXTKeysAreShortLowerCaseASCII) {
  using namespace Bonjour::TXTKey;
  for (const auto key : {session, version, mode, guests, playing, multiroom, audio, route, heos, playerError, latency}) {
    EXPECT_LE(key.size(), 9u) << key;
    EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](char c) { return c >= 'a' && c <= 'z'; })) << key;
  }
}

}  // namespace
}  // namespace vinaro
