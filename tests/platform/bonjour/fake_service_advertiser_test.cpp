#include "support/fake_service_advertiser.h"

#include <optional>

#include <gtest/gtest.h>

namespace kovali {
namespace {

class FakeServiceAdvertiserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QObject::connect(&advertiser, &ServiceAdvertiser::registered,
                     [this](const std::string& name) { registeredName = name; });
    QObject::connect(&advertiser, &ServiceAdvertiser::failed,
                     [this](const AdvertiserError& error) { failure = error; });
  }

  FakeServiceAdvertiser advertiser;
  ServiceRecord record{"Party", "_kovali._tcp", 4242, {{"session", "S1"}, {"v", "1"}}};
  std::optional<std::string> registeredName;
  std::optional<AdvertiserError> failure;
};

TEST_F(FakeServiceAdvertiserTest, CountsRegistrationsAndInPlaceTXTUpdatesApart) {
  advertiser.publish(record);
  advertiser.publish(record);
  record.txt.push_back({"guests", "3"});
  advertiser.publish(record);
  record.name = "Renamed";
  advertiser.publish(record);

  EXPECT_EQ(advertiser.publications.size(), 4u);
  EXPECT_EQ(advertiser.registrations, 2);
  EXPECT_EQ(advertiser.txtUpdates, 1);
  EXPECT_EQ(advertiser.published(), record);
}

TEST_F(FakeServiceAdvertiserTest, PublishesTheFittedRecord) {
  record.name = std::string(80, 'n');
  advertiser.publish(record);
  EXPECT_EQ(advertiser.published()->name, std::string(63, 'n'));
}

TEST_F(FakeServiceAdvertiserTest, ReportsWhatTheTestDecides) {
  advertiser.publish(record);
  EXPECT_FALSE(registeredName);  // nothing happens inside publish

  advertiser.confirmRegistration("Party #2");
  EXPECT_EQ(registeredName, "Party #2");

  advertiser.failPublishing({AdvertiserError::Kind::serviceNotRunning, "Daemon not running."});
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind, AdvertiserError::Kind::serviceNotRunning);
  EXPECT_FALSE(advertiser.published());
}

TEST_F(FakeServiceAdvertiserTest, RegistersANamelessRecordUnderTheHostName) {
  record.name.clear();
  advertiser.publish(record);
  advertiser.confirmRegistration();
  EXPECT_EQ(registeredName, FakeServiceAdvertiser::hostName);
}

TEST_F(FakeServiceAdvertiserTest, WithdrawTakesTheServiceOff) {
  advertiser.publish(record);
  advertiser.withdraw();
  EXPECT_FALSE(advertiser.published());
  EXPECT_EQ(advertiser.withdrawals, 1);
  advertiser.publish(record);
  EXPECT_EQ(advertiser.registrations, 2);
}

}  // namespace
}  // namespace kovali
