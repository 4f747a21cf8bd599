#include "app/settings/general/general_settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTest>

#include "app/look/symbols/symbol_icon.h"
#include "app/settings/widgets/boxed_field.h"
#include "session/participants/dj_pin.h"
#include "support/in_memory_secret_store.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

const std::pair<std::string, std::string> kItem{"kovaliapp", "djPIN"};

TEST(GeneralSettingsModel, FooterWarningAndBorderFollowThePINAndTheLastSave) {
  const std::string valid(GeneralSettingsModel::validFooter);
  const std::string invalid(GeneralSettingsModel::invalidFooter);
  struct Case {
    const char* name;
    std::string pin;
    std::optional<std::string> failure;
    GeneralSettingsModel expected;
  } cases[] = {
      {"empty", "", std::nullopt, {invalid, false, false, std::nullopt}},
      {"three digits", "123", std::nullopt, {invalid, true, false, std::nullopt}},
      {"four digits", "1234", std::nullopt, {valid, false, true, std::nullopt}},
      {"six digits", "123456", std::nullopt, {valid, false, true, std::nullopt}},
      {"a fraction counts as a digit", "12\u00BD4", std::nullopt, {valid, false, true, std::nullopt}},
      {"refused by the store", "1234", "Denied.", {valid, true, false, "The PIN was not saved: Denied."}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GeneralSettingsModel::make(c.pin, c.failure), c.expected) << c.name;
  }
}

TEST(GeneralSettingsModel, TheFilterKeepsTheFirstSixNumericCharacters) {
  struct Case {
    const char* typed;
    const char* kept;
  } cases[] = {
      {"12ab345678", "123456"},   {"1 2 3 4", "1234"},      {"abc", ""}, {"\u0661\u0662x\u0663", "\u0661\u0662\u0663"},
      {"12\u00BD4", "12\u00BD4"}, {"7\u03088", "7\u03088"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(filterPIN(QString::fromUtf8(c.typed)), QString::fromUtf8(c.kept)) << c.typed;
  }
}

class GeneralSettingsTest : public ::testing::Test {
 protected:
  void paste(GeneralSettings& view, const QString& text) {
    QApplication::clipboard()->setText(text);
    view.field().selectAll();
    view.field().paste();
  }
  std::optional<std::string> stored() const {
    const auto item = secrets.items.find(kItem);
    return item == secrets.items.end() ? std::nullopt : std::optional(item->second);
  }
  QString failureText(GeneralSettings& view) { return view.findChild<QLabel*>("pinFailure")->text(); }
  bool failureShown(GeneralSettings& view) { return !view.findChild<QLabel*>("pinFailure")->isHidden(); }
  bool warningShown(GeneralSettings& view) { return !view.findChild<SymbolIcon*>()->isHidden(); }

  InMemorySecretStore secrets;
  DJPIN djPIN{secrets, {"kovali-host"}};
};

TEST_F(GeneralSettingsTest, OpensWithTheStoredPINAndSavesNothing) {
  secrets.items[kItem] = "4321";
  GeneralSettings view(djPIN);
  EXPECT_EQ(view.field().text(), QString("4321"));
  EXPECT_EQ(secrets.writes, 0);
  EXPECT_TRUE(view.field().isValid());
}

TEST_F(GeneralSettingsTest, PastingKeepsAndSavesTheFirstSixDigits) {
  GeneralSettings view(djPIN);
  paste(view, QStringLiteral("12ab345678"));
  EXPECT_EQ(view.field().text(), QString("123456"));
  EXPECT_EQ(stored(), "123456");
  EXPECT_EQ(secrets.writes, 1);
  EXPECT_EQ(view.model().footer, GeneralSettingsModel::validFooter);
}

TEST_F(GeneralSettingsTest, TypingSavesEachValidPINAndDropsLetters) {
  GeneralSettings view(djPIN);
  QTest::keyClicks(&view.field(), "12x3");
  EXPECT_EQ(view.field().text(), QString("123")) << "a letter goes at once";
  EXPECT_FALSE(stored()) << "three digits are not saved";
  EXPECT_FALSE(view.field().isValid());
  EXPECT_TRUE(warningShown(view));
  EXPECT_EQ(view.model().footer, GeneralSettingsModel::invalidFooter);

  QTest::keyClicks(&view.field(), "45");
  EXPECT_EQ(stored(), "12345");
  EXPECT_EQ(secrets.writes, 2) << "1234 after the fourth digit, then 12345";
  EXPECT_TRUE(view.field().isValid());
  EXPECT_FALSE(warningShown(view));
}

TEST_F(GeneralSettingsTest, AShortOrEmptyPINLeavesTheStoredOneAlone) {
  secrets.items[kItem] = "4321";
  GeneralSettings view(djPIN);
  paste(view, QStringLiteral("123"));
  EXPECT_EQ(stored(), "4321");
  EXPECT_TRUE(warningShown(view));

  view.field().selectAll();
  QTest::keyClick(&view.field(), Qt::Key_Backspace);
  EXPECT_EQ(view.field().text(), QString());
  EXPECT_EQ(stored(), "4321") << "emptying the field deletes nothing";
  EXPECT_EQ(secrets.removals, 0);
  EXPECT_FALSE(warningShown(view)) << "no warning for an empty field";
  EXPECT_FALSE(view.field().isValid());
  EXPECT_EQ(djPIN.load(), "4321");
}

TEST_F(GeneralSettingsTest, ComingBackOnScreenShowsTheStoredPINAgain) {
  secrets.items[kItem] = "4321";
  GeneralSettings view(djPIN);
  view.show();
  paste(view, QStringLiteral("12"));
  EXPECT_FALSE(view.field().isValid());
  view.hide();
  view.show();
  EXPECT_EQ(view.field().text(), QStringLiteral("4321"));
  EXPECT_TRUE(view.field().isValid());
  EXPECT_FALSE(warningShown(view));
}

TEST_F(GeneralSettingsTest, APINTheStoreRefusesIsShownAsNotSaved) {
  GeneralSettings view(djPIN);
  secrets.failure = SecretError::failed("The keychain refused access (denied).");
  LogCapture log("kovaliapp.secrets");
  paste(view, QStringLiteral("2468"));

  EXPECT_FALSE(stored());
  EXPECT_TRUE(failureShown(view));
  EXPECT_EQ(failureText(view), QString("The PIN was not saved: The keychain refused access (denied)."));
  EXPECT_FALSE(view.field().isValid()) << "the border does not look saved";
  EXPECT_TRUE(warningShown(view));
  EXPECT_TRUE(log.hasLineStartingWith("Could not save the DJ PIN: The keychain refused access"));

  secrets.failure.reset();
  QTest::keyClicks(&view.field(), "0");
  EXPECT_EQ(stored(), "24680");
  EXPECT_FALSE(failureShown(view)) << "a later save clears the failure";
  EXPECT_TRUE(view.field().isValid());
}

TEST_F(GeneralSettingsTest, TheLaunchArgumentFillsTheField) {
  secrets.items[kItem] = "4321";
  DJPIN given(secrets, {"kovali-host", "-djPIN", "9999"});
  GeneralSettings view(given);
  EXPECT_EQ(view.field().text(), QString("9999"));
}

}  // namespace
}  // namespace kovali
