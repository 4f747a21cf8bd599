#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "session/archive/archive_files.h"
#include "session/archive/session_archive.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

using archive_files::contents;
using archive_files::encoded;
using archive_files::openedIn;
using archive_files::putFile;
using archive_files::replaceFile;
using archive_files::sampleSnapshot;
using archive_files::saveAndSync;
using archive_files::withRevision;

class SessionArchiveSyncTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }

  QTemporaryDir folder;
};

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

TEST_F(SessionArchiveSyncTest, SavesWhileASyncRunsAreSyncedOnceMoreWithTheNewestFile) {
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

TEST_F(SessionArchiveSyncTest, TheFilesReplacedWhileASyncWaitsAreHeldWithinTheBoundAndClosedByTheNextSync) {
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

TEST_F(SessionArchiveSyncTest, AFailedSyncIsTheArchivesProblemLoggedOnceUntilASyncSucceeds) {
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

TEST_F(SessionArchiveSyncTest, TheSyncStillWaitingRunsBeforeTheArchiveGoes) {
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

/// link(2) on a file system without links, such as FAT.
int refusedLink(const char*, const char*) {
  errno = EPERM;
  return -1;
}

int crossDeviceLink(const char*, const char*) {
  errno = EXDEV;
  return -1;
}

/// link(2) after a save put a newer file in place since the sync, as saves faster than syncs do.
int linkAfterANewerSave(const char* existing, const char* created) {
  replaceFile(QFile::decodeName(existing), encoded(withRevision(99)));
  return ::link(existing, created);
}

bool sameFile(const QString& one, const QString& other) {
  struct stat oneInfo {};
  struct stat otherInfo {};
  return ::stat(QFile::encodeName(one).constData(), &oneInfo) == 0 &&
         ::stat(QFile::encodeName(other).constData(), &otherInfo) == 0 && oneInfo.st_ino == otherInfo.st_ino;
}

ino_t inodeOf(const QString& path) {
  struct stat info {};
  return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

TEST_F(SessionArchiveSyncTest, TheSyncedFileIsKeptAsThePreviousCopyWithOrWithoutLinksAndNoSaveFails) {
  struct Case {
    const char* name;
    FolderCalls::Link link;
    bool linked;        // the previous copy is a second name of the synced file
    bool kept = true;   // else keeping it fails, and the log alone says so
  } cases[] = {
      {"where links work", ::link, true},
      {"where links are refused", refusedLink, false},
      {"across devices", crossDeviceLink, false},
      {"with a newer save in place before the link", linkAfterANewerSave, false},
      {"with a folder in the previous copy's place", ::link, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir caseFolder;
    std::mutex syncing;
    std::set<ino_t> onDisk;  // the files synced
    const auto previous = std::make_shared<SessionFileSync::PreviousCopy>(SessionFileSync::PreviousCopy{
        caseFolder.filePath(QStringLiteral("Session.previous.json")), {c.link, [&](int file) {
          struct stat info {};
          ::fstat(file, &info);
          const std::lock_guard lock(syncing);
          onDisk.insert(info.st_ino);
          return ::fsync(file);
        }}});
    auto opened = SessionArchive::open(caseFolder.path(), [previous](const QString& path) {
      return SessionFileSync::syncToDisk(path, previous.get());
    });
    ASSERT_TRUE(opened.hasValue());
    SessionArchive archive = std::move(opened).value();
    putFile(previous->path + ".linking", "left by a crash");
    if (!c.kept) {
      ASSERT_TRUE(QDir().mkpath(previous->path + "/in-the-way"));
    }
    LogCapture log("kovaliapp.archive");

    saveAndSync(archive, withRevision(1));

    EXPECT_EQ(archive.problem(), std::nullopt) << "the save reached the disk";
    if (!c.kept) {
      EXPECT_EQ(archive.load(), withRevision(1));
      EXPECT_TRUE(log.hasLineStartingWith("Could not keep the synced session as "));
      EXPECT_EQ(QDir(caseFolder.path()).entryList(QDir::Files), (QStringList{"Session.json"}));
      continue;
    }
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(contents(archive.previousFilePath()), encoded(withRevision(1))) << "the synced file, not a newer one";
    EXPECT_EQ(sameFile(archive.filePath(), archive.previousFilePath()), c.linked);
    {
      const std::lock_guard lock(syncing);
      EXPECT_TRUE(onDisk.contains(inodeOf(archive.previousFilePath()))) << "the copy is on disk too";
    }
    EXPECT_EQ(QDir(caseFolder.path()).entryList(QDir::Files), (QStringList{"Session.json", "Session.previous.json"}));
    replaceFile(archive.filePath(), "");
    EXPECT_EQ(archive.load(), withRevision(1)) << "a spoilt file restores the copy";
  }
  EXPECT_TRUE(SessionFileSync::syncToDisk(folder.filePath(QStringLiteral("missing.json"))));
}

}  // namespace
}  // namespace kovali
