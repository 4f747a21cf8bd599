// The main window's view mode as it is kept between launches.

#include "app/shell/window/view_mode_preference.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "platform/runtime/in_memory_preferences.h"
#include "platform/runtime/qsettings_preferences.h"

namespace kovali {
namespace {

TEST(ViewModePreference, EveryModeComesBackFromTheSettingsFile) {
  QTemporaryDir folder;
  const QString file = folder.filePath("kovali-host.conf");
  for (const HostViewMode mode : vinaro::allCases<HostViewMode>()) {
    const std::string raw(vinaro::rawValue(mode));
    {
      QSettingsPreferences preferences(file);
      ViewModePreference(preferences).setMode(mode);
    }
    QSettingsPreferences preferences(file);
    EXPECT_EQ(preferences.stringValue("hostViewMode"), QString::fromStdString(raw)) << raw;
    EXPECT_EQ(ViewModePreference(preferences).mode(), mode) << raw;
  }
}

TEST(ViewModePreference, ReadsAnythingButAModesNameAsTheParty) {
  struct Case {
    const char* name;
    QVariant stored;
  };
  const Case cases[] = {
      {"nothing stored", QVariant()},
      {"another word", QString("dj")},
      {"a name in capitals", QString("Console")},
      {"a name with a space", QString("settings ")},
      {"empty text", QString("")},
      {"a number", 2},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    if (c.stored.isValid()) preferences.setValue("hostViewMode", c.stored);
    EXPECT_EQ(ViewModePreference(preferences).mode(), HostViewMode::party) << c.name;
  }
}

TEST(ViewModePreference, TellsObserversOfChangesOnly) {
  InMemoryPreferences preferences;
  preferences.setValue("hostViewMode", QString("console"));
  ViewModePreference viewMode(preferences);
  QSignalSpy changes(&viewMode, &ViewModePreference::modeChanged);

  viewMode.setMode(HostViewMode::console);
  EXPECT_EQ(changes.count(), 0);
  viewMode.setMode(HostViewMode::settings);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(preferences.stringValue("hostViewMode"), QString("settings"));
}

}  // namespace
}  // namespace kovali
