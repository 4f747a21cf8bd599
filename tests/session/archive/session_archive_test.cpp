#include "session/archive/session_archive.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "protocol/json_writer.h"
#include "session/archive/archive_files.h"
#include "support/log_capture.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::Date;
using vinaro::SessionState;

using archive_files::contents;
using archive_files::encoded;
using archive_files::openedIn;
using archive_files::putFile;
using archive_files::replaceFile;
using archive_files::sampleSnapshot;
using archive_files::saveAndSync;
using archive_files::StoppedAtEachStep;
using archive_files::withRevision;

class SessionArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }

  SessionArchive openArchive() { return openedIn(folder.path()); }

  QTemporaryDir folder;
};

TEST_F(SessionArchiveTest, SavesTheSnapshotWithSortedKeysAndDJDevicesInOrderAndReadsItBack) {
  SessionArchive archive = openArchive();
  const SessionSnapshot snapshot = sampleSnapshot();

  saveAndSync(archive, snapshot);

  const QByteArray saved = contents(archive.filePath());
  EXPECT_TRUE(saved.startsWith(
      R"({"djDeviceIDs":["device-a","device-b"],"participantIDsArePublic":true,"savedAt":1700000000500,"state":{)"))
      << saved.toStdString();
  EXPECT_TRUE(saved.contains(R"("name":"Friday / Rooftop")")) << "slashes stay unescaped";
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), (QStringList{"Session.json", "Session.previous.json"}))
      << "no temporary file is left";
  EXPECT_EQ(contents(archive.previousFilePath()), saved) << "the synced file is kept as the previous one";
  EXPECT_EQ(archive.load(), snapshot);
}

TEST_F(SessionArchiveTest, TheFileAndItsFolderAreTheUsersAloneAlsoOverAnOlderReadableFile) {
  const QString path = QDir(folder.path()).filePath("Session.json");
  putFile(path, encoded(withRevision(1)));
  constexpr auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther;
  ASSERT_TRUE(QFile::setPermissions(path, readable));
  ASSERT_TRUE(QFile::setPermissions(folder.path(), readable | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                       QFileDevice::ExeOther));
  SessionArchive archive = openArchive();
  saveAndSync(archive, withRevision(2));

  struct stat info {};
  for (const QString& file : {path, archive.previousFilePath()}) {
    ASSERT_EQ(::stat(file.toLocal8Bit().constData(), &info), 0) << file.toStdString();
    EXPECT_EQ(info.st_mode & 0777, 0600u) << file.toStdString();
  }
  ASSERT_EQ(::stat(folder.path().toLocal8Bit().constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(SessionArchiveTest, AFileFromBeforeTheMarkOfPublicIDsLoadsAsUnmarked) {
  SessionArchive archive = openArchive();
  QByteArray older = encoded(sampleSnapshot());
  const QByteArray mark = R"("participantIDsArePublic":true,)";
  ASSERT_TRUE(older.contains(mark));
  older.replace(mark, "");
  putFile(archive.filePath(), older);

  const auto loaded = archive.load();

  ASSERT_TRUE(loaded);
  EXPECT_FALSE(loaded->participantIDsArePublic);
  EXPECT_EQ(loaded->state, sampleSnapshot().state);
}

TEST_F(SessionArchiveTest, AMissingFileGivesNoSessionWithoutALogLine) {
  LogCapture log("kovaliapp.archive");
  SessionArchive archive = openArchive();

  EXPECT_EQ(archive.load(), std::nullopt);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_FALSE(QFile::exists(archive.unreadableFilePath()));
}

TEST_F(SessionArchiveTest, MovesAnUnreadableFileAsideSoThatTheNextSaveKeepsIt) {
  struct Case {
    const char* name;
    std::function<void(const QString& path)> prepare;
  } cases[] = {
      {"an empty object", [](const QString& path) { putFile(path, "{}"); }},
      {"text that is not JSON", [](const QString& path) { putFile(path, "Kovali party, saved by hand"); }},
      {"a state of the wrong type", [](const QString& path) {
         putFile(path, R"({"djDeviceIDs":[],"savedAt":1,"state":"gone"})");
       }},
      {"a cut-off file", [](const QString& path) { putFile(path, R"({"djDeviceIDs":["a"],"savedAt":)"); }},
      {"a folder in the file's place", [](const QString& path) {
         ASSERT_TRUE(QDir().mkpath(path + "/inner"));
       }},
      {"a revision at the largest number", [](const QString& path) {
         putFile(path, encoded(withRevision(std::numeric_limits<std::int64_t>::max())));
       }},
      {"a revision just past the restorable", [](const QString& path) {
         putFile(path, encoded(withRevision(SessionState::maxRestorableRevision + 1)));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir caseFolder;
    SessionArchive archive = openedIn(caseFolder.path());
    c.prepare(archive.filePath());
    const QByteArray original = contents(archive.filePath());
    LogCapture log("kovaliapp.archive");

    EXPECT_EQ(archive.load(), std::nullopt);

    EXPECT_TRUE(log.hasLineStartingWith("Could not read the saved session: "));
    EXPECT_TRUE(QFileInfo::exists(archive.unreadableFilePath()));
    EXPECT_EQ(contents(archive.unreadableFilePath()), original);
    ASSERT_TRUE(archive.save(sampleSnapshot()));
    EXPECT_EQ(contents(archive.unreadableFilePath()), original) << "the saved party survives the next save";
    EXPECT_EQ(archive.load(), sampleSnapshot());
  }
}

TEST_F(SessionArchiveTest, RestoresTheLastSyncedPartyWhenAPowerCutSpoilsTheFileAndNotWhenItIsDeleted) {
  SessionSnapshot synced = sampleSnapshot();
  synced.state.mode = vinaro::PartyMode::suggestion;
  const QByteArray newer = encoded(withRevision(9));
  const auto emptied = [](const QString& path) { replaceFile(path, ""); };
  struct Case {
    const char* name;
    std::function<void(const QString& path)> spoil;
    bool restores;
    const char* logLine;          // that the load logs, or none at all
    bool writeBackFails = false;  // the restored party cannot be written back
    FolderCalls calls = {};
  } cases[] = {
      {"deleted, to start afresh", [](const QString& path) { ASSERT_TRUE(QFile::remove(path)); }, false, nullptr},
      {"empty", emptied, true, "Restored the session from "},
      {"empty, where links are refused", emptied, true, "Restored the session from ", false,
       FolderCalls{[](const char*, const char*) {
         errno = EPERM;
         return -1;
       }}},
      {"cut in half", [&](const QString& path) { replaceFile(path, newer.left(newer.size() / 2)); }, true,
       "Restored the session from "},
      {"zero-filled", [&](const QString& path) { replaceFile(path, QByteArray(newer.size(), '\0')); }, true,
       "Restored the session from "},
      {"a folder in the file's place",
       [](const QString& path) {
         ASSERT_TRUE(QFile::remove(path));
         ASSERT_TRUE(QDir().mkpath(path + "/inner"));
       },
       true, "Restored the session from "},
      {"empty, and the previous copy cut too",
       [&](const QString& path) {
         replaceFile(path, "");
         replaceFile(QFileInfo(path).dir().filePath("Session.previous.json"), newer.left(10));
       },
       false, "Could not read the previous session file "},
      {"empty, and no file can be written beside it",
       [](const QString& path) {
         replaceFile(path, "");
         ASSERT_TRUE(QDir().mkpath(path + ".saving/in-the-way"));
       },
       true, "Could not save the session: ", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir caseFolder;
    std::mutex syncing;
    std::vector<QByteArray> onDisk;  // the files synced, as they were
    StoppedAtEachStep stops(caseFolder.path(), c.calls);
    const auto previous = std::make_shared<SessionFileSync::PreviousCopy>(
        SessionFileSync::PreviousCopy{caseFolder.filePath(QStringLiteral("Session.previous.json")), stops.calls()});
    auto opened = SessionArchive::open(
        caseFolder.path(),
        [&, previous](const QString& path) {
          auto failure = SessionFileSync::syncToDisk(path, previous.get());
          const std::lock_guard lock(syncing);
          onDisk.push_back(contents(path));
          return failure;
        },
        stops.calls());
    ASSERT_TRUE(opened.hasValue());
    SessionArchive archive = std::move(opened).value();
    saveAndSync(archive, synced);
    c.spoil(archive.filePath());
    const bool wasThere = QFileInfo::exists(archive.filePath());
    {
      const std::lock_guard lock(syncing);
      onDisk.clear();
    }
    LogCapture log("kovaliapp.archive");
    stops.watch();

    const auto loaded = archive.load();

    const auto stoppedInTheLoad = stops.launches();
    EXPECT_GE(stoppedInTheLoad.size(), c.restores && !c.writeBackFails ? 7u : 1u) << "every step is seen";
    for (std::size_t step = 0; step < stoppedInTheLoad.size(); ++step) {
      EXPECT_EQ(stoppedInTheLoad[step], loaded) << "a launch after a stop before step " << step;
    }

    if (c.restores) {
      ASSERT_TRUE(loaded);
      EXPECT_EQ(loaded->state.sessionID, synced.state.sessionID);
      EXPECT_EQ(loaded->state.queue, synced.state.queue);
      EXPECT_EQ(loaded->state.mode, vinaro::PartyMode::suggestion);
      EXPECT_EQ(loaded->djDeviceIDs, (std::vector<std::string>{"device-a", "device-b"}));
      EXPECT_EQ(*loaded, synced);
      {
        const std::lock_guard lock(syncing);
        EXPECT_EQ(onDisk, c.writeBackFails ? std::vector<QByteArray>{} : std::vector{encoded(synced)})
            << "the restored party is written back and on disk before the host goes on";
      }
      EXPECT_EQ(openedIn(caseFolder.path()).load(), synced) << "a relaunch without a clean stop has the party";
      EXPECT_EQ(contents(archive.previousFilePath()), encoded(synced)) << "the copy holds the party still";
    } else {
      EXPECT_EQ(loaded, std::nullopt);
    }
    if (c.logLine) {
      EXPECT_TRUE(log.hasLineStartingWith(c.logLine));
    } else {
      EXPECT_TRUE(log.lines().empty());
    }
    EXPECT_EQ(archive.problem().has_value(), c.writeBackFails) << "a failed write-back is a failed save";
    EXPECT_EQ(QFileInfo::exists(archive.unreadableFilePath()), wasThere && !c.writeBackFails)
        << "a spoilt file is set aside, once the restored party can take its place";
    ASSERT_TRUE(QDir(archive.filePath() + ".saving").removeRecursively());  // what kept the write-back out
    stops.watch();
    saveAndSync(archive, withRevision(10));
    for (const auto& launched : stops.launches()) {
      EXPECT_TRUE(launched == loaded || launched == withRevision(10)) << "a launch after a stop in a save";
    }
    EXPECT_EQ(archive.load(), withRevision(10)) << "saving goes on";
    EXPECT_EQ(archive.problem(), std::nullopt);
    EXPECT_EQ(QFileInfo::exists(archive.unreadableFilePath()), wasThere) << "the spoilt file is kept";
  }
}

TEST_F(SessionArchiveTest, KeepsOnlyTheLatestUnreadableFile) {
  SessionArchive archive = openArchive();
  putFile(archive.filePath(), "first");
  (void)archive.load();
  putFile(archive.filePath(), "second");

  EXPECT_EQ(archive.load(), std::nullopt);

  EXPECT_EQ(contents(archive.unreadableFilePath()), "second");
  EXPECT_FALSE(QFile::exists(archive.filePath()));
}

TEST_F(SessionArchiveTest, StopsSavingWhenAnUnreadableFileCannotBeKept) {
  const SessionSnapshot party = withRevision(3);
  const auto folderInTheWay = [](const SessionArchive& archive) {
    replaceFile(archive.filePath(), "{}");
    ASSERT_TRUE(QDir().mkpath(archive.unreadableFilePath() + "/in-the-way"));  // a folder cannot be replaced
  };
  struct Case {
    const char* name;
    bool partySaved;  // else the folder held no party before
    std::function<void(const SessionArchive& archive)> prepare;
    FolderCalls calls = {};
  } cases[] = {
      {"a folder where it would be moved", false, folderInTheWay},
      {"a folder where it would be kept, with a party to restore", true, folderInTheWay},
      {"a folder in the file's place, where names cannot be swapped", true,
       [](const SessionArchive& archive) {
         ASSERT_TRUE(QFile::remove(archive.filePath()));
         ASSERT_TRUE(QDir().mkpath(archive.filePath() + "/inner"));
       },
       FolderCalls{.exchange = [](const char*, const char*) {
         errno = EINVAL;
         return -1;
       }}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir caseFolder;
    if (c.partySaved) {
      SessionArchive earlier = openedIn(caseFolder.path());
      saveAndSync(earlier, party);
    }
    auto opened = SessionArchive::open(caseFolder.path(), {}, c.calls);
    ASSERT_TRUE(opened.hasValue());
    SessionArchive archive = std::move(opened).value();
    c.prepare(archive);
    LogCapture log("kovaliapp.archive");

    const auto loaded = archive.load();

    EXPECT_EQ(loaded, c.partySaved ? std::optional(party) : std::nullopt);
    EXPECT_FALSE(archive.save(sampleSnapshot()));
    EXPECT_TRUE(log.hasLineStartingWith("Could not save the session: "));
    EXPECT_FALSE(QFileInfo(archive.filePath()).isFile() && contents(archive.filePath()) != "{}")
        << "what is in the file's place stays";
    EXPECT_FALSE(QFileInfo(archive.unreadableFilePath()).isFile()) << "nothing is kept in its name";
    EXPECT_EQ(openedIn(caseFolder.path()).load(), loaded) << "the next launch restores the same";
  }
}

/// Files written meanwhile end at `bytes`, as on a full disk: a write past it fails part-way.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousSignal_);
  }

 private:
  rlimit previous_{};
  void (*previousSignal_)(int) = nullptr;
};

TEST_F(SessionArchiveTest, AWriteCutShortKeepsTheLastGoodFileAndIsLoggedOncePerStreak) {
  SessionArchive archive = openArchive();
  SessionSnapshot good = sampleSnapshot();
  saveAndSync(archive, good);
  const QByteArray before = contents(archive.filePath());
  SessionSnapshot bigger = good;
  bigger.state.name = std::string(64 * 1024, 'x');  // more than any write buffer
  LogCapture log("kovaliapp.archive");
  {
    FileSizeLimit full(static_cast<rlim_t>(before.size()) + 100);
    EXPECT_FALSE(archive.save(bigger));
    EXPECT_FALSE(archive.save(bigger));
  }
  EXPECT_EQ(contents(archive.filePath()), before);
  EXPECT_EQ(archive.load(), good) << "a relaunch finds the last good party";
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), (QStringList{"Session.json", "Session.previous.json"}))
      << "no temporary file is left";
  EXPECT_EQ(std::count_if(log.lines().begin(), log.lines().end(),
                          [](const std::string& line) { return line.starts_with("Could not save the session: "); }),
            1)
      << "once per streak of failures";

  ASSERT_TRUE(archive.save(bigger));
  EXPECT_EQ(archive.load(), bigger);
  {
    FileSizeLimit full(100);  // a write small enough to wait in the file's buffer until commit
    EXPECT_FALSE(archive.save(good));
  }
  EXPECT_EQ(archive.load(), bigger) << "the cut-off file did not replace the good one";
  EXPECT_EQ(std::count_if(log.lines().begin(), log.lines().end(),
                          [](const std::string& line) { return line.starts_with("Could not save the session: "); }),
            2)
      << "a new streak is logged again";
}

TEST_F(SessionArchiveTest, ReportsAWriteFailureAndLeavesThePreviousFile) {
  struct Case {
    const char* name;
    std::function<void(SessionArchive& archive, SessionSnapshot& snapshot)> breakIt;
    bool previousFileStays;
  } cases[] = {
      {"a number JSON cannot carry",
       [](SessionArchive&, SessionSnapshot& snapshot) {
         snapshot.state.playback.elapsed = std::numeric_limits<double>::quiet_NaN();
       },
       true},
      {"a folder in the file's place",
       [](SessionArchive& archive, SessionSnapshot&) {
         QFile::remove(archive.filePath());
         ASSERT_TRUE(QDir().mkpath(archive.filePath()));
       },
       false},
      {"the data folder gone",
       [](SessionArchive& archive, SessionSnapshot&) {
         ASSERT_TRUE(QDir(QFileInfo(archive.filePath()).path()).removeRecursively());
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir caseFolder;
    auto opened = SessionArchive::open(caseFolder.path() + "/data");
    ASSERT_TRUE(opened.hasValue());
    SessionArchive archive = std::move(opened).value();
    // Synced first: the sync's thread would otherwise still be adding the previous copy to the
    // folder the case takes away.
    saveAndSync(archive, sampleSnapshot());
    const QByteArray before = contents(archive.filePath());
    SessionSnapshot snapshot = sampleSnapshot();
    snapshot.state.revision = 8;
    c.breakIt(archive, snapshot);
    LogCapture log("kovaliapp.archive");

    EXPECT_FALSE(archive.save(snapshot));

    EXPECT_TRUE(log.hasLineStartingWith("Could not save the session: "));
    if (c.previousFileStays) {
      EXPECT_EQ(contents(archive.filePath()), before);
    }
  }
}

TEST_F(SessionArchiveTest, OpensAFolderThatDoesNotExistYetAndRefusesOneThatCannotBeMade) {
  const QString nested = folder.path() + "/Application Support/kovali";
  auto made = SessionArchive::open(nested);
  ASSERT_TRUE(made.hasValue());
  EXPECT_TRUE(QFileInfo(nested).isDir());
  EXPECT_EQ(made->filePath(), nested + "/Session.json");

  putFile(folder.path() + "/plain-file", "x");
  const auto refused = SessionArchive::open(folder.path() + "/plain-file/kovali");
  ASSERT_FALSE(refused.hasValue());
  EXPECT_FALSE(refused.error().description.isEmpty());
}

}  // namespace
}  // namespace kovali
