#include "app/settings/advanced/advanced_settings.h"

#include <gtest/gtest.h>

#include <QAbstractButton>

#include "app/look/controls/segmented_picker.h"
#include "platform/runtime/in_memory_preferences.h"

namespace kovali {
namespace {

const QString kKey = QStringLiteral("airPlayEngine");

TEST(AdvancedSettings, FirstLaunchShowsNativeAndWritesNothing) {
  InMemoryPreferences preferences;
  AdvancedSettings view(preferences);
  EXPECT_EQ(view.picker().currentIndex(), 0);
  EXPECT_EQ(view.picker().segment(0)->text(), QString("Native AirPlay"));
  EXPECT_EQ(view.picker().segment(1)->text(), QString("Experimental AirPlay"));
  EXPECT_EQ(view.caption(), QString::fromStdString(airPlayEngineCaption(AirPlayEngine::native)));
  EXPECT_FALSE(preferences.value(kKey).isValid());
}

TEST(AdvancedSettings, PickingExperimentalStoresItsRawValueAndKeepsItForTheNextLaunch) {
  InMemoryPreferences preferences;
  {
    AdvancedSettings view(preferences);
    view.picker().segment(1)->click();
    EXPECT_EQ(preferences.stringValue(kKey), QString("experimental"));
    EXPECT_EQ(view.caption(),
              QString("Kovali sends the music to the speakers itself. Coming in a later version: native AirPlay is "
                      "used until then."));
  }
  AdvancedSettings relaunched(preferences);
  EXPECT_EQ(relaunched.picker().currentIndex(), 1);
  relaunched.picker().segment(0)->click();
  EXPECT_EQ(preferences.stringValue(kKey), QString("native"));
}

TEST(AdvancedSettings, AnythingButAnExactRawValueReadsAsNative) {
  struct Case {
    const char* name;
    QVariant stored;
  } cases[] = {
      {"capitalised", QString("Experimental")}, {"empty", QString()}, {"a number", 1}, {"unknown", QString("fast")}};
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    preferences.setValue(kKey, c.stored);
    EXPECT_EQ(storedAirPlayEngine(preferences), AirPlayEngine::native) << c.name;
    AdvancedSettings view(preferences);
    EXPECT_EQ(view.picker().currentIndex(), 0) << c.name;
    view.picker().segment(1)->click();
    EXPECT_EQ(preferences.stringValue(kKey), QString("experimental")) << c.name << " is replaced by a pick";
  }
}

}  // namespace
}  // namespace kovali
