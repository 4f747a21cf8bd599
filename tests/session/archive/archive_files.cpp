#include "session/archive/archive_files.h"

#include <filesystem>

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include "protocol/json_writer.h"
#include "support/sample_values.h"

namespace kovali::archive_files {

SessionSnapshot sampleSnapshot() {
  vinaro::SessionState state = vinaro::SessionState::newParty("8C1F0E52-3C1B-4C55-9B7E-7A0D5C1E2F10", "Friday / Rooftop");
  state.revision = 7;
  state.queue = {vinaro::samples::queueItem("q1", "t1"), vinaro::samples::queueItem("q2", "t2")};
  return SessionSnapshot::of(state, {"device-b", "device-a"}, vinaro::Date{1'700'000'000'500.0});
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

void replaceFile(const QString& path, const QByteArray& bytes) {
  putFile(path + ".new", bytes);
  ASSERT_TRUE(QDir().rename(path + ".new", path) || (QFile::remove(path) && QDir().rename(path + ".new", path)));
}

SessionArchive openedIn(const QString& folder) {
  auto archive = SessionArchive::open(folder);
  EXPECT_TRUE(archive.hasValue());
  return std::move(archive).value();
}

void saveAndSync(SessionArchive& archive, const SessionSnapshot& snapshot) {
  bool synced = false;
  archive.setSyncReport([&synced] { synced = true; });
  ASSERT_TRUE(archive.save(snapshot));
  ASSERT_TRUE(QTest::qWaitFor([&] { return synced; }, 5000));
  archive.setSyncReport({});
}

FolderCalls StoppedAtEachStep::calls() {
  return {[this, real = real_](const char* existing, const char* created) {
            keep();
            return real.link(existing, created);
          },
          [this, real = real_](int file) {
            keep();
            return real.sync(file);
          },
          [this, real = real_](const char* from, const char* to) {
            keep();
            return real.rename(from, to);
          },
          [this, real = real_](const char* one, const char* other) {
            keep();
            return real.exchange(one, other);
          }};
}

void StoppedAtEachStep::watch() {
  const std::lock_guard guard(lock_);
  watching_ = true;
  kept_.clear();
}

void StoppedAtEachStep::keep() {
  const std::lock_guard guard(lock_);
  if (!watching_) return;
  auto& copy = *kept_.emplace_back(std::make_unique<QTemporaryDir>());
  std::filesystem::copy(folder_.toStdString(), copy.path().toStdString(), std::filesystem::copy_options::recursive);
}

std::vector<std::optional<SessionSnapshot>> StoppedAtEachStep::launches() {
  keep();
  const std::lock_guard guard(lock_);
  std::vector<std::optional<SessionSnapshot>> loaded;
  for (const auto& folder : kept_) loaded.push_back(openedIn(folder->path()).load());
  return loaded;
}

}  // namespace kovali::archive_files
