#include "ads/core/GADPrivateUtilities.h"

#include <gtest/gtest.h>

namespace {

struct Companion {
  explicit Companion(int* counter) : released(counter) {}
  ~Companion() { ++*released; }
  int* released;
};

TEST(GADPrivateUtilitiesTest, RemovingAnEntryReleasesItsCompanionExactlyOnce) {
  int released = 0;
  auto publicObject = std::make_shared<int>(1);
  GADPrivateUtilities::setPrivateObjectForKey(std::make_shared<Companion>(&released), publicObject.get());
  EXPECT_NE(GADPrivateUtilities::privateObjectForKey<Companion>(publicObject.get()), nullptr);
  EXPECT_EQ(publicObject.use_count(), 1) << "the key is never retained";
  GADPrivateUtilities::removePrivateObjectForKey(publicObject.get());
  EXPECT_EQ(released, 1);
  GADPrivateUtilities::removePrivateObjectForKey(publicObject.get());
  EXPECT_EQ(released, 1);
  EXPECT_EQ(GADPrivateUtilities::privateObjectForKey<Companion>(publicObject.get()), nullptr);
}

TEST(GADPrivateUtilitiesTest, ReplacingAnEntryReleasesTheOldCompanion) {
  int firstReleased = 0, secondReleased = 0;
  int key = 0;
  GADPrivateUtilities::setPrivateObjectForKey(std::make_shared<Companion>(&firstReleased), &key);
  GADPrivateUtilities::setPrivateObjectForKey(std::make_shared<Companion>(&secondReleased), &key);
  EXPECT_EQ(firstReleased, 1);
  EXPECT_EQ(secondReleased, 0);
  GADPrivateUtilities::removePrivateObjectForKey(&key);
  EXPECT_EQ(secondReleased, 1);
}

TEST(GADPrivateUtilitiesTest, LookupOfAnotherTypeFindsNothing) {
  int key = 0;
  GADPrivateUtilities::setPrivateObjectForKey(std::make_shared<std::string>("loader"), &key);
  EXPECT_EQ(GADPrivateUtilities::privateObjectForKey<int>(&key), nullptr);
  EXPECT_EQ(*GADPrivateUtilities::privateObjectForKey<std::string>(&key), "loader");
  GADPrivateUtilities::removePrivateObjectForKey(&key);
}

}  // namespace
