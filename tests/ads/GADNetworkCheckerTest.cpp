#include "ads/request/GADNetworkChecker.h"

#include "platform/Reachability.h"
#include "tests/support/PlatformTest.h"

using platform::Reachability;

namespace {

class GADNetworkCheckerTest : public PlatformTest {
 protected:
  void TearDown() override {
    GADNetworkChecker::resetForTesting();
    PlatformTest::TearDown();
  }
};

TEST_F(GADNetworkCheckerTest, FlagsGiveTheNetworkType) {
  GADNetworkChecker checker;
  const std::tuple<std::uint32_t, GADNetworkType, std::optional<std::string>> table[] = {
      {0, kGADNetworkTypeNotReachable, std::nullopt},
      {Reachability::kFlagIsWWAN, kGADNetworkTypeNotReachable, std::nullopt},
      {Reachability::kFlagReachable, kGADNetworkTypeWiFi, "wi"},
      {Reachability::kFlagReachable | Reachability::kFlagIsWWAN, kGADNetworkTypeCellular, "ed"},
  };
  for (const auto& [flags, type, text] : table) {
    checker.setNetworkTypeFromFlags(flags);
    EXPECT_EQ(checker.networkType(), type) << flags;
    EXPECT_EQ(checker.networkTypeString(), text) << flags;
  }
}

TEST_F(GADNetworkCheckerTest, SharedCheckerIsEnabledAndHearsTheLoopbackHostReachable) {
  GADNetworkChecker& checker = GADNetworkChecker::sharedChecker();
  EXPECT_TRUE(checker.isEnabled());
  EXPECT_EQ(checker.networkType(), kGADNetworkTypeUnknown) << "no report can have arrived yet";
  ASSERT_TRUE(runUntil([&] { return checker.networkType() != kGADNetworkTypeUnknown; }));
  EXPECT_EQ(checker.networkTypeString(), "wi");
}

TEST_F(GADNetworkCheckerTest, DisablingForgetsTheType) {
  GADNetworkChecker checker;
  checker.setEnabled(true);
  checker.setNetworkTypeFromFlags(Reachability::kFlagReachable);
  checker.setEnabled(false);
  EXPECT_FALSE(checker.isEnabled());
  EXPECT_EQ(checker.networkType(), kGADNetworkTypeUnknown);
  EXPECT_FALSE(checker.networkTypeString());
}

TEST_F(GADNetworkCheckerTest, ReachabilityCallbackReachesTheCheckerInTheContext) {
  GADNetworkChecker checker;
  ReachabilityCallback(nullptr, Reachability::kFlagReachable | Reachability::kFlagIsWWAN, &checker);
  EXPECT_EQ(checker.networkType(), kGADNetworkTypeCellular);
}

TEST_F(GADNetworkCheckerTest, NoTargetWithoutAHost) { EXPECT_EQ(Reachability::createWithName(""), nullptr); }

}  // namespace
