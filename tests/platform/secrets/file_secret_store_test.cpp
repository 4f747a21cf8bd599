#include "platform/secrets/file_secret_store.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kovali {
namespace {

unsigned modeOf(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
  return info.st_mode & 0777;
}

class FileSecretStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }

  QTemporaryDir folder;
};

TEST_F(FileSecretStoreTest, KeepsEachItemUnderItsServiceAndAccount) {
  FileSecretStore store(folder.path() + "/data");

  EXPECT_EQ(store.read("kovaliapp", "djPIN"), SecretReadResult(std::optional<std::string>()));
  EXPECT_EQ(store.write("kovaliapp", "djPIN", "2468"), std::nullopt);
  EXPECT_EQ(store.write("kovaliapp", "other", "x"), std::nullopt);
  EXPECT_EQ(store.write("elsewhere", "djPIN", "y"), std::nullopt);
  EXPECT_EQ(store.write("kovaliapp", "djPIN", "1357"), std::nullopt);

  EXPECT_EQ(FileSecretStore(folder.path() + "/data").read("kovaliapp", "djPIN"),
            SecretReadResult(std::optional<std::string>("1357")))
      << "a second store on the same folder reads what the first wrote";
  EXPECT_EQ(store.read("elsewhere", "djPIN"), SecretReadResult(std::optional<std::string>("y")));
}

TEST_F(FileSecretStoreTest, WritesTheFileForTheUserAlone) {
  FileSecretStore store(folder.path());
  ASSERT_EQ(store.write("kovaliapp", "djPIN", "2468"), std::nullopt);
  EXPECT_EQ(modeOf(store.filePath()), 0600u);

  ASSERT_TRUE(QFile::setPermissions(store.filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ReadGroup | QFileDevice::ReadOther));
  ASSERT_EQ(store.write("kovaliapp", "djPIN", "1357"), std::nullopt);
  EXPECT_EQ(modeOf(store.filePath()), 0600u) << "a widened file is narrowed again";
}

TEST_F(FileSecretStoreTest, RemovingTheLastItemRemovesTheFile) {
  FileSecretStore store(folder.path());
  EXPECT_EQ(store.remove("kovaliapp", "djPIN"), std::nullopt) << "removing what is not there succeeds";
  ASSERT_EQ(store.write("kovaliapp", "djPIN", "2468"), std::nullopt);
  ASSERT_EQ(store.write("kovaliapp", "other", "x"), std::nullopt);

  EXPECT_EQ(store.remove("kovaliapp", "djPIN"), std::nullopt);
  EXPECT_EQ(store.read("kovaliapp", "djPIN"), SecretReadResult(std::optional<std::string>()));
  EXPECT_TRUE(QFile::exists(store.filePath()));

  EXPECT_EQ(store.remove("kovaliapp", "other"), std::nullopt);
  EXPECT_FALSE(QFile::exists(store.filePath()));
}

TEST_F(FileSecretStoreTest, AnUnreadableFileFailsReadsAndWritesAndIsLeftAlone) {
  FileSecretStore store(folder.path());
  {
    QFile file(store.filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"kovaliapp":{"djPIN":1234}})");
  }

  const auto read = store.read("kovaliapp", "djPIN");
  const auto written = store.write("kovaliapp", "djPIN", "2468");

  ASSERT_FALSE(read.hasValue());
  EXPECT_EQ(read.error().kind, SecretError::Kind::failed);
  EXPECT_NE(read.error().description.find("unreadable"), std::string::npos) << read.error().description;
  ASSERT_TRUE(written.has_value());
  QFile file(store.filePath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), R"({"kovaliapp":{"djPIN":1234}})");
}

TEST_F(FileSecretStoreTest, ReportsAFolderThatCannotBeMade) {
  QFile blocker(folder.path() + "/plain-file");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  FileSecretStore store(folder.path() + "/plain-file/data");

  const auto error = store.write("kovaliapp", "djPIN", "2468");

  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind, SecretError::Kind::failed);
}

}  // namespace
}  // namespace kovali
