#include "platform/secrets/fallback_secret_store.h"

#include <gtest/gtest.h>

#include "support/in_memory_secret_store.h"

namespace kovali {
namespace {

const std::pair<std::string, std::string> kItem{"kovaliapp", "djPIN"};
const SecretError kNoService = SecretError::noService("The keychain is not available (no session bus).");
const SecretError kRefused = SecretError::failed("The keychain refused access (denied).");

/// A keychain and a file to fall back to, both kept in memory and seen by the test.
class FallbackSecretStoreTest : public ::testing::Test {
 protected:
  FallbackSecretStoreTest() {
    auto keychainStore = std::make_unique<InMemorySecretStore>();
    auto fileStore = std::make_unique<InMemorySecretStore>();
    keychain = keychainStore.get();
    file = fileStore.get();
    store = std::make_unique<FallbackSecretStore>(std::move(keychainStore), std::move(fileStore));
  }

  std::optional<std::string> stored() {
    const auto result = store->read(kItem.first, kItem.second);
    EXPECT_TRUE(result.hasValue());
    return result ? *result : std::nullopt;
  }

  InMemorySecretStore* keychain;
  InMemorySecretStore* file;
  std::unique_ptr<FallbackSecretStore> store;
};

TEST_F(FallbackSecretStoreTest, UsesTheKeychainWhileItWorks) {
  EXPECT_EQ(store->write(kItem.first, kItem.second, "2468"), std::nullopt);

  EXPECT_EQ(keychain->items.at(kItem), "2468");
  EXPECT_TRUE(file->items.empty());
  EXPECT_EQ(stored(), "2468");
}

TEST_F(FallbackSecretStoreTest, KeepsTheSecretInTheFileWhileTheKeychainHasNoService) {
  keychain->failure = kNoService;

  EXPECT_EQ(store->write(kItem.first, kItem.second, "2468"), std::nullopt);

  EXPECT_EQ(file->items.at(kItem), "2468");
  EXPECT_EQ(stored(), "2468");
}

TEST_F(FallbackSecretStoreTest, AKeychainThatRefusesIsAFailureNotAReasonToUseTheFile) {
  keychain->failure = kRefused;

  EXPECT_EQ(store->write(kItem.first, kItem.second, "2468"), kRefused);
  EXPECT_EQ(store->remove(kItem.first, kItem.second), kRefused);
  const auto read = store->read(kItem.first, kItem.second);

  EXPECT_TRUE(file->items.empty());
  ASSERT_FALSE(read.hasValue());
  EXPECT_EQ(read.error(), kRefused);
}

TEST_F(FallbackSecretStoreTest, ReadsNothingWhenNeitherStoreHoldsTheItem) {
  EXPECT_EQ(stored(), std::nullopt);
  keychain->failure = kNoService;
  EXPECT_EQ(stored(), std::nullopt);
}

TEST_F(FallbackSecretStoreTest, TheNewestValueWinsWhenTheKeychainComesAndGoes) {
  ASSERT_EQ(store->write(kItem.first, kItem.second, "1111"), std::nullopt);
  keychain->failure = kNoService;
  ASSERT_EQ(store->write(kItem.first, kItem.second, "2222"), std::nullopt);
  keychain->failure.reset();

  EXPECT_EQ(stored(), "2222") << "the copy made while the keychain was away is the newer one";

  ASSERT_EQ(store->write(kItem.first, kItem.second, "3333"), std::nullopt);
  EXPECT_FALSE(file->items.contains(kItem)) << "a keychain write removes the file's copy";
  EXPECT_EQ(stored(), "3333");
}

TEST_F(FallbackSecretStoreTest, ARemovalWhileTheKeychainIsAwayKeepsTheOldValueFromComingBack) {
  ASSERT_EQ(store->write(kItem.first, kItem.second, "1111"), std::nullopt);
  keychain->failure = kNoService;

  EXPECT_EQ(store->remove(kItem.first, kItem.second), std::nullopt);
  EXPECT_EQ(stored(), std::nullopt);

  keychain->failure.reset();
  EXPECT_EQ(stored(), std::nullopt);
  EXPECT_EQ(store->remove(kItem.first, kItem.second), std::nullopt);
  EXPECT_FALSE(keychain->items.contains(kItem));
  EXPECT_FALSE(file->items.contains(kItem));
}

TEST_F(FallbackSecretStoreTest, AFileCopyThatCannotBeRemovedMakesTheWriteFail) {
  keychain->failure = kNoService;
  ASSERT_EQ(store->write(kItem.first, kItem.second, "1111"), std::nullopt);
  keychain->failure.reset();
  file->failure = SecretError::failed("Could not write Secrets.json: disk full.");

  const auto error = store->write(kItem.first, kItem.second, "2222");

  ASSERT_TRUE(error.has_value()) << "the older file copy would still be read first";
  EXPECT_EQ(error->description, "Could not write Secrets.json: disk full.");
}

TEST_F(FallbackSecretStoreTest, ABrokenFileDoesNotHideAWorkingKeychain) {
  ASSERT_EQ(store->write(kItem.first, kItem.second, "2468"), std::nullopt);
  file->failure = SecretError::failed("The secrets file is unreadable.");

  EXPECT_EQ(stored(), "2468");
}

}  // namespace
}  // namespace kovali
