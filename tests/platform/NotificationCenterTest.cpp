#include "platform/NotificationCenter.h"

#include "tests/support/PlatformTest.h"

using platform::Notification;
using platform::NotificationCenter;

namespace {

class NotificationCenterTest : public PlatformTest {
 protected:
  NotificationCenter center;
  int observerA = 0, observerB = 0, senderX = 0, senderY = 0;
};

TEST_F(NotificationCenterTest, DeliversByNameAndSenderSynchronously) {
  std::vector<std::string> seen;
  center.addObserver(&observerA, "ping", nullptr, [&](const Notification& n) { seen.push_back("any:" + n.name); });
  center.addObserver(&observerB, "ping", &senderX, [&](const Notification&) { seen.push_back("x-only"); });
  center.addObserver(&observerB, "pong", nullptr, [&](const Notification&) { seen.push_back("pong"); });

  center.post("ping", &senderY);
  EXPECT_EQ(seen, (std::vector<std::string>{"any:ping"}));
  center.post("ping", &senderX);
  EXPECT_EQ(seen, (std::vector<std::string>{"any:ping", "any:ping", "x-only"}));
}

TEST_F(NotificationCenterTest, CarriesSenderAndUserInfo) {
  Notification received;
  center.addObserver(&observerA, "msg", nullptr, [&](const Notification& n) { received = n; });
  center.post("msg", &senderX, platform::Dictionary{{"url", "http://a/"}});
  EXPECT_EQ(received.object, &senderX);
  ASSERT_NE(received.userInfo.find("url"), nullptr);
  EXPECT_EQ(*received.userInfo.find("url")->asString(), "http://a/");
}

TEST_F(NotificationCenterTest, RemovingAnObserverRemovesAllItsRegistrations) {
  int calls = 0;
  center.addObserver(&observerA, "a", nullptr, [&](const Notification&) { ++calls; });
  center.addObserver(&observerA, "b", nullptr, [&](const Notification&) { ++calls; });
  center.addObserver(&observerB, "a", nullptr, [&](const Notification&) { ++calls; });
  center.removeObserver(&observerA);
  center.post("a", nullptr);
  center.post("b", nullptr);
  EXPECT_EQ(calls, 1);
}

TEST_F(NotificationCenterTest, RemovalByNameKeepsOtherNames) {
  int a = 0, b = 0;
  center.addObserver(&observerA, "a", nullptr, [&](const Notification&) { ++a; });
  center.addObserver(&observerA, "b", nullptr, [&](const Notification&) { ++b; });
  center.removeObserver(&observerA, "a", nullptr);
  center.post("a", nullptr);
  center.post("b", nullptr);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
}

TEST_F(NotificationCenterTest, ObserverRemovedDuringAPostingIsNotCalledAfterwards) {
  int secondCalls = 0;
  center.addObserver(&observerA, "n", nullptr, [&](const Notification&) { center.removeObserver(&observerB); });
  center.addObserver(&observerB, "n", nullptr, [&](const Notification&) { ++secondCalls; });
  center.post("n", nullptr);
  EXPECT_EQ(secondCalls, 0);
  EXPECT_EQ(center.observerCount(), 1u);
}

TEST_F(NotificationCenterTest, ObserverAddedDuringAPostingWaitsForTheNextOne) {
  int lateCalls = 0;
  center.addObserver(&observerA, "n", nullptr, [&](const Notification&) {
    if (center.observerCount() == 1)
      center.addObserver(&observerB, "n", nullptr, [&](const Notification&) { ++lateCalls; });
  });
  center.post("n", nullptr);
  EXPECT_EQ(lateCalls, 0);
  center.post("n", nullptr);
  EXPECT_EQ(lateCalls, 1);
}

}  // namespace
