// Saving on a real file system that fills up, and on one that turns read-only, each followed by
// a kill -9 and a relaunch. Run by session_archive_disk_test.sh in a mount namespace of its own;
// skipped when started any other way.

#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include "session/archive/session_archive.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::SessionState;

SessionSnapshot party(std::int64_t revision, std::size_t nameBytes = 10) {
  SessionState state = SessionState::newParty("8C1F0E52-3C1B-4C55-9B7E-7A0D5C1E2F10", std::string(nameBytes, 'n'));
  state.revision = revision;
  state.queue = {vinaro::samples::queueItem("q1", "t1")};
  return SessionSnapshot::of(state, {"device-a"}, vinaro::Date{1'700'000'000'000.0});
}

/// The folder the script mounted under `variable`; empty when the test runs outside it.
QString mounted(const char* variable) {
  const char* path = std::getenv(variable);
  return path ? QString::fromLocal8Bit(path) : QString();
}

SessionArchive openIn(const QString& folder) {
  auto archive = SessionArchive::open(folder);
  if (!archive) ADD_FAILURE() << archive.error().description.toStdString();
  return std::move(archive).value();
}

/// Fills the file system holding `folder` with one file until no byte more fits.
void fill(const QString& folder) {
  QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
  ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
  const QByteArray block(4096, 'f');
  while (filler.write(block) == block.size() && filler.flush()) {
  }
  filler.close();
}

// What the host process does up to its end: saves a good party, sees the next save fail, and
// is killed with a failed save behind it. Any other ending fails the death test.
[[noreturn]] void saveThenFailThenDie(const QString& folder, const std::function<void()>& breakDisk) {
  SessionArchive archive = openIn(folder);
  if (!archive.save(party(5))) std::_Exit(3);
  breakDisk();
  // A write larger than the file's buffer fails at once; a small one only when it is flushed.
  if (archive.save(party(6, 64 * 1024)) || archive.save(party(6)) || !archive.problem()) std::_Exit(4);
  std::raise(SIGKILL);
  std::_Exit(5);
}

TEST(SessionArchiveOnDisk, AFullDiskKeepsTheLastGoodPartyThroughAKillAndARelaunch) {
  const QString disk = mounted("KOVALI_FULL_DISK");
  if (disk.isEmpty()) GTEST_SKIP() << "run by session_archive_disk_test.sh";
  const QString folder = disk + QStringLiteral("/data");

  EXPECT_EXIT(saveThenFailThenDie(folder, [&] { fill(folder); }), ::testing::KilledBySignal(SIGKILL), "");

  SessionArchive relaunched = openIn(folder);
  EXPECT_EQ(relaunched.load(), party(5)) << "the relaunch finds the last good party";
  ASSERT_TRUE(QFile::remove(QDir(folder).filePath(QStringLiteral("filler"))));
  EXPECT_TRUE(relaunched.save(party(7, 64 * 1024))) << "with room again, saving works";
  EXPECT_EQ(openIn(folder).load(), party(7, 64 * 1024));
}

TEST(SessionArchiveOnDisk, AReadOnlyFolderKeepsTheLastGoodPartyThroughAKillAndARelaunch) {
  const QString disk = mounted("KOVALI_READONLY_DISK");
  if (disk.isEmpty()) GTEST_SKIP() << "run by session_archive_disk_test.sh";
  const auto remount = [&](const char* mode) {
    return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,%1").arg(mode),
                                                       disk});
  };

  EXPECT_EXIT(saveThenFailThenDie(disk, [&] {
                if (remount("ro") != 0) std::_Exit(6);
              }),
              ::testing::KilledBySignal(SIGKILL), "");

  EXPECT_EQ(openIn(disk).load(), party(5)) << "the relaunch on the read-only folder finds the last good party";
  ASSERT_EQ(remount("rw"), 0);
  // The last synced file may also have a second name, or be on its way to one, when the disk went read-only.
  QStringList files = QDir(disk).entryList(QDir::Files);
  files.removeAll(QStringLiteral("Session.previous.json"));
  files.removeAll(QStringLiteral("Session.previous.json.linking"));
  EXPECT_EQ(files, QStringList{QStringLiteral("Session.json")}) << "nothing half-written";
}

}  // namespace
}  // namespace kovali
