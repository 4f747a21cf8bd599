#include "session/archive/session_archive.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
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
#include "support/log_capture.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::Date;
using vinaro::SessionState;

SessionSnapshot sampleSnapshot() {
  SessionState state = SessionState::newParty("8C1F0E52-3C1B-4C55-9B7E-7A0D5C1E2F10", "Friday / Rooftop");
  state.revision = 7;
  state.queue = {vinaro::samples::queueItem("q1", "t1"), vinaro::samples::queueItem("q2", "t2")};
  return SessionSnapshot::of(state, {"device-b", "device-a"}, Date{1'700'000'000'500.0});
}

SessionSnapshot withRevision(std::int64_t revision) {
  SessionSnapshot snapshot = sampleSnapshot();
  snapshot.state.revision = revision;
  return snapshot;
}

QByteArray encoded(const SessionSnapshot& snapshot) { return QByteArray::fromStdString(vinaro::wire::encode(snapshot)); }

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

/// Puts `bytes` at `path` as a save does, in a new file renamed into place: what a power cut
/// leaves when the rename reached the disk and the bytes did not.
void replaceFile(const QString& path, const QByteArray& bytes) {
  putFile(path + ".new", bytes);
  ASSERT_TRUE(QDir().rename(path + ".new", path) || (QFile::remove(path) && QDir().rename(path + ".new", path)));
}

/// The archive in `folder`, which opens.
SessionArchive openedIn(const QString& folder) {
  auto archive = SessionArchive::open(folder);
  EXPECT_TRUE(archive.hasValue());
  return std::move(archive).value();
}

/// Saves `snapshot` and waits until its sync to disk has ended.
void saveAndSync(SessionArchive& archive, const SessionSnapshot& snapshot) {
  bool synced = false;
  archive.setSyncReport([&synced] { synced = true; });
  ASSERT_TRUE(archive.save(snapshot));
  ASSERT_TRUE(QTest::qWaitFor([&] { return synced; }, 5000));
  archive.setSyncReport({});
}

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

TEST_F(SessionArchiveTest, RestoresTheLastSyncedPartyWhenAPowerCutSpoilsTheFile) {
  SessionSnapshot synced = sampleSnapshot();
  synced.state.mode = vinaro::PartyMode::suggestion;
  const QByteArray newer = encoded(withRevision(9));
  struct Case {
    const char* name;
    std::function<void(const QString& path)> spoil;
    bool previousIsWhole;
  } cases[] = {
      {"missing", [](const QString& path) { ASSERT_TRUE(QFile::remove(path)); }, true},
      {"empty", [](const QString& path) { replaceFile(path, ""); }, true},
      {"cut in half", [&](const QString& path) { replaceFile(path, newer.left(newer.size() / 2)); }, true},
      {"zero-filled", [&](const QString& path) { replaceFile(path, QByteArray(newer.size(), '\0')); }, true},
      {"a folder in the file's place",
       [](const QString& path) {
         ASSERT_TRUE(QFile::remove(path));
         ASSERT_TRUE(QDir().mkpath(path + "/inner"));
       },
       true},
      {"empty, and the previous copy cut too",
       [&](const QString& path) {
         replaceFile(path, "");
         replaceFile(QFileInfo(path).dir().filePath("Session.previous.json"), newer.left(10));
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir caseFolder;
    SessionArchive archive = openedIn(caseFolder.path());
    saveAndSync(archive, synced);
    c.spoil(archive.filePath());
    const bool wasThere = QFileInfo::exists(archive.filePath());
    LogCapture log("kovaliapp.archive");

    const auto loaded = archive.load();

    if (c.previousIsWhole) {
      ASSERT_TRUE(loaded);
      EXPECT_EQ(loaded->state.sessionID, synced.state.sessionID);
      EXPECT_EQ(loaded->state.queue, synced.state.queue);
      EXPECT_EQ(loaded->state.mode, vinaro::PartyMode::suggestion);
      EXPECT_EQ(loaded->djDeviceIDs, (std::vector<std::string>{"device-a", "device-b"}));
      EXPECT_EQ(*loaded, synced);
      EXPECT_TRUE(log.hasLineStartingWith("Restored the session from "));
    } else {
      EXPECT_EQ(loaded, std::nullopt);
      EXPECT_TRUE(log.hasLineStartingWith("Could not read the previous session file "));
    }
    EXPECT_EQ(QFileInfo::exists(archive.unreadableFilePath()), wasThere) << "a spoilt file is set aside";
    saveAndSync(archive, withRevision(10));
    EXPECT_EQ(archive.load(), withRevision(10)) << "saving goes on";
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

TEST_F(SessionArchiveTest, StopsSavingWhenAnUnreadableFileCannotBeMovedAside) {
  SessionArchive archive = openArchive();
  putFile(archive.filePath(), "{}");
  ASSERT_TRUE(QDir().mkpath(archive.unreadableFilePath() + "/in-the-way"));  // a folder cannot be replaced
  LogCapture log("kovaliapp.archive");

  EXPECT_EQ(archive.load(), std::nullopt);
  EXPECT_FALSE(archive.save(sampleSnapshot()));

  EXPECT_EQ(contents(archive.filePath()), "{}");
  EXPECT_TRUE(log.hasLineStartingWith("Could not save the session: "));
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
    ASSERT_TRUE(archive.save(sampleSnapshot()));
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

/// A sync to disk that records what the file held when it ran and can be held up.
struct RecordingSyncer {
  std::mutex mutex;
  std::vector<QByteArray> synced;
  QSemaphore go{1000};
  std::optional<QString> failure;
  std::atomic<int> started = 0;

  SessionFileSync::Syncer syncer() {
    return [this](const QString& path) {
      ++started;
      go.acquire();
      std::lock_guard lock(mutex);
      synced.push_back(contents(path));
      return failure;
    };
  }
  std::size_t count() {
    std::lock_guard lock(mutex);
    return synced.size();
  }
};

TEST_F(SessionArchiveTest, SavesWhileASyncRunsAreSyncedOnceMoreWithTheNewestFile) {
  RecordingSyncer disk;
  auto opened = SessionArchive::open(folder.path(), disk.syncer());
  ASSERT_TRUE(opened.hasValue());
  SessionArchive archive = std::move(opened).value();
  disk.go.acquire(1000);  // the first sync is held up until released

  ASSERT_TRUE(archive.save(withRevision(1)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return disk.started == 1; }, 5000));
  for (int revision = 2; revision <= 6; ++revision) {
    ASSERT_TRUE(archive.save(withRevision(revision)));
    EXPECT_EQ(archive.load(), withRevision(revision)) << "each save is in the file before it returns";
  }
  disk.go.release(1000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return disk.count() == std::size_t{2}; }, 5000));
  QTest::qWait(50);
  std::lock_guard lock(disk.mutex);
  EXPECT_EQ(disk.synced.size(), 2u) << "the saves made meanwhile share one more sync";
  EXPECT_EQ(disk.synced.back(), encoded(withRevision(6)));
}

/// How many replaced session files this process still holds open.
std::size_t replacedFilesHeld() {
  std::size_t held = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code gone;  // the iterator's own descriptor closes as it ends
    if (std::filesystem::read_symlink(entry.path(), gone).string().ends_with("Session.json (deleted)")) ++held;
  }
  return held;
}

TEST_F(SessionArchiveTest, TheFilesReplacedWhileASyncWaitsAreHeldWithinTheBoundAndClosedByTheNextSync) {
  RecordingSyncer disk;
  auto opened = SessionArchive::open(folder.path(), disk.syncer());
  ASSERT_TRUE(opened.hasValue());
  SessionArchive archive = std::move(opened).value();
  disk.go.acquire(1000);

  ASSERT_TRUE(archive.save(withRevision(1)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return disk.started == 1; }, 5000));
  const int saves = static_cast<int>(SessionFileSync::maxReplacedWaiting) + 10;
  for (int revision = 2; revision <= saves; ++revision) ASSERT_TRUE(archive.save(withRevision(revision)));
  EXPECT_EQ(replacedFilesHeld(), SessionFileSync::maxReplacedWaiting);

  disk.go.release(1000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return disk.count() == std::size_t{2}; }, 5000));
  EXPECT_EQ(replacedFilesHeld(), 0u);
  EXPECT_EQ(archive.load(), withRevision(saves));
}

TEST_F(SessionArchiveTest, AFailedSyncIsTheArchivesProblemLoggedOnceUntilASyncSucceeds) {
  RecordingSyncer disk;
  disk.failure = QStringLiteral("Input/output error");
  auto opened = SessionArchive::open(folder.path(), disk.syncer());
  ASSERT_TRUE(opened.hasValue());
  SessionArchive archive = std::move(opened).value();
  int reports = 0;
  archive.setSyncReport([&] { ++reports; });
  LogCapture log("kovaliapp.archive");

  ASSERT_TRUE(archive.save(withRevision(1))) << "written; the sync is reported later";
  ASSERT_TRUE(QTest::qWaitFor([&] { return reports == 1; }, 5000));
  EXPECT_EQ(archive.problem(), QStringLiteral("Input/output error"));
  ASSERT_TRUE(archive.save(withRevision(2)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return reports == 2; }, 5000));
  EXPECT_EQ(archive.problem(), QStringLiteral("Input/output error")) << "a good write does not hide a failing disk";
  EXPECT_EQ(std::count_if(log.lines().begin(), log.lines().end(),
                          [](const std::string& line) { return line.starts_with("Could not save the session: "); }),
            1);

  disk.failure.reset();
  ASSERT_TRUE(archive.save(withRevision(3)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return reports == 3; }, 5000));
  EXPECT_EQ(archive.problem(), std::nullopt);
}

TEST_F(SessionArchiveTest, TheSyncStillWaitingRunsBeforeTheArchiveGoes) {
  RecordingSyncer disk;
  {
    auto opened = SessionArchive::open(folder.path(), disk.syncer());
    ASSERT_TRUE(opened.hasValue());
    SessionArchive archive = std::move(opened).value();
    ASSERT_TRUE(archive.save(withRevision(4)));
  }
  std::lock_guard lock(disk.mutex);
  ASSERT_FALSE(disk.synced.empty());
  EXPECT_EQ(disk.synced.back(), encoded(withRevision(4)));
}

TEST_F(SessionArchiveTest, TheRealSyncToDiskSyncsTheFileAndReportsAMissingOne) {
  SessionArchive archive = openArchive();
  ASSERT_TRUE(archive.save(sampleSnapshot()));
  EXPECT_EQ(SessionFileSync::syncToDisk(archive.filePath()), std::nullopt);
  EXPECT_TRUE(SessionFileSync::syncToDisk(folder.filePath(QStringLiteral("missing.json"))));

  const QString previous = folder.filePath(QStringLiteral("kept.json"));
  putFile(previous + ".linking", "left by a crash");
  EXPECT_EQ(SessionFileSync::syncToDisk(archive.filePath(), previous), std::nullopt);
  EXPECT_EQ(contents(previous), contents(archive.filePath()));
  EXPECT_FALSE(QFileInfo::exists(previous + ".linking"));
}

}  // namespace
}  // namespace kovali
