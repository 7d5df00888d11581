#include "ads/content/GADBannerWebViewDelegate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "ads/content/GADClickTracker.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADRequestError.h"
#include "ads/request/GADStatistics.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "ads/fullscreen/GADBrowserController.h"
#include "ads/content/GADContentPolicy.h"
#include "platform/Application.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/content/RecordingOpener.h"
#include "tests/support/AdsTest.h"
#include "tests/support/BannerEvents.h"
#include "tests/support/WorkerFolders.h"

using platform::HeadlessWebViewPeer;
using platform::NavigationType;
using platform::URL;
using platform::URLRequest;

namespace {

class GADBannerWebViewDelegateTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    caches = std::filesystem::temp_directory_path() / ("banner-delegate-test-" + std::to_string(getpid()));
    removeFolderAfterWorkers(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    server = std::make_unique<adnet::LoopbackServer>();
    server->setAnswer("/impression", adnet::Answer{});
    server->setAnswer("/clicktrack", adnet::Answer{});
    server->setAnswer("/nextclicktrack", adnet::Answer{});
    loader = GADObjectPrivate::createWithFrame(platform::Rect(0, 0, 320, 50));
    loader->setRootViewController(root.get());
    platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
    loader->delegateManager()->setBannerDelegate(events);
    opener = std::make_shared<RecordingOpener>();
    loader->webViewDelegate()->setOpenerForTesting(opener);
  }
  void TearDown() override {
    loader->cancelPendingActions();
    loader.reset();
    server.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
    AdsTest::TearDown();
  }
  HeadlessWebViewPeer& page() { return *HeadlessWebViewPeer::of(*loader->webView()); }
  // The ad's HTML was handed to the web view and the page has loaded.
  void showAd() {
    loader->changeState(kGADObjectStateRenderingAd);
    loader->webView()->loadHTMLStringBaseURL("<p>ad</p>", URL::create("http://ads.example.test/ad?id=7"));
    page().finish();
  }
  // The ad's own navigation (a script, a frame, a timer).
  bool navigate(const std::string& text, NavigationType type = NavigationType::LinkClicked) {
    return *page().decide(URLRequest(*URL::create(text)), type);
  }
  // The user's press on the ad and the navigation it starts.
  bool navigateByUser(const std::string& text) { return *page().decideByUser(URLRequest(*URL::create(text))); }
  std::int64_t clickCount() {
    const auto report = GADStatistics::sharedStatistics().parameters();
    const platform::Value* pcc = report.find("pcc");
    return pcc && pcc->asInteger() ? *pcc->asInteger() : 0;
  }

  std::filesystem::path caches;
  std::unique_ptr<adnet::LoopbackServer> server;
  std::shared_ptr<platform::ViewController> root = std::make_shared<platform::ViewController>();
  std::shared_ptr<BannerEvents> events = std::make_shared<BannerEvents>();
  std::shared_ptr<GADObjectPrivate> loader;
  std::shared_ptr<RecordingOpener> opener;
};

TEST_F(GADBannerWebViewDelegateTest, TheLoadersWebViewIsHiddenUntilTheAdHasLoaded) {
  EXPECT_EQ(loader->webView()->delegate(), loader->webViewDelegate());
  EXPECT_TRUE(loader->webView()->isHidden());
  loader->addPendingTrackingURL(*URL::create(server->url("/impression")));
  GADStatistics::sharedStatistics().startTimingNamed("prl");
  showAd();
  EXPECT_EQ(loader->state(), kGADObjectStateAdShown);
  EXPECT_FALSE(loader->webView()->isHidden());
  EXPECT_EQ(events->calls, (std::vector<std::string>{"didReceive"}));
  // The orientation script, and the shown state for the rich-media interface.
  ASSERT_EQ(page().evaluatedScripts().size(), 2u);
  EXPECT_NE(page().evaluatedScripts()[1].find("ZOVO_MRAIDEvent('update',{\"state\":\"default\""), std::string::npos);
  ASSERT_TRUE(runUntil([&] { return server->requestCount("/impression") == 1; }));
  // The finished tracker is let go on a later turn.
  ASSERT_TRUE(runUntil([&] { return loader->pendingTrackers().empty(); }));
  EXPECT_FALSE(GADStatistics::sharedStatistics().timingNamed("prl")->isActive());
  EXPECT_TRUE(GADStatistics::sharedStatistics().timingNamed("ppcl")->isActive());

  // A later finish (a subframe) changes nothing but the orientation.
  page().finish();
  EXPECT_EQ(events->calls.size(), 1u);
  EXPECT_EQ(page().evaluatedScripts().size(), 3u);
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(server->requestCount("/impression"), 1u);
}

TEST_F(GADBannerWebViewDelegateTest, AFinishBeforeTheAdWasHandedOverShowsNothing) {
  loader->changeState(kGADObjectStateBuildingAdURL);
  page().finish();
  EXPECT_EQ(loader->state(), kGADObjectStateBuildingAdURL);
  EXPECT_TRUE(loader->webView()->isHidden());
  EXPECT_TRUE(events->calls.empty());
}

TEST_F(GADBannerWebViewDelegateTest, TheRenderedAdsFailureEndsItsAttemptOnceWithANetworkError) {
  loader->changeState(kGADObjectStateRenderingAd);
  page().fail(platform::Error{"test", 1, "gone"});
  EXPECT_EQ(loader->state(), kGADObjectStateFailed);
  // A second report of the same page belongs to no attempt.
  page().fail(platform::Error{"test", 1, "gone"});
  EXPECT_EQ(events->codes, std::vector<long>{kGADErrorNetworkError});

  showAd();
  events->calls.clear();
  page().fail(platform::Error{"test", 1, "late"});
  EXPECT_EQ(loader->state(), kGADObjectStateAdShown);
  EXPECT_TRUE(events->calls.empty());
}

TEST_F(GADBannerWebViewDelegateTest, BeforeTheAdIsShownItDecidesAsEveryAdWebView) {
  loader->changeState(kGADObjectStateRenderingAd);
  EXPECT_TRUE(navigate("https://ads.example.test/creative.png", NavigationType::Other));
  EXPECT_FALSE(navigate("file:///etc/hosts"));
  EXPECT_EQ(clickCount(), 0);
  EXPECT_TRUE(opener->calls.empty());
  EXPECT_EQ(opener->viewController(), root.get());
  EXPECT_EQ(opener->delegateManager().get(), loader->delegateManager());
}

TEST_F(GADBannerWebViewDelegateTest, OnceShownTheUsersNavigationIsAClickOpenedInAScreen) {
  showAd();
  // No click tracking URLs: the in-app browser.
  EXPECT_FALSE(navigateByUser("https://landing.example.test/offer"));
  EXPECT_EQ(clickCount(), 1);
  ASSERT_EQ(opener->calls.size(), 1u);
  EXPECT_EQ(opener->calls[0], "browser https://landing.example.test/offer 1");
  EXPECT_EQ(opener->referringURL()->absoluteString(), "http://ads.example.test/ad?id=7");

  // An ad with click tracking URLs: they are fired and the web application opens.
  loader->addPendingClickURL(*URL::create(server->url("/clicktrack")));
  showAd();
  opener->calls.clear();
  EXPECT_FALSE(navigateByUser("http://landing.example.test/app"));
  EXPECT_EQ(opener->calls, (std::vector<std::string>{"webapp http://landing.example.test/app 1"}));
  ASSERT_TRUE(runUntil([&] { return server->requestCount("/clicktrack") == 1; }));
  EXPECT_EQ(clickCount(), 1);  // the report above consumed the first
}

TEST_F(GADBannerWebViewDelegateTest, OnceShownOtherSchemesLeaveThroughTheOpenerAndMessagesAreNoClicks) {
  showAd();
  EXPECT_FALSE(navigateByUser("tel:5551234"));
  EXPECT_EQ(opener->calls, (std::vector<std::string>{"app tel:5551234"}));
  EXPECT_EQ(clickCount(), 1);

  opener->calls.clear();
  EXPECT_FALSE(navigateByUser("gmsg://x/open?a=browser&u=http%3A%2F%2Flanding.example.test%2F"));
  EXPECT_EQ(opener->calls, (std::vector<std::string>{"notification open"}));
  EXPECT_EQ(clickCount(), 0);  // the message counts its click when it opens
}

// One press of the user is one act, however many the page asks of it in
// the press's second with WebKit's gesture flag (its click handler, its
// timers, its frames): the first takes it, the rest are refused.
TEST_F(GADBannerWebViewDelegateTest, OnePressIsOneClickOneTrackingAndOneOpeningWhateverThePageAsks) {
  loader->addPendingClickURL(*URL::create(server->url("/clicktrack")));
  showAd();
  const platform::NavigationAction flagged{.userGesture = true};
  auto decide = [&](const char* text, NavigationType type) {
    return *page().decide(URLRequest(*URL::create(text)), type, flagged);
  };
  page().pressByUser();
  EXPECT_FALSE(decide("http://landing.example.test/app", NavigationType::LinkClicked));
  for (int i = 0; i < 10; ++i) {
    EXPECT_FALSE(decide("tel:5551234", NavigationType::Other));
    EXPECT_FALSE(decide("gmsg://x/open?a=app&u=sms%3A5551234", NavigationType::Other));
    EXPECT_FALSE(decide("gmsg://x/click?u=http%3A%2F%2Fads.example.test%2Fclk", NavigationType::Other));
    EXPECT_FALSE(decide("http://landing.example.test/again", NavigationType::LinkClicked));
  }
  EXPECT_EQ(opener->calls, (std::vector<std::string>{"webapp http://landing.example.test/app 1"}));
  EXPECT_EQ(loader->webViewDelegate()->tracker(), nullptr) << "no \"click\" message tracked";
  ASSERT_TRUE(runUntil([&] { return server->requestCount("/clicktrack") == 1; }));
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(server->requestCount("/clicktrack"), 1);
  EXPECT_EQ(clickCount(), 1);
  // The next press is the next act.
  EXPECT_FALSE(navigateByUser("tel:5551234"));
  EXPECT_EQ(opener->calls.back(), "app tel:5551234");
}

// A click whose opening is refused (a screen is up already) counts nothing
// and fires nothing.
TEST_F(GADBannerWebViewDelegateTest, AClickWhoseScreenIsRefusedCountsNoClick) {
  loader->addPendingClickURL(*URL::create(server->url("/clicktrack")));
  showAd();
  auto screen = GADViewController::create<GADBrowserController>();
  screen->presentFromViewController(root.get());
  ASSERT_EQ(GADViewController::presentedScreenCount(), 1);
  EXPECT_FALSE(navigateByUser("http://landing.example.test/app"));
  EXPECT_TRUE(opener->calls.empty());
  EXPECT_EQ(clickCount(), 0);
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Screen), 1);
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(server->requestCount("/clicktrack"), 0);
  screen->relinquishScreen();
  platform::RunLoop::main().runFor(0.01);
}

TEST_F(GADBannerWebViewDelegateTest, TheShownAdStaysAClickableAdWhileARefreshRunsOrAfterItFails) {
  loader->addPendingClickURL(*URL::create(server->url("/clicktrack")));
  showAd();
  // The next response's click tracking is the next ad's, not this one's.
  loader->addPendingClickURL(*URL::create(server->url("/nextclicktrack")));
  for (const auto state : {kGADObjectStateLoadingScript, kGADObjectStateLoadingAdHTML, kGADObjectStateFailed}) {
    SCOPED_TRACE(state);
    loader->changeState(state);
    opener->calls.clear();
    const size_t tracked = server->requestCount("/clicktrack");
    EXPECT_FALSE(navigateByUser("https://landing.example.test/offer"));
    EXPECT_EQ(opener->calls, std::vector<std::string>{"webapp https://landing.example.test/offer 1"});
    EXPECT_EQ(clickCount(), 1);
    ASSERT_TRUE(runUntil([&] { return server->requestCount("/clicktrack") == tracked + 1; }));
    EXPECT_EQ(server->requestCount("/nextclicktrack"), 0u);
    // Nor may it move itself away meanwhile.
    EXPECT_FALSE(*page().commitMainFrame(URL::create("http://landing.example.test/offer")));
  }
  // A new ad rendering replaces it: its page loads as every ad page does.
  loader->changeState(kGADObjectStateRenderingAd);
  EXPECT_TRUE(navigate("https://ads.example.test/creative.png", NavigationType::Other));
  EXPECT_TRUE(*page().commitMainFrame(URL::create("http://ads.example.test/ad")));
}

TEST_F(GADBannerWebViewDelegateTest, OnceShownWhatTheAdDoesByItselfIsNoClickAndTheAdStaysShown) {
  loader->addPendingClickURL(*URL::create(server->url("/clicktrack")));
  // Before the ad is shown its page becomes the banner's document.
  EXPECT_TRUE(*page().commitMainFrame(*URL::create("http://ads.example.test/ad")));
  showAd();
  // A late frame, an empty frame, a script moving the ad: they load inside
  // the ad as part of it, but the ad's document is never replaced.
  EXPECT_TRUE(navigate("https://ads.example.test/frame", NavigationType::Other));
  EXPECT_TRUE(navigate("about:blank", NavigationType::Other));
  EXPECT_TRUE(navigate("http://landing.example.test/offer", NavigationType::Other));
  EXPECT_FALSE(*page().commitMainFrame(*URL::create("http://landing.example.test/offer")));
  // A link or form no user followed (a script's click) goes nowhere at all.
  EXPECT_FALSE(navigate("http://landing.example.test/offer", NavigationType::LinkClicked));
  EXPECT_FALSE(navigate("http://landing.example.test/form", NavigationType::FormSubmitted));
  // Nothing leaves without the user, whatever the scheme.
  for (const char* away : {"tel:5551234", "smb://host.example.test/x", "zovo-custom://x", "mailto:a@example.test"})
    EXPECT_FALSE(navigate(away)) << away;
  // A message is never a click.
  EXPECT_FALSE(navigateByUser("gmsg://x/log?string=hi"));
  EXPECT_TRUE(opener->calls.empty());
  EXPECT_EQ(clickCount(), 0);
  platform::RunLoop::main().runFor(0.2);
  EXPECT_EQ(server->requestCount("/clicktrack"), 0u);
  EXPECT_EQ(loader->state(), kGADObjectStateAdShown);
}

TEST_F(GADBannerWebViewDelegateTest, TheLoaderGoingClearsTheWebViewAndStopsItsTrackers) {
  adnet::Answer slow;
  slow.delaySeconds = 30;
  server->setAnswer("/slow", slow);
  loader->addPendingTrackingURL(*URL::create(server->url("/slow")));
  showAd();
  ASSERT_TRUE(runUntil([&] { return server->requestCount("/slow") == 1; }));
  EXPECT_TRUE(GADClickTracker::activeTrackings());
  std::shared_ptr<platform::WebView> webView =
      std::static_pointer_cast<platform::WebView>(loader->webView()->shared_from_this());
  loader->cancelPendingActions();
  loader.reset();
  EXPECT_EQ(webView->delegate(), nullptr);
  EXPECT_EQ(HeadlessWebViewPeer::of(*webView)->loads().back().html, "");
  EXPECT_FALSE(GADClickTracker::activeTrackings());
  // The page's late events find no delegate.
  HeadlessWebViewPeer::of(*webView)->finish();
  EXPECT_EQ(events->calls.size(), 1u);
  loader = GADObjectPrivate::createWithFrame(platform::Rect(0, 0, 320, 50));
}

}  // namespace
