#include "app/settings/party/party_mode_settings.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include "app/look/controls/segmented_picker.h"
#include "app/look/controls/switch_toggle.h"
#include "app/settings/widgets/boxed_field.h"
#include "app/settings/widgets/settings_rows.h"
#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::PartyMode;
using vinaro::SessionSettings;

TEST(PartyModeSettingsModel, EachModeHasItsCaptionAndThreeRows) {
  vinaro::SessionState state;
  state.settings.limitsPerGuest = true;
  state.settings.autoPlaysTopRequest = true;

  const auto collaboration = PartyModeSettingsModel::make(state);
  EXPECT_EQ(collaboration.caption, "Partygoers add songs straight to the queue, first come, first played.");
  EXPECT_EQ(collaboration.limitSwitch,
            (SwitchRowModel{SettingsSwitch::limitsPerGuest, "Limit songs per partygoer", std::nullopt, true}));
  EXPECT_EQ(collaboration.limit, (NumberRowModel{SettingsLimit::maxPendingPerGuest, "Songs per partygoer", true}));
  EXPECT_EQ(collaboration.lastSwitch,
            (SwitchRowModel{SettingsSwitch::allowDuplicates, "Allow duplicates", std::nullopt, false}));

  state.mode = PartyMode::suggestion;
  const auto suggestion = PartyModeSettingsModel::make(state);
  EXPECT_EQ(suggestion.caption,
            "Partygoers suggest songs and vote; the DJ approves them from the console or an iPhone.");
  EXPECT_EQ(suggestion.limitSwitch, (SwitchRowModel{SettingsSwitch::limitsRequestsPerGuest,
                                                    "Limit requests per partygoer", std::nullopt, false}));
  EXPECT_EQ(suggestion.limit, (NumberRowModel{SettingsLimit::maxRequestsPerGuest, "Requests per partygoer", false}));
  EXPECT_EQ(suggestion.lastSwitch,
            (SwitchRowModel{SettingsSwitch::autoPlaysTopRequest, "Automatically play top requested song",
                            "The top requested song will be added to the queue when it is empty", true}));
}

TEST(PartyModeSettingsModel, LimitTextsAreFilteredParsedAndSentOnlyWhenTheyDiffer) {
  struct Case {
    const char* typed;
    const char* kept;
    std::optional<std::int64_t> parsed;
    std::int64_t stored;
    std::optional<std::int64_t> sent;
  } cases[] = {
      {"123", "12", 12, 3, 12},
      {"5", "5", 5, 3, 5},
      {"5", "5", 5, 5, std::nullopt},
      {"7a", "7", 7, 3, 7},
      {"", "", std::nullopt, 3, std::nullopt},
      {"0", "0", 0, 3, 0},
      {"00", "00", 0, 0, std::nullopt},
      {"x9 9", "99", 99, 3, 99},
      {"\u0665", "\u0665", std::nullopt, 3, std::nullopt},
      {"\u00BD", "\u00BD", std::nullopt, 3, std::nullopt},
  };
  for (const auto& c : cases) {
    const QString kept = filterLimit(QString::fromUtf8(c.typed));
    EXPECT_EQ(kept, QString::fromUtf8(c.kept)) << c.typed;
    EXPECT_EQ(parseLimit(kept), c.parsed) << c.typed;
    EXPECT_EQ(limitToSend(kept, c.stored), c.sent) << c.typed << " against " << c.stored;
  }
}

TEST(PartyModeSettingsModel, ATextIsRewrittenOnlyWhenItNoLongerStandsForTheLimit) {
  EXPECT_EQ(refreshedLimitText("05", 5), QString("05"));
  EXPECT_EQ(refreshedLimitText("5", 7), QString("7"));
  EXPECT_EQ(refreshedLimitText("", 3), QString("3"));
  EXPECT_EQ(refreshedLimitText("\u0665", 5), QString("5"));
}

TEST(PartyModeSettingsModel, EachControlWritesOneFieldOnly) {
  const SessionSettings stored{true, 4, false, true, 6, false};
  SessionSettings expected = stored;
  expected.allowDuplicates = true;
  EXPECT_EQ(withSwitch(stored, SettingsSwitch::allowDuplicates, true), expected);
  expected = stored;
  expected.maxRequestsPerGuest = 9;
  EXPECT_EQ(withLimit(stored, SettingsLimit::maxRequestsPerGuest, 9), expected);
  EXPECT_EQ(limitOf(stored, SettingsLimit::maxPendingPerGuest), 4);
}

class PartyModeSettingsTest : public SessionStoreTest {
 protected:
  PartyModeSettingsTest() { makeStore(); }

  void setSettings(const SessionSettings& settings) {
    ASSERT_TRUE(store().dispatch(vinaro::action::UpdateSettings{settings}, vinaro::Actor::host()));
  }
  QString caption(PartyModeSettings& view) { return view.findChild<QLabel*>("modeCaption")->text(); }
  static void typeInto(BoxedField& field, const char* text) {
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClicks(&field, text);
  }
};

TEST_F(PartyModeSettingsTest, ChoosingPerRequestsSetsTheModeAndShowsTheSuggestionRows) {
  PartyModeSettings view(store());
  EXPECT_EQ(view.picker().currentIndex(), 0);
  EXPECT_EQ(view.limitSwitch().title(), QString("Limit songs per partygoer"));
  EXPECT_FALSE(view.limitRow(SettingsLimit::maxPendingPerGuest).isHidden());
  EXPECT_TRUE(view.limitRow(SettingsLimit::maxRequestsPerGuest).isHidden());

  view.picker().segment(1)->click();
  EXPECT_EQ(store().state().mode, PartyMode::suggestion);
  EXPECT_EQ(view.picker().currentIndex(), 1);
  EXPECT_EQ(caption(view),
            QString("Partygoers suggest songs and vote; the DJ approves them from the console or an iPhone."));
  EXPECT_EQ(view.limitSwitch().title(), QString("Limit requests per partygoer"));
  EXPECT_EQ(view.lastSwitch().caption(), QString("The top requested song will be added to the queue when it is empty"));
  EXPECT_TRUE(view.limitRow(SettingsLimit::maxPendingPerGuest).isHidden());
  EXPECT_FALSE(view.limitRow(SettingsLimit::maxRequestsPerGuest).isHidden());
  EXPECT_FALSE(store().lastHostError());
}

TEST_F(PartyModeSettingsTest, TypingAThirdDigitKeepsTwoAndSendsThem) {
  setSettings({true, 3, false, false, 3, false});
  PartyModeSettings view(store());
  BoxedField& songs = view.limitRow(SettingsLimit::maxPendingPerGuest).field();
  EXPECT_EQ(songs.text(), QString("3"));

  typeInto(songs, "12");
  EXPECT_EQ(store().state().settings.maxPendingPerGuest, 12);
  const auto revision = store().state().revision;
  QTest::keyClicks(&songs, "3");
  EXPECT_EQ(songs.text(), QString("12")) << "a third digit is dropped";
  EXPECT_EQ(store().state().revision, revision) << "the stored limit is not sent again";
  EXPECT_TRUE(songs.isValid());
}

TEST_F(PartyModeSettingsTest, AnEmptiedFieldSendsNothingUntilTheSettingsChange) {
  setSettings({true, 4, false, false, 3, false});
  PartyModeSettings view(store());
  BoxedField& songs = view.limitRow(SettingsLimit::maxPendingPerGuest).field();
  typeInto(songs, "");
  EXPECT_EQ(songs.text(), QString());
  EXPECT_FALSE(songs.isValid());
  EXPECT_EQ(store().state().settings.maxPendingPerGuest, 4);

  view.lastSwitch().toggle().click();
  EXPECT_TRUE(store().state().settings.allowDuplicates);
  EXPECT_EQ(songs.text(), QString("4")) << "a change of the settings shows the stored limit again";
  EXPECT_TRUE(songs.isValid());
}

TEST_F(PartyModeSettingsTest, ComingBackOnScreenShowsTheStoredLimitsAgain) {
  setSettings({true, 4, false, false, 3, false});
  PartyModeSettings view(store());
  view.show();
  BoxedField& songs = view.limitRow(SettingsLimit::maxPendingPerGuest).field();
  typeInto(songs, "");
  EXPECT_FALSE(songs.isValid());
  view.hide();
  view.show();
  EXPECT_EQ(songs.text(), QString("4"));
  EXPECT_TRUE(songs.isValid());
}

TEST_F(PartyModeSettingsTest, ASwitchSendsTheOtherFieldsAsStored) {
  const SessionSettings stored{true, 7, false, true, 5, true};
  setSettings(stored);
  PartyModeSettings view(store());
  EXPECT_TRUE(view.limitSwitch().toggle().isChecked());
  EXPECT_FALSE(view.lastSwitch().toggle().isChecked());

  view.lastSwitch().toggle().click();
  SessionSettings expected = stored;
  expected.allowDuplicates = true;
  EXPECT_EQ(store().state().settings, expected);
  EXPECT_TRUE(view.lastSwitch().toggle().isChecked());
}

TEST_F(PartyModeSettingsTest, TheLimitFieldIsDisabledWhileItsSwitchIsOff) {
  setSettings({false, 6, false, false, 3, false});
  PartyModeSettings view(store());
  BoxedField& songs = view.limitRow(SettingsLimit::maxPendingPerGuest).field();
  EXPECT_FALSE(songs.isEnabled());
  EXPECT_EQ(songs.text(), QString("6")) << "still showing the stored limit";

  view.limitSwitch().toggle().click();
  EXPECT_TRUE(store().state().settings.limitsPerGuest);
  EXPECT_TRUE(songs.isEnabled());
}

TEST_F(PartyModeSettingsTest, AChangeFromAPhoneRewritesTheFieldsButKeepsAMatchingText) {
  setSettings({true, 5, false, true, 3, false});
  PartyModeSettings view(store());
  BoxedField& songs = view.limitRow(SettingsLimit::maxPendingPerGuest).field();
  BoxedField& requests = view.limitRow(SettingsLimit::maxRequestsPerGuest).field();
  typeInto(songs, "05");
  EXPECT_EQ(store().state().settings.maxPendingPerGuest, 5) << "05 stands for the stored 5";

  setSettings({true, 5, false, true, 8, false});
  EXPECT_EQ(songs.text(), QString("05")) << "a text that still parses to the limit stays as typed";
  EXPECT_EQ(requests.text(), QString("8"));
}

}  // namespace
}  // namespace kovali
