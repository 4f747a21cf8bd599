// The keychain against real Secret Service set-ups; tests/platform/secrets/secret_service_test.sh runs
// these suites in a private D-Bus session (with and without a keyring daemon), never against the
// user's own keychain.

#include "platform/secrets/keychain_secret_store.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/secrets/fallback_secret_store.h"
#include "platform/secrets/file_secret_store.h"
#include "session/participants/dj_pin.h"

namespace kovali {
namespace {

const std::string kService = "kovaliapp-test";

bool runsInside(const char* setUp) { return qEnvironmentVariable("KOVALI_SECRET_SERVICE") == QLatin1String(setUp); }

std::optional<std::string> readBack(SecretStore& store, const std::string& account) {
  const auto result = store.read(kService, account);
  EXPECT_TRUE(result.hasValue()) << (result ? "" : result.error().description);
  return result ? *result : std::nullopt;
}

class SecretServiceRunning : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!runsInside("running")) GTEST_SKIP() << "runs inside tests/platform/secrets/secret_service_test.sh";
  }
};

TEST_F(SecretServiceRunning, CreatesUpdatesReadsAndDeletesAnItem) {
  KeychainSecretStore keychain;

  EXPECT_EQ(readBack(keychain, "djPIN"), std::nullopt);
  EXPECT_EQ(keychain.write(kService, "djPIN", "2468"), std::nullopt);
  EXPECT_EQ(readBack(keychain, "djPIN"), "2468");
  EXPECT_EQ(keychain.write(kService, "djPIN", "\u0661\u0662\u0663\u0664"), std::nullopt);
  EXPECT_EQ(readBack(keychain, "djPIN"), "\u0661\u0662\u0663\u0664");
  EXPECT_EQ(readBack(keychain, "someone-else"), std::nullopt);

  EXPECT_EQ(keychain.remove(kService, "djPIN"), std::nullopt);
  EXPECT_EQ(readBack(keychain, "djPIN"), std::nullopt);
  EXPECT_EQ(keychain.remove(kService, "djPIN"), std::nullopt) << "removing what is not there succeeds";
}

TEST_F(SecretServiceRunning, TheFallbackStaysUnusedWhileTheKeychainWorks) {
  QTemporaryDir folder;
  auto file = std::make_unique<FileSecretStore>(folder.path());
  const QString filePath = file->filePath();
  FallbackSecretStore store(std::make_unique<KeychainSecretStore>(), std::move(file));

  EXPECT_EQ(store.write(kService, "fallback", "1357"), std::nullopt);
  EXPECT_EQ(readBack(store, "fallback"), "1357");
  EXPECT_FALSE(QFile::exists(filePath));
  EXPECT_EQ(store.remove(kService, "fallback"), std::nullopt);
}

class SecretServiceAbsent : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!runsInside("absent")) GTEST_SKIP() << "runs inside tests/platform/secrets/secret_service_test.sh";
  }
};

TEST_F(SecretServiceAbsent, ReportsThatThereIsNoService) {
  KeychainSecretStore keychain;

  const auto read = keychain.read(kService, "djPIN");
  const auto written = keychain.write(kService, "djPIN", "2468");

  ASSERT_FALSE(read.hasValue());
  EXPECT_EQ(read.error().kind, SecretError::Kind::noService) << read.error().description;
  ASSERT_TRUE(written.has_value()) << "a write that did not happen is never reported as done";
  EXPECT_EQ(written->kind, SecretError::Kind::noService) << written->description;
}

TEST_F(SecretServiceAbsent, TheDJPINGoesToTheFileInstead) {
  QTemporaryDir folder;
  auto file = std::make_unique<FileSecretStore>(folder.path());
  const QString filePath = file->filePath();
  FallbackSecretStore store(std::make_unique<KeychainSecretStore>(), std::move(file));
  DJPIN pin(store, {"kovali-host"});

  EXPECT_EQ(pin.save("2468"), std::nullopt);

  EXPECT_TRUE(QFile::exists(filePath));
  EXPECT_EQ(pin.load(), "2468");
  EXPECT_EQ(pin.save(""), std::nullopt);
  EXPECT_EQ(pin.load(), "");
}

}  // namespace
}  // namespace kovali
