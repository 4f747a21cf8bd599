#include "session/participants/dj_pin.h"

#include <gtest/gtest.h>

#include "support/in_memory_secret_store.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

const std::pair<std::string, std::string> kItem{"kovaliapp", "djPIN"};

TEST(DJPIN, ValidatesFourToSixNumericCharactersCountedAsPeopleSeeThem) {
  struct Case {
    const char* name;
    std::string pin;
    bool valid;
  } cases[] = {
      {"four digits", "1234", true},
      {"five digits", "12345", true},
      {"six digits", "123456", true},
      {"three digits", "123", false},
      {"seven digits", "1234567", false},
      {"empty", "", false},
      {"a letter among digits", "12a4", false},
      {"a space among digits", "12 34", false},
      {"a trailing line break", "1234\n", false},
      {"Arabic-Indic digits", "\u0660\u0661\u0662\u0663", true},
      {"fullwidth digits", "\uFF11\uFF12\uFF13\uFF14", true},
      {"mathematical bold digits, four characters in sixteen bytes", "\U0001D7CF\U0001D7D0\U0001D7D1\U0001D7D2", true},
      {"circled numbers, numeric but not decimal", "\u2460\u2461\u2462\u2463", true},
      {"Chinese numerals, numeric by their Unicode value", "\u4E00\u4E8C\u4E09\u56DB", true},
      {"seven numeric characters", "1234\u00BD56", false},
      {"a vulgar fraction counts as numeric", "12\u00BD4", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DJPIN::isValid(c.pin), c.valid) << c.name;
  }
}

TEST(DJPIN, CombiningMarksDoNotAddCharacters) {
  std::string sixMarked;
  for (int i = 0; i < 6; ++i) sixMarked += "7\u0308";
  EXPECT_TRUE(DJPIN::isValid(sixMarked));
  EXPECT_FALSE(DJPIN::isValid(sixMarked + "7"));
}

TEST(DJPIN, TheLaunchArgumentWinsOverTheStoreEvenWhenItIsNoValidPIN) {
  InMemorySecretStore secrets;
  secrets.items[kItem] = "4321";

  EXPECT_EQ(DJPIN(secrets, {"kovali-host", "-djPIN", "12"}).load(), "12");
  EXPECT_EQ(DJPIN(secrets, {"kovali-host", "-djPIN", "1111", "-djPIN", "2222"}).load(), "2222")
      << "the last one counts";
  EXPECT_EQ(DJPIN(secrets, {"kovali-host", "-djPIN", ""}).load(), "");
}

TEST(DJPIN, ReadsTheStoreWithoutAUsableLaunchArgument) {
  InMemorySecretStore secrets;
  secrets.items[kItem] = "4321";

  EXPECT_EQ(DJPIN(secrets, {"kovali-host"}).load(), "4321");
  EXPECT_EQ(DJPIN(secrets, {"kovali-host", "-djPIN"}).load(), "4321") << "a key without a value is no argument";
  EXPECT_EQ(DJPIN(secrets, {"kovali-host", "--djPIN", "9", "djPIN", "8"}).load(), "4321");
}

TEST(DJPIN, IsEmptyWhenNothingIsStoredOrTheStoreFails) {
  InMemorySecretStore secrets;
  DJPIN pin(secrets, {"kovali-host"});
  EXPECT_EQ(pin.load(), "");

  secrets.items[kItem] = "4321";
  secrets.failure = SecretError::failed("The keychain refused access (denied).");
  LogCapture log("kovaliapp.secrets");
  EXPECT_EQ(pin.load(), "");
  EXPECT_TRUE(log.hasLineStartingWith("Could not read the DJ PIN: The keychain refused access"));
}

TEST(DJPIN, StoresAPINAndDeletesTheItemForAnEmptyOne) {
  InMemorySecretStore secrets;
  DJPIN pin(secrets, {"kovali-host"});

  EXPECT_EQ(pin.save("2468"), std::nullopt);
  EXPECT_EQ(pin.save("1357"), std::nullopt);
  EXPECT_EQ(secrets.items.at(kItem), "1357");
  EXPECT_EQ(pin.load(), "1357");

  EXPECT_EQ(pin.save(""), std::nullopt);
  EXPECT_FALSE(secrets.items.contains(kItem)) << "an empty PIN leaves no item behind";
  EXPECT_EQ(secrets.removals, 1);
  EXPECT_EQ(pin.load(), "");
}

TEST(DJPIN, ReportsAPINThatCannotBeStored) {
  InMemorySecretStore secrets;
  secrets.items[kItem] = "1111";
  secrets.failure = SecretError::failed("The keychain refused access (denied).");
  DJPIN pin(secrets, {"kovali-host"});
  LogCapture log("kovaliapp.secrets");

  const auto written = pin.save("2222");
  const auto removed = pin.save("");

  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->description, "The keychain refused access (denied).");
  EXPECT_TRUE(removed.has_value());
  EXPECT_EQ(log.lines().size(), 2u);
  EXPECT_TRUE(log.hasLineStartingWith("Could not save the DJ PIN: "));
  EXPECT_EQ(secrets.items.at(kItem), "1111");
}

}  // namespace
}  // namespace kovali
