#include "ads/content/GADClickTracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "adnet/LoopbackServer.h"
#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "platform/URLConnection.h"
#include "tests/support/AdsTest.h"
#include "tests/support/WorkerFolders.h"

using platform::URL;

namespace {

class Outcomes : public GADClickTrackerDelegate {
 public:
  std::vector<std::string> reports;
  void trackerDidRedirect(GADClickTracker&, const URL& url) override {
    reports.push_back("redirect " + url.absoluteString());
  }
  void trackerDidFailWithError(GADClickTracker&, const platform::Error* error) override {
    reports.push_back(error ? "fail " + error->domain : std::string("fail status"));
  }
};

class GADClickTrackerTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    caches = std::filesystem::temp_directory_path() / ("click-tracker-test-" + std::to_string(getpid()));
    removeFolderAfterWorkers(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    server = std::make_unique<adnet::LoopbackServer>();
    tracker = std::make_shared<GADClickTracker>();
    tracker->setDelegate(&outcomes);
  }
  void TearDown() override {
    tracker.reset();
    server.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
    AdsTest::TearDown();
  }
  URL at(const std::string& path) { return *URL::create(server->url(path)); }
  bool reported() {
    return runUntil([&] { return !outcomes.reports.empty(); });
  }

  std::filesystem::path caches;
  std::unique_ptr<adnet::LoopbackServer> server;
  Outcomes outcomes;
  std::shared_ptr<GADClickTracker> tracker;
};

TEST_F(GADClickTrackerTest, WebRedirectsAreFollowedAndTheLastAddressIsReported) {
  server->setAnswer("/a", adnet::Answer::redirect(302, "/b"));
  server->setAnswer("/b", adnet::Answer::redirect(301, server->url("/c")));
  server->setAnswer("/c", adnet::Answer{});
  tracker->trackURL(at("/a"));
  EXPECT_FALSE(tracker->hasTracked());
  ASSERT_TRUE(reported());
  EXPECT_EQ(outcomes.reports, (std::vector<std::string>{"redirect " + server->url("/c")}));
  EXPECT_TRUE(tracker->hasTracked());
  EXPECT_EQ(tracker->trackingURL()->path(), "/c");
}

// A tracker fetches what a page or an ad header names, on any site: the
// jar's cookies for that site (one a user's visit there set, SameSite or
// not) and for any other never go with it, on any hop, and what it is sent
// is not kept.
TEST_F(GADClickTrackerTest, ATrackerCarriesNoCookiesAndKeepsNoneItIsSent) {
  platform::URLConnection::clearCookiesForTesting();
  platform::URLConnection::setCookieForTesting(at("/"), "visited=1; Path=/; SameSite=Strict");
  platform::URLConnection::setCookieForTesting(at("/"), "plain=2; Path=/");
  platform::URLConnection::setCookieForTesting(*URL::create("http://example.test/"), "elsewhere=3; Path=/");
  adnet::Answer hop = adnet::Answer::redirect(302, "/pixel");
  hop.headers.emplace_back("Set-Cookie", "fromHop=4; Path=/");
  server->setAnswer("/imp", hop);
  adnet::Answer pixel;
  pixel.headers.emplace_back("Set-Cookie", "fromPixel=5; Path=/");
  server->setAnswer("/pixel", pixel);
  tracker->trackURL(at("/imp"));
  ASSERT_TRUE(reported());
  ASSERT_EQ(server->requests().size(), 2u);
  for (const auto& request : server->requests()) EXPECT_EQ(request.header("Cookie"), std::nullopt) << request.path;
  auto kept = platform::URLConnection::cookiesForTesting();
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"elsewhere=3", "plain=2", "visited=1"}));
  platform::URLConnection::clearCookiesForTesting();
}

TEST_F(GADClickTrackerTest, ARedirectThatLeavesTheWebCompletesAtOnceAndNeverFails) {
  server->setAnswer("/click", adnet::Answer::redirect(302, "tel:5551234"));
  tracker->trackURL(at("/click"));
  ASSERT_TRUE(reported());
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(outcomes.reports, (std::vector<std::string>{"redirect tel:5551234"}));
  EXPECT_EQ(tracker->trackingURL()->absoluteString(), "tel:5551234");
  EXPECT_FALSE(GADClickTracker::activeTrackings());
}

TEST_F(GADClickTrackerTest, TheSandboxsClickChainIsFollowedThroughItsWebHopsToTheDialler) {
  adnet::AdNetwork network;
  tracker->trackURL(*URL::create(network.url("/zovo/aclk?ad=1&hops=2&to=tel%3A5550100")));
  ASSERT_TRUE(reported());
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(outcomes.reports, (std::vector<std::string>{"redirect tel:5550100"}));
  EXPECT_EQ(network.requestCount("/zovo/aclk"), 3u) << "the first request and two hops";
  EXPECT_FALSE(GADClickTracker::activeTrackings());
}

TEST_F(GADClickTrackerTest, A304CompletesWithTheRequestedURLAndABadStatusFailsWithoutError) {
  adnet::Answer modified;
  modified.lastModified = 1700000000;
  server->setAnswer("/pixel", modified);
  tracker->trackURL(at("/pixel"));
  ASSERT_TRUE(reported());
  // A second tracker of the same URL while the first keeps its copy: the
  // request is conditional and the server answers 304.
  Outcomes second;
  auto again = std::make_shared<GADClickTracker>();
  again->setDelegate(&second);
  again->trackURL(at("/pixel"));
  ASSERT_TRUE(runUntil([&] { return !second.reports.empty(); }));
  ASSERT_EQ(server->requestCount("/pixel"), 2u);
  EXPECT_TRUE(server->requests().back().header("If-Modified-Since")) << "a real 304";
  EXPECT_EQ(second.reports, (std::vector<std::string>{"redirect " + server->url("/pixel")}));

  // A 304 with no copy held (the server answers so whatever was asked):
  // the tracking reached the server, so it completed.
  outcomes.reports.clear();
  adnet::Answer notModified;
  notModified.status = 304;
  server->setAnswer("/unasked304", notModified);
  tracker->trackURL(at("/unasked304"));
  ASSERT_TRUE(reported());
  EXPECT_EQ(outcomes.reports, (std::vector<std::string>{"redirect " + server->url("/unasked304")}));

  outcomes.reports.clear();
  adnet::Answer error;
  error.status = 500;
  server->setAnswer("/broken", error);
  tracker->trackURL(at("/broken"));
  ASSERT_TRUE(reported());
  EXPECT_EQ(outcomes.reports, (std::vector<std::string>{"fail status"}));

  outcomes.reports.clear();
  adnet::Answer dropped;
  dropped.drop = adnet::Answer::Drop::BeforeResponse;
  server->setAnswer("/dropped", dropped);
  tracker->trackURL(at("/dropped"));
  ASSERT_TRUE(reported());
  ASSERT_EQ(outcomes.reports.size(), 1u);
  EXPECT_TRUE(outcomes.reports[0].starts_with("fail ") && outcomes.reports[0] != "fail status");
}

TEST_F(GADClickTrackerTest, OnlyTheLatestTrackingReportsAndNoURLLeavesItRunning) {
  adnet::Answer slow;
  slow.delaySeconds = 0.3;
  server->setAnswer("/first", slow);
  server->setAnswer("/second", adnet::Answer{});
  tracker->trackURL(at("/first"));
  tracker->trackURL(std::nullopt);
  EXPECT_EQ(tracker->trackingURL()->path(), "/first");
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 1);
  tracker->trackURL(at("/second"));
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 1);
  ASSERT_TRUE(reported());
  platform::RunLoop::main().runFor(0.5);
  EXPECT_EQ(outcomes.reports, (std::vector<std::string>{"redirect " + server->url("/second")}));
  EXPECT_FALSE(GADClickTracker::activeTrackings());
}

TEST_F(GADClickTrackerTest, EachTrackingInFlightCountsOnceFromItsStartToItsEnd) {
  adnet::Answer slow;
  slow.delaySeconds = 0.3;
  server->setAnswer("/slow", slow);
  adnet::Answer slower;
  slower.delaySeconds = 60;  // not before the test has done with it, however busy the machine
  server->setAnswer("/slower", slower);
  tracker->trackURL(at("/slow"));
  auto other = std::make_shared<GADClickTracker>();
  other->trackURL(at("/slower"));
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 2);
  // A tracker that tracks nothing takes nobody's count away.
  auto idle = std::make_shared<GADClickTracker>();
  idle->reset();
  idle.reset();
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 2);
  ASSERT_TRUE(reported());
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 1) << "the slower one still fetches";
  tracker->reset();  // a finished tracker's reset takes nothing away either
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 1);
  other->reset();  // abandoned, it counts no more
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 0);
  other->reset();
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 0) << "nor twice";
}

TEST_F(GADClickTrackerTest, ResetAbandonsWithoutAReportAndADelegateMayLetTheTrackerGo) {
  adnet::Answer slow;
  slow.delaySeconds = 0.2;
  server->setAnswer("/slow", slow);
  tracker->trackURL(at("/slow"));
  EXPECT_TRUE(GADClickTracker::activeTrackings());
  tracker->reset();
  EXPECT_FALSE(GADClickTracker::activeTrackings());
  EXPECT_FALSE(tracker->trackingURL());
  platform::RunLoop::main().runFor(0.4);
  EXPECT_TRUE(outcomes.reports.empty());

  class Dropper : public GADClickTrackerDelegate {
   public:
    std::shared_ptr<GADClickTracker>* owner = nullptr;
    void trackerDidRedirect(GADClickTracker&, const URL&) override { owner->reset(); }
  } dropper;
  dropper.owner = &tracker;
  server->setAnswer("/fast", adnet::Answer{});
  tracker->setDelegate(&dropper);
  tracker->trackURL(at("/fast"));
  ASSERT_TRUE(runUntil([&] { return tracker == nullptr; }));
  EXPECT_FALSE(GADClickTracker::activeTrackings());
}

TEST_F(GADClickTrackerTest, WithABackgroundTaskFacilityTrackingsAreNotCounted) {
  std::vector<std::string> tasks;
  std::function<void()> expire;
  platform::Application::shared().setBackgroundTaskFacility(platform::Application::BackgroundTaskFacility{
      [&](std::function<void()> handler) {
        tasks.push_back("begin");
        expire = std::move(handler);
        return platform::Application::BackgroundTaskID{7};
      },
      [&](platform::Application::BackgroundTaskID id) { tasks.push_back("end " + std::to_string(id)); }});
  server->setAnswer("/pixel", adnet::Answer{});
  tracker->trackURL(at("/pixel"));
  EXPECT_FALSE(GADClickTracker::activeTrackings());
  ASSERT_TRUE(reported());
  EXPECT_EQ(tasks, (std::vector<std::string>{"begin", "end 7"}));

  // Running out of background time ends the tracking as a failure, once:
  // a banner waiting on it frees its place for the next.
  adnet::Answer slow;
  slow.delaySeconds = 0.2;
  server->setAnswer("/slow", slow);
  outcomes.reports.clear();
  tracker->trackURL(at("/slow"));
  expire();
  EXPECT_EQ(outcomes.reports, std::vector<std::string>{"fail status"});
  EXPECT_TRUE(tracker->hasTracked());
  platform::RunLoop::main().runFor(0.4);
  EXPECT_EQ(outcomes.reports.size(), 1u) << "the fetch said nothing more";
  EXPECT_EQ(tasks.back(), "end 7");
  platform::Application::shared().setBackgroundTaskFacility(std::nullopt);
}

}  // namespace
