#include "session/participants/participant_ids.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/in_memory_secret_store.h"

namespace kovali {
namespace {

const std::pair<std::string, std::string> kKeyItem{ParticipantIDs::service, ParticipantIDs::account};

TEST(ParticipantIDs, AreUUIDShapedStableForAKeyAndTellNothingOfTheDeviceID) {
  InMemorySecretStore secrets;
  const ParticipantIDs first = ParticipantIDs::load(secrets);
  EXPECT_TRUE(first.isNew());
  EXPECT_EQ(secrets.writes, 1);

  const std::string id = first.of("device-ana");
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-8[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
      << id;
  EXPECT_NE(first.of("device-ben"), id);

  const ParticipantIDs relaunched = ParticipantIDs::load(secrets);
  EXPECT_FALSE(relaunched.isNew());
  EXPECT_EQ(relaunched.of("device-ana"), id);
  EXPECT_EQ(secrets.writes, 1) << "a kept key is not written again";

  InMemorySecretStore otherHost;
  EXPECT_NE(ParticipantIDs::load(otherHost).of("device-ana"), id) << "another host's key gives other ids";
}

TEST(ParticipantIDs, ADamagedKeyIsReplacedAndAnUnreadableStoreIsLeftAlone) {
  InMemorySecretStore secrets;
  secrets.items[kKeyItem] = "not a key";
  const ParticipantIDs replaced = ParticipantIDs::load(secrets);
  EXPECT_TRUE(replaced.isNew());
  EXPECT_NE(secrets.items[kKeyItem], "not a key");
  EXPECT_EQ(ParticipantIDs::load(secrets).of("device-ana"), replaced.of("device-ana"));

  secrets.failure = SecretError::failed("The keychain is locked.");
  const ParticipantIDs forThisRun = ParticipantIDs::load(secrets);
  EXPECT_TRUE(forThisRun.isNew()) << "a saved session may hold device ids: they are mapped, never shown";
  EXPECT_EQ(secrets.writes, 1) << "the stored key may come back; it is not written over";
}

}  // namespace
}  // namespace kovali
