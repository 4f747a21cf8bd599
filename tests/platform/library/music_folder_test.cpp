#include "platform/library/music_folder.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

#include "platform/runtime/in_memory_preferences.h"

namespace kovali {
namespace {

TEST(MusicFolder, TheCommandLineBeatsThePreferenceWhichBeatsTheDefault) {
  const QString xdgMusic = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  struct Case {
    const char* name;
    std::optional<QString> argument;
    std::optional<QString> preference;
    QString folder;
    bool chosen;
  } cases[] = {
      {"argument", QStringLiteral("/a"), QStringLiteral("/p"), QStringLiteral("/a"), true},
      {"preference", std::nullopt, QStringLiteral("/p"), QStringLiteral("/p"), true},
      {"empty argument", QString(), QStringLiteral("/p"), QStringLiteral("/p"), true},
      {"default", std::nullopt, std::nullopt, xdgMusic, false},
      {"empty preference", std::nullopt, QString(), xdgMusic, false},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    if (c.preference) preferences.setValue(kMusicFolderPreference, *c.preference);
    const auto settings = musicLibrarySettings(c.argument, preferences, QStringLiteral("/data"));
    EXPECT_EQ(settings.folder, c.folder) << c.name;
    EXPECT_EQ(settings.folderWasChosen, c.chosen) << c.name;
    EXPECT_EQ(settings.dataFolder, QStringLiteral("/data")) << c.name;
  }
}

}  // namespace
}  // namespace kovali
