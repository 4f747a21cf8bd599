#include <functional>
#include <memory>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/runtime/in_memory_preferences.h"
#include "platform/runtime/qsettings_preferences.h"

namespace kovali {
namespace {

struct Implementation {
  const char* name;
  std::function<std::unique_ptr<Preferences>(const QString& folder)> make;
};

void PrintTo(const Implementation& implementation, std::ostream* out) { *out << implementation.name; }

class PreferencesTest : public ::testing::TestWithParam<Implementation> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    preferences = GetParam().make(folder.path());
  }

  QTemporaryDir folder;
  std::unique_ptr<Preferences> preferences;
};

TEST_P(PreferencesTest, ReadsBackEachKindOfValue) {
  preferences->setValue("multiRoomPlaysOnMac", true);
  preferences->setValue("multiRoomMacVolume", 0.35);
  preferences->setValue("hostViewMode", QStringLiteral("party"));
  preferences->setValue("heos.presets", QByteArray("[{\"name\":\"Hall\"}]"));

  EXPECT_EQ(preferences->boolValue("multiRoomPlaysOnMac"), true);
  EXPECT_EQ(preferences->doubleValue("multiRoomMacVolume"), 0.35);
  EXPECT_EQ(preferences->stringValue("hostViewMode"), QStringLiteral("party"));
  EXPECT_EQ(preferences->dataValue("heos.presets"), QByteArray("[{\"name\":\"Hall\"}]"));
}

TEST_P(PreferencesTest, GivesNothingForAbsentKeysAndValuesOfAnotherKind) {
  preferences->setValue("hostViewMode", QStringLiteral("console"));
  preferences->setValue("multiRoom", false);

  EXPECT_EQ(preferences->boolValue("absent"), std::nullopt);
  EXPECT_EQ(preferences->boolValue("hostViewMode"), std::nullopt);
  EXPECT_EQ(preferences->doubleValue("hostViewMode"), std::nullopt);
  EXPECT_EQ(preferences->dataValue("hostViewMode"), std::nullopt);
  EXPECT_EQ(preferences->boolValue("multiRoom"), false);
  EXPECT_FALSE(preferences->value("absent").isValid());
}

TEST_P(PreferencesTest, ForgetsARemovedKey) {
  preferences->setValue("airPlayEngine", QStringLiteral("stream"));
  preferences->remove("airPlayEngine");
  EXPECT_EQ(preferences->stringValue("airPlayEngine"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Implementations, PreferencesTest,
    ::testing::Values(
        Implementation{"InMemory", [](const QString&) { return std::make_unique<InMemoryPreferences>(); }},
        Implementation{"QSettings",
                       [](const QString& folder) {
                         return std::make_unique<QSettingsPreferences>(folder + "/kovali.conf");
                       }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(QSettingsPreferences, KeepsValuesForTheNextLaunch) {
  QTemporaryDir folder;
  const QString path = folder.path() + "/kovali.conf";
  {
    QSettingsPreferences first(path);
    first.setValue("multiRoomMacVolume", 0.5);
    first.setValue("multiRoom", true);
  }
  QSettingsPreferences second(path);
  EXPECT_EQ(second.doubleValue("multiRoomMacVolume"), 0.5);
  EXPECT_EQ(second.boolValue("multiRoom"), true);
}

}  // namespace
}  // namespace kovali
