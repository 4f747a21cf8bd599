#include "platform/bonjour/service_advertiser.h"

#include <avahi-common/error.h>
#include <gtest/gtest.h>

#include "platform/bonjour/avahi_advertiser.h"

namespace kovali {
namespace {

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(CutUtf8, CutsAtCharacterBoundaries) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t maxBytes;
    std::string expected;
  } cases[] = {
      {"short text stays", "Party", 63, "Party"},
      {"exactly the limit stays", repeat("a", 63), 63, repeat("a", 63)},
      {"ASCII is cut at the limit", repeat("a", 70), 63, repeat("a", 63)},
      {"two-byte letter is not split", repeat("é", 32), 63, repeat("é", 31)},
      {"three-byte sign is not split", "ab" + repeat("€", 2), 6, "ab€"},
      {"four-byte emoji is not split", "abc🎉", 6, "abc"},
      {"a cut right after a character keeps it", "a🎉b", 5, "a🎉"},
  };
  for (const auto& c : cases) EXPECT_EQ(cutUTF8(c.text, c.maxBytes), c.expected) << c.name;
}

TEST(FittedForDNSSD, CutsTheNameAndEachTXTEntry) {
  const ServiceRecord record{repeat("ü", 40), "_kovali._tcp", 4242,
                             {{"session", "ABC"}, {"playerr", repeat("x", 300)}, {"route", repeat("ö", 200)}}};

  const auto fitted = fittedForDNSSD(record);

  EXPECT_EQ(fitted.name, repeat("ü", 31));
  EXPECT_EQ(fitted.type, "_kovali._tcp");
  EXPECT_EQ(fitted.port, 4242);
  ASSERT_EQ(fitted.txt.size(), 3u);
  EXPECT_EQ(fitted.txt[0], (std::pair<std::string, std::string>{"session", "ABC"}));
  EXPECT_EQ(fitted.txt[1].first, "playerr");
  EXPECT_EQ(fitted.txt[1].first.size() + 1 + fitted.txt[1].second.size(), 255u);
  EXPECT_EQ(fitted.txt[2].first, "route");
  EXPECT_EQ(fitted.txt[2].second, repeat("ö", 124));  // 6 + 248 bytes; one more would be 256
}

TEST(PublishChange, TellsWhatMustBeRedone) {
  const ServiceRecord base{"Party", "_kovali._tcp", 4242, {{"session", "A"}, {"v", "1"}}};
  auto withTXT = base;
  withTXT.txt.push_back({"mode", "suggestion"});
  auto renamed = base;
  renamed.name = "Other";
  auto moved = base;
  moved.port = 4243;

  struct Case {
    const char* name;
    const ServiceRecord* current;
    const ServiceRecord& next;
    PublishChange expected;
  } cases[] = {
      {"nothing published", nullptr, base, PublishChange::registration},
      {"same record", &base, base, PublishChange::none},
      {"TXT differs", &base, withTXT, PublishChange::txt},
      {"name differs", &withTXT, renamed, PublishChange::registration},
      {"port differs", &base, moved, PublishChange::registration},
  };
  for (const auto& c : cases) EXPECT_EQ(publishChange(c.current, c.next), c.expected) << c.name;
}

TEST(AdvertiserError, MapsAvahiFailuresToTheirSentences) {
  struct Case {
    int avahiError;
    AdvertiserError::Kind kind;
    std::string message;
  } cases[] = {
      {AVAHI_ERR_ACCESS_DENIED, AdvertiserError::Kind::accessDenied,
       "The system is blocking local network access. Allow publishing in the avahi-daemon settings."},
      {AVAHI_ERR_NOT_PERMITTED, AdvertiserError::Kind::accessDenied,
       "The system is blocking local network access. Allow publishing in the avahi-daemon settings."},
      {AVAHI_ERR_NO_DAEMON, AdvertiserError::Kind::serviceNotRunning,
       "This computer's Bonjour service stopped answering. Check that avahi-daemon is running."},
      {AVAHI_ERR_DISCONNECTED, AdvertiserError::Kind::serviceNotRunning,
       "This computer's Bonjour service stopped answering. Check that avahi-daemon is running."},
      {AVAHI_ERR_INVALID_SERVICE_NAME, AdvertiserError::Kind::other, "Invalid service name."},
  };
  for (const auto& c : cases) {
    const auto error = AvahiAdvertiser::errorFor(c.avahiError);
    EXPECT_EQ(error.kind, c.kind) << "avahi error " << c.avahiError;
    EXPECT_EQ(error.message(), c.message) << "avahi error " << c.avahiError;
  }
}

}  // namespace
}  // namespace kovali
