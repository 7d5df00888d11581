#include "ads/core/GADObjectPrivate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "ads/codec/GAD_TamskJSON.h"
#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADWebViewDelegate.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADHeavyAdGuard.h"
#include "ads/core/GADRequestError.h"
#include "ads/fullscreen/GADBrowserController.h"
#include "ads/fullscreen/GADWebAppViewController.h"
#include "ads/request/GADNetworkChecker.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADRequest.h"
#include "ads/request/GADStatistics.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/Reachability.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "platform/Device.h"
#include "tests/support/AdsTest.h"
#include "tests/support/BannerEvents.h"
#include "tests/support/FakeDevice.h"
#include "tests/support/FakePageResourceMonitor.h"
#include "tests/support/WorkerFolders.h"

using platform::HeadlessWebViewPeer;
using platform::NavigationType;
using platform::URL;
using platform::URLRequest;

namespace {

constexpr const char* kAdUnit = "a1b2c3d4e5f6071";

// The headless fake web view runs no script: the fixture plays the core
// script's part, reading the parameters the loader put in the build-ad page
// and answering through the message channel as the script would.
class GADObjectPrivateTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    caches = std::filesystem::temp_directory_path() / ("loader-test-" + std::to_string(getpid()));
    removeFolderAfterWorkers(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    network = std::make_unique<adnet::AdNetwork>();
    GADEndpoints::setForTesting(
        GADEndpoints::Overrides{network->staticContentHost(), network->adServerBaseURL(), "127.0.0.1"});
    makeBanner();
  }
  void TearDown() override {
    banner.reset();
    network.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
    AdsTest::TearDown();
  }

  void makeBanner() {
    banner = GADBannerView::create(platform::Rect(0, 410, 320, 50));
    banner->setAdUnitID(kAdUnit);
    banner->setRootViewController(root.get());
    events = std::make_shared<BannerEvents>();
    banner->setDelegate(events);
  }
  std::shared_ptr<GADObjectPrivate> loader() { return banner->privateObject(); }
  HeadlessWebViewPeer& adPage() { return *HeadlessWebViewPeer::of(*loader()->webView()); }

  // Waits for the build-ad page and returns the parameters it passes to
  // the core script.
  platform::Dictionary buildPageParameters() {
    EXPECT_TRUE(runUntil([&] {
      auto* page = loader()->buildAdWebView();
      return page && !HeadlessWebViewPeer::of(*page)->loads().empty();
    })) << "no build-ad page";
    auto* page = loader()->buildAdWebView();
    if (!page) return {};
    const auto& load = HeadlessWebViewPeer::of(*page)->loads().back();
    EXPECT_EQ(load.baseURL->absoluteString(), network->adServerBaseURL());
    EXPECT_NE(load.html.find("window.ZOVO_buildAdURL"), std::string::npos) << "the core script is in the page";
    const std::string call = "<script>ZOVO_buildAdURL(";
    const size_t start = load.html.find(call);
    const size_t end = load.html.find(");</script>", start);
    EXPECT_NE(start, std::string::npos);
    auto parsed = GAD_TamskJSON().objectWithString(load.html.substr(start + call.size(), end - start - call.size()));
    EXPECT_TRUE(parsed.has_value());
    return parsed && parsed->asDictionary() ? *parsed->asDictionary() : platform::Dictionary{};
  }
  // The page navigates to a message URL, as the core script does.
  void pageSends(const std::string& message) {
    auto* page = loader()->buildAdWebView();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(HeadlessWebViewPeer::of(*page)->decide(URLRequest(*URL::create(message)), NavigationType::Other), false);
  }
  // The script's "loadAdURL" answer, with the ad URL made of its parameters.
  void answerWithAdURL(std::string base = {}) {
    const platform::Dictionary parameters = buildPageParameters();
    if (base.empty()) base = network->adServerBaseURL() + "ad";
    std::string url = base + "?";
    for (const auto& [key, value] : parameters) {
      const std::string text = value.asDictionary() ? GAD_TamskJSON().stringWithObject(value).value_or("")
                                                    : GADNetworkUtilities::textOfValue(value);
      url += GADNetworkUtilities::encodeURL(key) + "=" + GADNetworkUtilities::encodeURL(text) + "&";
    }
    url.pop_back();
    pageSends("gmsg://zovo/loadAdURL?url=" + GADNetworkUtilities::encodeURL(url) + "&type=vaver");
  }
  // The ad HTML has reached the banner's web view: the page finishes.
  bool adRendered() {
    if (!runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; })) return false;
    adPage().finish();
    return loader()->state() == kGADObjectStateAdShown;
  }
  bool loadAndShow() {
    banner->loadRequest(GADRequest::request());
    answerWithAdURL();
    return adRendered();
  }
  long failureCode() {
    EXPECT_TRUE(runUntil([&] { return !events->codes.empty(); })) << "no failure reported";
    return events->codes.empty() ? -1 : events->codes.back();
  }
  bool logged(const std::string& line) const {
    for (const auto& l : logLines())
      if (l.find(line) != std::string::npos) return true;
    return false;
  }
  std::string lastParameter(const std::string& key) const {
    const auto& p = network->adRequests().back().parameters;
    auto found = p.find(key);
    return found == p.end() ? "(none)" : found->second;
  }
  // Manual time: the refresh timer and the deadlines wait for the test.
  void manualTime() { platform::RunLoop::main().useManualTimeForTesting(); }
  void advance(double seconds) {
    platform::RunLoop::main().advanceForTesting(seconds);
    platform::RunLoop::main().drain();
  }

  std::filesystem::path caches;
  std::unique_ptr<adnet::AdNetwork> network;
  std::shared_ptr<platform::ViewController> root = std::make_shared<platform::ViewController>();
  std::shared_ptr<GADBannerView> banner;
  std::shared_ptr<BannerEvents> events;
};

TEST_F(GADObjectPrivateTest, AnAdIsFetchedShownAndTrackedOnce) {
  banner->loadRequest(GADRequest::request());
  EXPECT_EQ(loader()->state(), kGADObjectStateLoadingScript);
  const platform::Dictionary parameters = buildPageParameters();
  EXPECT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), 1u);
  EXPECT_EQ(loader()->state(), kGADObjectStateBuildingAdURL);
  ASSERT_NE(parameters.find("slotname"), nullptr);
  EXPECT_EQ(*parameters.find("slotname")->asString(), kAdUnit);
  ASSERT_NE(parameters.find("ad_frame"), nullptr);
  const platform::Dictionary* frame = parameters.find("ad_frame")->asDictionary();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(GADNetworkUtilities::textOfValue(*frame->find("y")), "410");
  EXPECT_EQ(GADNetworkUtilities::textOfValue(*frame->find("w")), "320");
  EXPECT_EQ(GADNetworkUtilities::textOfValue(*parameters.find("preqs")), "1");
  EXPECT_NE(parameters.find("js"), nullptr);

  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(loader()->buildAdWebView(), nullptr) << "the build-ad page is let go";
  ASSERT_EQ(network->adRequests().size(), 1u);
  EXPECT_EQ(lastParameter("slotname"), kAdUnit);
  EXPECT_EQ(lastParameter("preqs"), "1");
  EXPECT_NE(lastParameter("ms"), "(none)") << "the signal entry is on the ad URL";
  EXPECT_TRUE(network->adRequests().back().signal.has_value());

  // The creative is in the banner's web view, based at the ad's address.
  const auto& load = adPage().loads().back();
  EXPECT_NE(load.html.find("Rubber Duck Regatta"), std::string::npos);
  EXPECT_EQ(load.baseURL->path(), "/zovo/ads/ad");
  EXPECT_FALSE(loader()->webView()->isHidden());
  EXPECT_EQ(events->received, 1);
  EXPECT_TRUE(events->codes.empty());
  EXPECT_EQ(loader()->supportedOrientations(), 1);
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/zovo/imp") == 1; }));
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(network->requestCount("/zovo/imp"), 1u);
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 30);
}

TEST_F(GADObjectPrivateTest, HeadersOfEveryRedirectHopAreRead) {
  banner->loadRequest(GADRequest::request());
  answerWithAdURL(network->adServerBaseURL() + "redirect");
  ASSERT_TRUE(adRendered());
  // One tracking URL from the hop, one from the ad.
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/zovo/imp") == 2; }));
  EXPECT_EQ(events->received, 1);
}

TEST_F(GADObjectPrivateTest, AnAdsTrackingURLsAreFewOnceEachAndFetchedAFewAtATime) {
  // A thousand URLs in each header, and the redirect hop's own.
  network->behaviour().hostile = adnet::HostileCreatives::Kind::HugeHeaders;
  network->behaviour().trackingDelaySeconds = 0.3;
  banner->loadRequest(GADRequest::request());
  answerWithAdURL(network->adServerBaseURL() + "redirect");
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(loader()->pendingTrackingURLs().size(), GADContentPolicy::kMaximumTrackingURLs);
  EXPECT_EQ(loader()->pendingClickURLs().size(), GADContentPolicy::kMaximumTrackingURLs);
  EXPECT_GT(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::TrackingURLs), 0);
  const auto inFlight = [&] {
    size_t n = 0;
    for (const auto& tracker : loader()->pendingTrackers()) n += !tracker->hasTracked();
    return n;
  };
  EXPECT_EQ(inFlight(), GADContentPolicy::kMaximumTrackersInFlight);
  EXPECT_EQ(loader()->queuedTrackingCount(),
            GADContentPolicy::kMaximumTrackingURLs - GADContentPolicy::kMaximumTrackersInFlight);
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/zovo/imp") == GADContentPolicy::kMaximumTrackingURLs; }));
  platform::RunLoop::main().runFor(0.4);
  EXPECT_EQ(network->requestCount("/zovo/imp"), GADContentPolicy::kMaximumTrackingURLs);
  EXPECT_EQ(loader()->queuedTrackingCount(), 0u);

  // The same URL twice in a header is fetched once.
  std::vector<URL> urls;
  GADObjectPrivate::appendURLsFromHeader(urls, "http://t.example.test/a  http://t.example.test/b http://t.example.test/a");
  GADObjectPrivate::appendURLsFromHeader(urls, "http://t.example.test/b");
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[1].absoluteString(), "http://t.example.test/b");

  // A field sent on two lines arrives joined with ", "; tabs separate too.
  urls.clear();
  GADObjectPrivate::appendURLsFromHeader(urls, "http://t.example.test/imp?a=1, http://t.example.test/imp?a=2,\t"
                                               "http://t.example.test/imp?a=3");
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_EQ(urls[0].absoluteString(), "http://t.example.test/imp?a=1");
  EXPECT_EQ(urls[1].absoluteString(), "http://t.example.test/imp?a=2");
  EXPECT_EQ(urls[2].absoluteString(), "http://t.example.test/imp?a=3");
}

TEST_F(GADObjectPrivateTest, ALoadWhileAnAttemptRunsIsRefused) {
  banner->loadRequest(GADRequest::request());
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(network->adRequests().size(), 1u);
  EXPECT_EQ(lastParameter("preqs"), "1");
}

TEST_F(GADObjectPrivateTest, NoLoadStartsWhileTheWindowIsMinimisedButAnUnfocusedOneLoads) {
  auto& app = platform::Application::shared();
  app.setMinimized(true);
  app.finishLaunching();
  banner->loadRequest(GADRequest::request());
  EXPECT_EQ(loader()->state(), kGADObjectStateIdle);
  app.setMinimized(false);
  app.setFocused(false);  // shown, but another window has the focus: still seen
  banner->loadRequest(GADRequest::request());
  EXPECT_EQ(loader()->state(), kGADObjectStateLoadingScript);
}

// ---- Refreshing

TEST_F(GADObjectPrivateTest, TheRefreshHeaderSchedulesTheNextAdWithTheCounterOneHigher) {
  manualTime();
  ASSERT_TRUE(loadAndShow());
  EXPECT_FALSE(banner->hasAutoRefreshed());
  advance(29);
  EXPECT_EQ(loader()->state(), kGADObjectStateAdShown);
  advance(1);
  EXPECT_TRUE(loader()->isMakingRequest());
  EXPECT_TRUE(banner->hasAutoRefreshed());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(events->received, 2);
  EXPECT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), 1u) << "the script is cached for a day";
  ASSERT_EQ(network->adRequests().size(), 2u);
  EXPECT_EQ(lastParameter("preqs"), "2");
  EXPECT_NE(lastParameter("prl"), "(none)");
  EXPECT_NE(lastParameter("ptime"), "(none)");
  EXPECT_EQ(network->adRequests().back().creative, 1) << "the next ad in rotation";
}

TEST_F(GADObjectPrivateTest, TheBackgroundStopsRefreshingAndTheForegroundStartsAFullInterval) {
  auto& app = platform::Application::shared();
  app.setFocused(true);
  app.finishLaunching();
  manualTime();
  ASSERT_TRUE(loadAndShow());
  advance(20);
  app.setMinimized(true);
  EXPECT_FALSE(loader()->hasReloadTimer());
  advance(600);
  EXPECT_EQ(network->adRequests().size(), 1u);
  app.setMinimized(false);
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 30);
  advance(29.5);
  EXPECT_FALSE(loader()->isMakingRequest());
  advance(0.5);
  EXPECT_TRUE(loader()->isMakingRequest());
}

TEST_F(GADObjectPrivateTest, AWindowThatLosesTheFocusGoesOnRefreshing) {
  auto& app = platform::Application::shared();
  app.setFocused(true);
  app.finishLaunching();
  manualTime();
  ASSERT_TRUE(loadAndShow());
  app.setFocused(false);
  advance(loader()->scheduledReloadSeconds());
  EXPECT_TRUE(loader()->isMakingRequest()) << "the refresh went ahead";
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(network->adRequests().size(), 2u);
  EXPECT_GT(loader()->scheduledReloadSeconds(), 0);
}

TEST_F(GADObjectPrivateTest, AFullScreenAdOfAnyBannerPausesTheRefresh) {
  manualTime();
  ASSERT_TRUE(loadAndShow());
  advance(25);
  auto& center = platform::NotificationCenter::defaultCenter();
  center.post(GADViewControllerWillPresentFullScreen, nullptr);
  EXPECT_FALSE(loader()->hasReloadTimer());
  advance(300);
  EXPECT_FALSE(loader()->isMakingRequest());
  center.post(GADViewControllerDidRelinquishFullScreen, nullptr);
  advance(29);
  EXPECT_FALSE(loader()->isMakingRequest());
  advance(1);
  EXPECT_TRUE(loader()->isMakingRequest());
}

TEST_F(GADObjectPrivateTest, TheRefreshResumesOnlyWhenTheLastFullScreenScreenHasGone) {
  manualTime();
  ASSERT_TRUE(loadAndShow());
  auto webApp = GADViewController::create<GADWebAppViewController>();
  webApp->presentFromViewController(root.get());
  auto browser = GADViewController::create<GADBrowserController>();
  browser->presentFromViewController(webApp.get());
  EXPECT_FALSE(loader()->hasReloadTimer());
  browser->relinquishScreen();
  EXPECT_FALSE(loader()->hasReloadTimer()) << "the web application still covers the banner";
  webApp->relinquishScreen();
  EXPECT_TRUE(loader()->hasReloadTimer());
  platform::RunLoop::main().drain();
}

TEST_F(GADObjectPrivateTest, RefreshRatesAreBounded) {
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("45"), 45.0);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader(" 45.5 "), 45.5);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("0"), 0.0);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("0.01"), GADObjectPrivate::kMinimumRefreshSeconds);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("1e300"), GADObjectPrivate::kMaximumRefreshSeconds);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("-30"), std::nullopt);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("soon"), std::nullopt);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("nan"), std::nullopt);
  EXPECT_EQ(GADObjectPrivate::refreshSecondsFromHeader("inf"), std::nullopt);
}

TEST_F(GADObjectPrivateTest, ATinyRateIsRaisedToTheFloorAndZeroStopsRefreshingButIsRemembered) {
  manualTime();
  network->behaviour().refreshRate = "0.01";
  ASSERT_TRUE(loadAndShow());
  EXPECT_EQ(loader()->scheduledReloadSeconds(), GADObjectPrivate::kMinimumRefreshSeconds);

  network->behaviour().refreshRate = "0";
  advance(GADObjectPrivate::kMinimumRefreshSeconds);
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_FALSE(loader()->hasReloadTimer());
  // The last interval is kept for a return from the background.
  EXPECT_EQ(loader()->reloadSeconds(), GADObjectPrivate::kMinimumRefreshSeconds);

  // A rate that names nothing keeps the last one.
  network->behaviour().refreshRate = "often";
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(loader()->scheduledReloadSeconds(), GADObjectPrivate::kMinimumRefreshSeconds);
}

TEST_F(GADObjectPrivateTest, RepeatedFailuresBackOffAndASuccessResetsThePace) {
  manualTime();
  ASSERT_TRUE(loadAndShow());
  network->behaviour().adStatus = 500;
  std::vector<double> waits;
  for (int i = 0; i < 7; ++i) {
    advance(loader()->scheduledReloadSeconds());
    const size_t failures = events->codes.size();
    answerWithAdURL();
    ASSERT_TRUE(runUntil([&] { return events->codes.size() == failures + 1; }));
    waits.push_back(loader()->scheduledReloadSeconds());
  }
  EXPECT_EQ(waits, (std::vector<double>{30, 60, 120, 240, 480, 480, 480}));
  network->behaviour().adStatus = 200;
  advance(loader()->scheduledReloadSeconds());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 30);
}

// ---- Failures, each with its code

TEST_F(GADObjectPrivateTest, ARejectedRequestIsCodeZeroWithItsLogLine) {
  network->behaviour().adStatus = 400;
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  EXPECT_EQ(failureCode(), kGADErrorInvalidRequest);
  EXPECT_TRUE(logged("<Rezido> Server rejected ad parameters.  Typically this is because the ad unit ID is "
                     "incorrect."));
  EXPECT_EQ(loader()->state(), kGADObjectStateFailed);
  EXPECT_TRUE(loader()->webView()->isHidden());
}

TEST_F(GADObjectPrivateTest, ServerErrorsAreCodeThree) {
  for (int status : {404, 500}) {
    SCOPED_TRACE(status);
    makeBanner();
    network->behaviour().adStatus = status;
    banner->loadRequest(GADRequest::request());
    answerWithAdURL();
    EXPECT_EQ(failureCode(), kGADErrorServerError);
    EXPECT_EQ(events->received, 0);
  }
}

TEST_F(GADObjectPrivateTest, ARefusedConnectionIsCodeTwo) {
  int closedPort;
  {
    adnet::LoopbackServer gone;
    closedPort = gone.port();
  }
  banner->loadRequest(GADRequest::request());
  answerWithAdURL("http://127.0.0.1:" + std::to_string(closedPort) + "/zovo/ads/ad");
  EXPECT_EQ(failureCode(), kGADErrorNetworkError);
}

TEST_F(GADObjectPrivateTest, AnEmptyOrBlankAdIsCodeOne) {
  for (const char* body : {"", " \r\n\t  "}) {
    makeBanner();
    network->behaviour().adBody = body;
    banner->loadRequest(GADRequest::request());
    answerWithAdURL();
    EXPECT_EQ(failureCode(), kGADErrorNoFill);
    EXPECT_TRUE(adPage().loads().empty()) << "nothing is handed to the web view";
  }
}

TEST_F(GADObjectPrivateTest, AnAdURLThatIsNotAWebAddressIsNeverFetched) {
  banner->loadRequest(GADRequest::request());
  buildPageParameters();
  pageSends("gmsg://zovo/loadAdURL?url=" + GADNetworkUtilities::encodeURL("file:///etc/passwd") + "&type=vaver");
  EXPECT_EQ(failureCode(), kGADErrorServerError);
  EXPECT_TRUE(network->adRequests().empty());
}

TEST_F(GADObjectPrivateTest, TheScriptsRefusalsAreCodeZeroWithTheirLogLinesAndTheBannerCanLoadAgain) {
  const std::pair<const char*, const char*> refusals[] = {
      {"invalidRequest", "<Rezido> Invalid Request: "},
      {"unableToServe", "<Rezido> Unable to serve: "},
  };
  for (const auto& [message, line] : refusals) {
    SCOPED_TRACE(message);
    makeBanner();
    banner->loadRequest(GADRequest::request());
    buildPageParameters();
    pageSends(std::string("gmsg://zovo/") + message + "?reason=no%20campaign");
    EXPECT_EQ(failureCode(), kGADErrorInvalidRequest);
    EXPECT_TRUE(logged(line));
    EXPECT_TRUE(logged("no campaign"));
    EXPECT_FALSE(loader()->isMakingRequest()) << "the attempt is over";
    EXPECT_EQ(loader()->buildAdWebView(), nullptr);
    banner->loadRequest(GADRequest::request());
    answerWithAdURL();
    EXPECT_TRUE(adRendered());
  }
}

TEST_F(GADObjectPrivateTest, WhatTheRequestOrTheServerSaysStaysInItsPlace) {
  // A value that closes the script element it is written into.
  auto request = GADRequest::request();
  request->setKeywords(std::make_shared<GADRequest::StringList>(
      GADRequest::StringList{"</script><script>alert(1)</script>"}));
  banner->loadRequest(request);
  const platform::Dictionary parameters = buildPageParameters();
  const std::string& page = HeadlessWebViewPeer::of(*loader()->buildAdWebView())->loads().back().html;
  EXPECT_EQ(page.find("</script><script>alert"), std::string::npos);
  const platform::Value* keywords = parameters.find("kw");
  ASSERT_NE(keywords, nullptr);
  EXPECT_NE(keywords->description().find("</script><script>alert(1)</script>"), std::string::npos)
      << "the script still reads the value as it was";

  // A refusal's text from the server: one log line, whatever it holds.
  pageSends("gmsg://zovo/unableToServe?reason=" + GADNetworkUtilities::encodeURL("a\n<Rezido> forged\r\nline"));
  EXPECT_EQ(failureCode(), kGADErrorInvalidRequest);
  ASSERT_TRUE(logged("forged"));
  for (const auto& line : logLines()) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
}

TEST_F(GADObjectPrivateTest, AMessageFromAnotherPageIsNotTheAnswer) {
  banner->loadRequest(GADRequest::request());
  buildPageParameters();
  // The centre is shared by every page: only the loader's own is heard.
  auto stranger = platform::View::make<platform::WebView>(platform::Rect(0, 0, 1, 1));
  auto delegate = std::make_unique<GADWebViewDelegate>();
  stranger->setDelegate(delegate.get());
  HeadlessWebViewPeer::of(*stranger)->decide(
      URLRequest(*URL::create("gmsg://zovo/loadAdURL?url=" + GADNetworkUtilities::encodeURL(network->url("/zovo/ads/ad")))),
      NavigationType::Other);
  platform::RunLoop::main().runFor(0.1);
  EXPECT_TRUE(network->adRequests().empty());
  EXPECT_EQ(loader()->state(), kGADObjectStateBuildingAdURL);
}

TEST_F(GADObjectPrivateTest, TheScriptUnavailableOnAFirstRunIsCodeTwo) {
  network->behaviour().scriptStatus = 503;
  banner->loadRequest(GADRequest::request());
  EXPECT_EQ(failureCode(), kGADErrorNetworkError);
  EXPECT_EQ(loader()->buildAdWebView(), nullptr);
}

// A script that is no text would never answer: the attempt fails at once
// as a script failure, not at the deadline, and the next attempt fetches
// the script afresh (no revalidation of what could not be read).
TEST_F(GADObjectPrivateTest, AScriptThatIsNoTextFailsAtOnceWithCodeTwoAndIsFetchedAfresh) {
  manualTime();
  network->behaviour().scriptAnswer = adnet::AdNetwork::ScriptAnswer::NotText;
  banner->loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return !events->codes.empty(); }));
  EXPECT_EQ(events->codes, std::vector<long>{kGADErrorNetworkError});
  EXPECT_EQ(loader()->buildAdWebView(), nullptr) << "no page that could never answer";
  network->behaviour().scriptAnswer = adnet::AdNetwork::ScriptAnswer::LoadAdURL;
  const size_t fetches = network->requestCount("/zovo/sdk-core-v40.js");
  loader()->cancelPendingActions();
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), fetches + 1);
}

TEST_F(GADObjectPrivateTest, ABannerWhoseFirstAttemptsFailRetriesOnItsOwnScheduleUntilAnAdShows) {
  platform::Application::shared().setFocused(true);
  platform::Application::shared().finishLaunching();
  manualTime();
  network->behaviour().scriptStatus = 503;
  network->behaviour().refreshRate = std::nullopt;
  banner->loadRequest(GADRequest::request());
  EXPECT_EQ(failureCode(), kGADErrorNetworkError);
  EXPECT_EQ(loader()->scheduledReloadSeconds(), GADObjectPrivate::kFirstRetrySeconds);
  advance(GADObjectPrivate::kFirstRetrySeconds);
  ASSERT_TRUE(runUntil([&] { return events->codes.size() == 2; }));
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 2 * GADObjectPrivate::kFirstRetrySeconds) << "backing off";
  // Minimised and restored meanwhile: the retry is still due.
  auto& app = platform::Application::shared();
  app.setMinimized(true);
  app.setMinimized(false);
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 2 * GADObjectPrivate::kFirstRetrySeconds);
  network->behaviour().scriptStatus = 200;
  advance(2 * GADObjectPrivate::kFirstRetrySeconds);
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  // The ad named no refresh: none follows.
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 0);
}

TEST_F(GADObjectPrivateTest, AFailedBannerRetriesAtOnceWhenTheNetworkComesBack) {
  manualTime();
  network->behaviour().scriptStatus = 503;
  banner->loadRequest(GADRequest::request());
  EXPECT_EQ(failureCode(), kGADErrorNetworkError);
  auto& checker = GADNetworkChecker::sharedChecker();
  checker.setNetworkTypeFromFlags(0);
  EXPECT_FALSE(loader()->isMakingRequest());
  network->behaviour().scriptStatus = 200;
  checker.setNetworkTypeFromFlags(platform::Reachability::kFlagReachable);
  EXPECT_TRUE(loader()->isMakingRequest());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  // Back again while an ad is shown: the refresh keeps its own time.
  checker.setNetworkTypeFromFlags(0);
  checker.setNetworkTypeFromFlags(platform::Reachability::kFlagReachable);
  EXPECT_FALSE(loader()->isMakingRequest());
}

TEST_F(GADObjectPrivateTest, AStaleScriptIsRevalidatedAndUsedWhenTheNetworkFails) {
  ASSERT_TRUE(loadAndShow());
  banner.reset();

  // A second loader within the day asks nothing of the network.
  makeBanner();
  ASSERT_TRUE(loadAndShow());
  EXPECT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), 1u);
  banner.reset();

  // A day later the script is revalidated: the sandbox answers 304.
  const double later = platform::Clock::now() + 86400 + 60;
  platform::Clock::setNowForTesting([later] { return later; });
  makeBanner();
  ASSERT_TRUE(loadAndShow());
  ASSERT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), 2u);
  const adnet::RecordedRequest* revalidation = nullptr;
  for (const auto& r : network->requests())
    if (r.path == "/zovo/sdk-core-v40.js") revalidation = &r;
  ASSERT_TRUE(revalidation->header("If-Modified-Since").has_value());
  EXPECT_EQ(*revalidation->header("If-Modified-Since"),
            adnet::LoopbackServer::httpDate(adnet::AdNetwork::kScriptLastModified));
  banner.reset();

  // Another day on, the script cannot be had: the stale copy still works.
  const double muchLater = later + 2 * 86400;
  platform::Clock::setNowForTesting([muchLater] { return muchLater; });
  network->behaviour().scriptStatus = 500;
  makeBanner();
  ASSERT_TRUE(loadAndShow());
  EXPECT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), 3u);
  EXPECT_TRUE(events->codes.empty());
}

// A delegate that lets the banner go from inside its handlers.
class ReleasingEvents : public BannerEvents {
 public:
  std::function<void()> release;
  void adViewDidReceiveAd(GADBannerView* view) override {
    BannerEvents::adViewDidReceiveAd(view);
    if (release) release();
  }
  void adViewDidFailToReceiveAdWithError(GADBannerView* view, const GADRequestError& error) override {
    BannerEvents::adViewDidFailToReceiveAdWithError(view, error);
    if (release) release();
  }
};

TEST_F(GADObjectPrivateTest, ADelegateThatLetsTheBannerGoInsideItsHandlerBreaksNothing) {
  auto releasing = std::make_shared<ReleasingEvents>();
  releasing->release = [&] { banner.reset(); };
  for (const bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "the ad's page fails" : "the ad's page loads");
    makeBanner();
    banner->setDelegate(releasing);
    banner->loadRequest(GADRequest::request());
    answerWithAdURL();
    ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; }));
    // The page's own end, through the banner's web view delegate.
    HeadlessWebViewPeer& page = adPage();
    std::shared_ptr<platform::View> keep = loader()->webView()->shared_from_this();
    if (fails) {
      page.fail(platform::Error{"test", 1, "gone"});
    } else {
      page.finish();
    }
    EXPECT_EQ(banner, nullptr);
    platform::RunLoop::main().runFor(0.1);
  }
  EXPECT_EQ(releasing->calls, (std::vector<std::string>{"didReceive", "didFail"}));
}

TEST_F(GADObjectPrivateTest, EachAttemptEndsOnceAndOnlyItsOwnPageEndsIt) {
  manualTime();
  // The deadline while the ad renders: the page it stops reports its
  // cancelled load, which is no second outcome.
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; }));
  advance(GADObjectPrivate::kAttemptTimeoutSeconds);
  adPage().fail(platform::Error{"WebKitNetworkError", 302, "Load request cancelled"});
  EXPECT_EQ(events->codes, std::vector<long>{kGADErrorTimeout});
  EXPECT_GT(loader()->scheduledReloadSeconds(), 0) << "the next attempt is due";

  // A refresh: the old ad's page fails late while the new attempt runs,
  // which goes on to show its ad.
  makeBanner();
  ASSERT_TRUE(loadAndShow());
  advance(loader()->scheduledReloadSeconds());
  ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateBuildingAdURL; }));
  adPage().fail(platform::Error{"test", 1, "a late failure of the old page"});
  EXPECT_EQ(loader()->state(), kGADObjectStateBuildingAdURL);
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(events->received, 2);
  EXPECT_TRUE(events->codes.empty());
}

TEST_F(GADObjectPrivateTest, AnAttemptWithNoAnswerTimesOutWithCodeFive) {
  manualTime();
  // The build-ad page never answers.
  banner->loadRequest(GADRequest::request());
  buildPageParameters();
  advance(GADObjectPrivate::kAttemptTimeoutSeconds);
  EXPECT_EQ(failureCode(), kGADErrorTimeout);
  EXPECT_TRUE(logged("<Rezido> The ad request timed out."));
  EXPECT_EQ(loader()->buildAdWebView(), nullptr);

  // The ad server never answers.
  makeBanner();
  network->behaviour().adDelaySeconds = 600;
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(runUntil([&] { return network->adRequests().size() == 1; }));
  advance(GADObjectPrivate::kAttemptTimeoutSeconds);
  EXPECT_EQ(failureCode(), kGADErrorTimeout);
  EXPECT_EQ(events->codes.size(), 1u);
  EXPECT_EQ(loader()->state(), kGADObjectStateFailed);
  EXPECT_EQ(loader()->adHTMLString(), std::nullopt);
}

TEST_F(GADObjectPrivateTest, AnInterstitialTimeoutHeaderIsStoredAsTheApplicationTimeout) {
  network->behaviour().interstitialTimeout = " 12.5 ";
  ASSERT_TRUE(loadAndShow());
  const platform::Value* stored = platform::UserDefaults::standard().objectForKey("applicationTimeout");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(GADNetworkUtilities::textOfValue(*stored), "12.5");
}

// ---- Teardown in every state

class GADObjectPrivateTeardownTest : public GADObjectPrivateTest {
 protected:
  // The banner goes; afterwards nothing reaches its delegate, the loader is
  // freed and the run loop and the clock go on without it.
  void destroyAndCheck() {
    std::weak_ptr<GADObjectPrivate> weak = loader();
    const int received = events->received;
    const size_t failures = events->codes.size();
    banner.reset();
    EXPECT_TRUE(weak.expired()) << "nothing keeps the loader alive";
    platform::RunLoop::main().runFor(0.2);
    advance(3600);
    EXPECT_EQ(events->received, received);
    EXPECT_EQ(events->codes.size(), failures);
  }
};

TEST_F(GADObjectPrivateTeardownTest, WhileTheScriptLoads) {
  manualTime();
  banner->loadRequest(GADRequest::request());
  ASSERT_EQ(loader()->state(), kGADObjectStateLoadingScript);
  destroyAndCheck();
}

TEST_F(GADObjectPrivateTeardownTest, WhileTheBuildAdPageRuns) {
  manualTime();
  banner->loadRequest(GADRequest::request());
  buildPageParameters();
  auto page = loader()->buildAdWebView()->shared_from_this();
  destroyAndCheck();
  // A late answer of the page finds no one.
  HeadlessWebViewPeer::of(*std::static_pointer_cast<platform::WebView>(page))
      ->decide(URLRequest(*URL::create("gmsg://zovo/loadAdURL?url=" +
                                       GADNetworkUtilities::encodeURL(network->url("/zovo/ads/ad")))),
               NavigationType::Other);
  platform::RunLoop::main().runFor(0.1);
  EXPECT_TRUE(network->adRequests().empty());
}

TEST_F(GADObjectPrivateTeardownTest, WhileTheAdHTMLLoads) {
  manualTime();
  network->behaviour().adDelaySeconds = 0.3;
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(runUntil([&] { return !network->adRequests().empty(); }));
  ASSERT_EQ(loader()->state(), kGADObjectStateLoadingAdHTML);
  destroyAndCheck();
  platform::RunLoop::main().runFor(0.4);
}

TEST_F(GADObjectPrivateTeardownTest, WhileTheAdRenders) {
  manualTime();
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; }));
  auto page = std::static_pointer_cast<platform::WebView>(loader()->webView()->shared_from_this());
  destroyAndCheck();
  // The page finishing late calls no delegate.
  HeadlessWebViewPeer::of(*page)->finish();
  EXPECT_EQ(events->received, 0);
}

TEST_F(GADObjectPrivateTeardownTest, WhileShownWithARefreshPending) {
  manualTime();
  ASSERT_TRUE(loadAndShow());
  ASSERT_TRUE(loader()->hasReloadTimer());
  destroyAndCheck();
  EXPECT_EQ(network->adRequests().size(), 1u);
}

TEST_F(GADObjectPrivateTeardownTest, WithATrackerInFlight) {
  manualTime();
  network->behaviour().trackingDelaySeconds = 0.3;
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  ASSERT_FALSE(loader()->pendingTrackers().empty());
  destroyAndCheck();
  platform::RunLoop::main().runFor(0.4);
}

}  // namespace

namespace {

// A click on the ad still shown after a refresh failed is that ad's click:
// its web application and its click tracking, as its own response said.
TEST_F(GADObjectPrivateTest, AClickAfterAFailedRefreshIsTheShownAdsClick) {
  manualTime();
  network->behaviour().clickTracking = true;
  ASSERT_TRUE(loadAndShow());
  network->behaviour().adStatus = 500;
  advance(loader()->scheduledReloadSeconds());
  answerWithAdURL();
  EXPECT_EQ(failureCode(), kGADErrorServerError);
  EXPECT_TRUE(loader()->hasVisibleAd());
  const size_t clicks = network->requestCount("/zovo/clk");
  EXPECT_FALSE(*adPage().decideByUser(URLRequest(*URL::create(network->url("/landing?ad=1")))));
  auto* webApp = dynamic_cast<GADWebAppViewController*>(root->modalViewController());
  ASSERT_NE(webApp, nullptr) << "the web application, as the shown ad's response named click tracking";
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/zovo/clk") == clicks + 1; }));
  webApp->relinquishScreen();
  platform::RunLoop::main().drain();
}

// The operating system's version is the kernel's: whatever the
// distribution calls its release, ads load; a kernel older than the
// minimum is refused with code 4; one that cannot be read refuses nothing.
TEST_F(GADObjectPrivateTest, TheMinimumOSIsTheKernelsVersionNotTheDistributions) {
  auto device = std::make_shared<FakeDevice>();
  platform::Device::setCurrentForTesting(device);
  const struct {
    const char* distribution;
    const char* kernel;
    bool loads;
  } cases[] = {
      {"2", "6.1.0", true}, {"v23.12", "6.1.0", true}, {"12", "3.0", true},   {"12", "", true},
      {"12", "2.6.32", false}, {"12", "x", true},     {"rolling", "3.10", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.distribution) + " on " + c.kernel);
    device->version = c.distribution;
    device->kernel = c.kernel;
    events->codes.clear();
    loader()->cancelPendingActions();
    loader()->changeState(kGADObjectStateFailed);
    banner->loadRequest(GADRequest::request());
    if (c.loads) {
      EXPECT_TRUE(loader()->isMakingRequest());
      EXPECT_TRUE(events->codes.empty());
    } else {
      EXPECT_FALSE(loader()->isMakingRequest());
      EXPECT_EQ(events->codes, std::vector<long>{kGADErrorOSVersionTooLow});
    }
  }
  platform::Device::setCurrentForTesting(nullptr);
}

// A page process that ends under the banner ends the attempt it belongs to
// with one network error, if it has not ended yet; a shown ad's attempt has
// had its outcome, and nothing more is reported. Either way the banner is
// blank, and the next attempt comes within seconds, backing off while
// processes keep ending, until an ad lives to its refresh.
TEST_F(GADObjectPrivateTest, APageProcessThatEndsFailsItsAttemptOnceAndTheNextAdShows) {
  manualTime();
  // Shown: the ad has gone with its process.
  ASSERT_TRUE(loadAndShow());
  adPage().endProcess(platform::WebProcessTermination::Crashed);
  EXPECT_TRUE(events->codes.empty()) << "its attempt reported success already";
  EXPECT_EQ(events->received, 1);
  EXPECT_TRUE(loader()->webView()->isHidden()) << "nothing broken is shown";
  EXPECT_FALSE(loader()->hasVisibleAd());
  EXPECT_EQ(loader()->scheduledReloadSeconds(), GADObjectPrivate::kProcessEndRetrySeconds);
  adPage().endProcess(platform::WebProcessTermination::Crashed);
  EXPECT_TRUE(events->codes.empty());
  advance(loader()->scheduledReloadSeconds());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_FALSE(loader()->webView()->isHidden());
  // Ending again at once: twice as long before the next.
  adPage().endProcess(platform::WebProcessTermination::Crashed);
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 2 * GADObjectPrivate::kProcessEndRetrySeconds);
  advance(loader()->scheduledReloadSeconds());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());

  // Rendering: the page that was to show the ad is gone.
  events->codes.clear();
  advance(loader()->scheduledReloadSeconds());
  answerWithAdURL();
  ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; }));
  adPage().endProcess(platform::WebProcessTermination::ExceededMemoryLimit);
  EXPECT_EQ(events->codes, std::vector<long>{kGADErrorNetworkError});
  EXPECT_EQ(loader()->state(), kGADObjectStateFailed);
  EXPECT_EQ(loader()->scheduledReloadSeconds(), GADObjectPrivate::kProcessEndRetrySeconds)
      << "the last ad lived to its refresh: soon again, whatever backoff the failure brings";
  adPage().fail(platform::Error{"WebKitNetworkError", 302, "Load request cancelled"});
  EXPECT_EQ(events->codes.size(), 1u) << "the cancelled load is no second outcome";

  // Building the ad URL: the build-ad page's process ends.
  events->codes.clear();
  advance(loader()->scheduledReloadSeconds());
  buildPageParameters();
  HeadlessWebViewPeer::of(*loader()->buildAdWebView())->endProcess(platform::WebProcessTermination::Crashed);
  EXPECT_EQ(events->codes, std::vector<long>{kGADErrorNetworkError});
  EXPECT_EQ(loader()->buildAdWebView(), nullptr);
  advance(GADObjectPrivate::kAttemptTimeoutSeconds);
  EXPECT_EQ(events->codes.size(), 1u) << "no deadline after the end";
}

// A shown ad whose page stops answering has its process ended by the
// banner, and the next ad comes soon.
TEST_F(GADObjectPrivateTest, AShownAdThatStopsAnsweringIsEndedAndReplaced) {
  ASSERT_TRUE(loadAndShow());
  adPage().setHung(true);
  ASSERT_TRUE(runUntil([&] { return adPage().terminations() > 0; },
                       GADObjectPrivate::kResponsivenessProbeSeconds + GADObjectPrivate::kResponsivenessDeadlineSeconds +
                           2));
  EXPECT_EQ(adPage().terminations(), 1);
  EXPECT_TRUE(events->codes.empty()) << "the shown ad's attempt had its outcome";
  EXPECT_EQ(loader()->scheduledReloadSeconds(), GADObjectPrivate::kProcessEndRetrySeconds);
  EXPECT_TRUE(logged("<Rezido> A page stopped answering; its process is ended."));
}

}  // namespace

namespace {

// Loads again from inside its failure handler, as an application may.
class ReloadingEvents : public BannerEvents {
 public:
  GADBannerView* banner = nullptr;
  void adViewDidFailToReceiveAdWithError(GADBannerView* view, const GADRequestError& error) override {
    BannerEvents::adViewDidFailToReceiveAdWithError(view, error);
    if (banner) banner->loadRequest(GADRequest::request());
    banner = nullptr;
  }
};

// Once the build-ad page has answered it is heard no more and loads
// nothing; it is emptied when the attempt ends, not while the ad loads in
// the same web process: after the ad shows, and after a failure.
TEST_F(GADObjectPrivateTest, TheAnsweredBuildAdPageIsSilencedAndEmptiedWhenTheAttemptEnds) {
  for (const bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "failed attempt" : "shown ad");
    network->behaviour().adStatus = fails ? 500 : 200;
    const size_t asked = network->adRequests().size();
    banner->loadRequest(GADRequest::request());
    buildPageParameters();
    platform::WebView* page = loader()->buildAdWebView();
    ASSERT_NE(page, nullptr);
    auto* peer = HeadlessWebViewPeer::of(*page);
    answerWithAdURL();
    ASSERT_TRUE(runUntil([&] { return loader()->state() != kGADObjectStateBuildingAdURL; }));
    const size_t loads = peer->loads().size();
    EXPECT_EQ(peer->decide(URLRequest(*URL::create(network->url("/elsewhere"))), NavigationType::Other), false)
        << "an answered page goes nowhere";
    const std::string again = network->url("/zovo/ads/ad?again=1");
    EXPECT_EQ(peer->decide(URLRequest(*URL::create("gmsg://zovo/loadAdURL?url=" + GADNetworkUtilities::encodeURL(again))),
                           NavigationType::Other),
              false);
    if (fails) {
      ASSERT_TRUE(runUntil([&] { return !events->codes.empty(); }));
    } else {
      ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; }));
      EXPECT_EQ(peer->loads().size(), loads) << "not emptied while the ad loads";
      adPage().finish();
      ASSERT_EQ(loader()->state(), kGADObjectStateAdShown);
    }
    ASSERT_EQ(peer->loads().size(), loads + 1);
    EXPECT_EQ(peer->loads().back().html, "") << "emptied once the attempt is over";
    platform::RunLoop::main().runFor(0.1);
    EXPECT_EQ(network->adRequests().size(), asked + 1) << "the second answer was not heard";
    for (const auto& request : network->adRequests()) EXPECT_EQ(request.parameters.count("again"), 0u);
    events->codes.clear();
    loader()->cancelPendingActions();
  }
}

// The build-ad page's web view is kept for the next attempt, emptied after
// each; what the last page sent that is still on its way reaches no later
// attempt, even one started at once from the failure handler.
TEST_F(GADObjectPrivateTest, TheBuildAdWebViewIsKeptAndNothingOfItsLastPageReachesTheNextAttempt) {
  auto reloading = std::make_shared<ReloadingEvents>();
  reloading->banner = banner.get();
  banner->setDelegate(reloading);
  banner->loadRequest(GADRequest::request());
  buildPageParameters();
  platform::WebView* page = loader()->buildAdWebView();
  ASSERT_NE(page, nullptr);
  // Two answers at once: the first fails the attempt, whose handler starts
  // the next; the second, an ad URL, belongs to the page that has gone.
  pageSends("gmsg://zovo/unableToServe?reason=none");
  pageSends("gmsg://zovo/loadAdURL?url=" + GADNetworkUtilities::encodeURL(network->url("/zovo/ads/ad?stale=1")));
  ASSERT_TRUE(runUntil([&] { return !reloading->codes.empty(); }));
  platform::RunLoop::main().runFor(0.2);
  EXPECT_EQ(loader()->state(), kGADObjectStateBuildingAdURL) << "the next attempt waits for its own page";
  EXPECT_TRUE(network->adRequests().empty()) << "the stale answer was not heard";
  EXPECT_EQ(loader()->buildAdWebView(), page) << "the same web view, warm";
  const auto& loads = HeadlessWebViewPeer::of(*page)->loads();
  ASSERT_GE(loads.size(), 3u);
  EXPECT_EQ(loads[loads.size() - 2].html, "") << "emptied between the pages";
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(network->adRequests().size(), 1u);
  EXPECT_EQ(network->adRequests().back().parameters.count("stale"), 0u);
}

// ---- Heavy ads: the banner holds each ad it shows to the guard's bounds.

class GADObjectPrivateHeavyAdTest : public GADObjectPrivateTest {
 protected:
  void SetUp() override {
    GADObjectPrivateTest::SetUp();
    monitor = &FakePageResourceMonitor::install();
  }
  int unloadLines() const {
    return static_cast<int>(std::count_if(logLines().begin(), logLines().end(), [](const std::string& line) {
      return line.find("Unloaded a heavy ad") != std::string::npos;
    }));
  }
  FakePageResourceMonitor* monitor = nullptr;
};

TEST_F(GADObjectPrivateHeavyAdTest, AnAdPastABoundIsUnloadedLoggedOnceAndTheNextIsAskedForAtOnce) {
  ASSERT_TRUE(loadAndShow());
  manualTime();
  ASSERT_EQ(loader()->scheduledReloadSeconds(), 30);
  const size_t loads = adPage().loads().size();
  monitor->cpuSeconds += GADHeavyAdGuard::kMaximumCPUSecondsInWindow + 1;
  advance(GADHeavyAdGuard::kSampleSeconds);
  EXPECT_EQ(loader()->heavyAdUnloadCount(), 1);
  EXPECT_TRUE(loader()->webView()->isHidden()) << "nothing of it is shown";
  EXPECT_FALSE(loader()->hasVisibleAd());
  ASSERT_EQ(adPage().loads().size(), loads + 1);
  EXPECT_EQ(adPage().loads().back().html, "") << "its page is emptied";
  EXPECT_EQ(unloadLines(), 1);
  EXPECT_TRUE(events->codes.empty()) << "no failure of the attempt that showed it";
  // The next ad, now: not a refresh interval later.
  EXPECT_TRUE(loader()->isMakingRequest());
  EXPECT_FALSE(loader()->hasReloadTimer());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(network->adRequests().size(), 2u);
  EXPECT_FALSE(loader()->webView()->isHidden());
  // The new ad is its own: the last one's CPU is not charged to it.
  monitor->cpuSeconds += 5;
  advance(GADHeavyAdGuard::kSampleSeconds * 5);
  EXPECT_EQ(loader()->heavyAdUnloadCount(), 1);
  EXPECT_EQ(unloadLines(), 1);
}

TEST_F(GADObjectPrivateHeavyAdTest, AnAdThatReceivedTooMuchIsUnloaded) {
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; }));
  // What its images brought while it rendered counts.
  monitor->networkBytes[loader()->webView()] += GADHeavyAdGuard::kMaximumNetworkBytes + 1;
  adPage().finish();
  ASSERT_EQ(loader()->state(), kGADObjectStateAdShown);
  manualTime();
  advance(GADHeavyAdGuard::kSampleSeconds);
  EXPECT_EQ(loader()->heavyAdUnloadCount(), 1);
  EXPECT_TRUE(loader()->webView()->isHidden());
}

TEST_F(GADObjectPrivateHeavyAdTest, AnAdTheUserClickedIsHeldToNoBound) {
  ASSERT_TRUE(loadAndShow());
  manualTime();
  EXPECT_EQ(adPage().decideByUser(URLRequest(*URL::create(network->url("/zovo/aclk?ad=0")))), false);
  monitor->cpuSeconds += 100;
  monitor->networkBytes[loader()->webView()] += 100 * GADHeavyAdGuard::kMaximumNetworkBytes;
  advance(GADHeavyAdGuard::kSampleSeconds * 3);
  EXPECT_EQ(loader()->heavyAdUnloadCount(), 0);
  EXPECT_FALSE(loader()->webView()->isHidden());
  EXPECT_TRUE(loader()->heavyAdGuard()->isExempt());
}

TEST_F(GADObjectPrivateHeavyAdTest, AnAdWhoseProcessEndedIsNotUnloadedAgain) {
  ASSERT_TRUE(loadAndShow());
  manualTime();
  adPage().endProcess(platform::WebProcessTermination::ExceededMemoryLimit);
  EXPECT_TRUE(events->codes.empty()) << "the shown ad's attempt had its outcome";
  EXPECT_TRUE(loader()->hasReloadTimer()) << "the next ad comes on the schedule";
  monitor->cpuSeconds += 100;
  advance(GADHeavyAdGuard::kSampleSeconds * 3);
  EXPECT_EQ(loader()->heavyAdUnloadCount(), 0);
  EXPECT_TRUE(events->codes.empty());
}

// A refresh already on its way when the shown ad passes a bound brings the
// next ad: no second attempt is started.
TEST_F(GADObjectPrivateHeavyAdTest, AnAdPassingABoundDuringARefreshLeavesTheRefreshToBringTheNext) {
  ASSERT_TRUE(loadAndShow());
  manualTime();
  advance(loader()->scheduledReloadSeconds());
  buildPageParameters();
  ASSERT_EQ(loader()->state(), kGADObjectStateBuildingAdURL);
  monitor->cpuSeconds += 61;
  advance(GADHeavyAdGuard::kSampleSeconds);
  EXPECT_EQ(loader()->heavyAdUnloadCount(), 1);
  EXPECT_TRUE(loader()->webView()->isHidden());
  EXPECT_EQ(loader()->state(), kGADObjectStateBuildingAdURL) << "the same attempt goes on";
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(network->adRequests().size(), 2u);
}

}  // namespace

namespace {

// The preferences are written when something in them changed: an attempt
// whose core script is still fresh writes nothing, one that revalidates it
// writes its expiry once.
TEST_F(GADObjectPrivateTest, AnAttemptWritesThePreferencesAtMostOnce) {
  const auto folder = caches / "preferences";
  auto defaults = std::make_shared<platform::UserDefaults>(folder / "preferences.plist");
  platform::UserDefaults::setStandardForTesting(defaults);
  manualTime();
  ASSERT_TRUE(loadAndShow());  // the script is fetched: its expiry is written
  EXPECT_EQ(defaults->saveCount(), 1);
  advance(loader()->scheduledReloadSeconds());
  answerWithAdURL();
  ASSERT_TRUE(adRendered());
  EXPECT_EQ(defaults->saveCount(), 1) << "a fresh script: nothing to write";
  platform::UserDefaults::setStandardForTesting(nullptr);
}

// The next attempt is armed when an attempt ends, never when its HTML is
// handed over: a refresh that fell due while the ad still rendered was
// refused and lost for good.
TEST_F(GADObjectPrivateTest, ARefreshDueWhileTheAdRendersIsArmedWhenItShows) {
  manualTime();
  network->behaviour().refreshRate = "15";
  banner->loadRequest(GADRequest::request());
  answerWithAdURL();
  ASSERT_TRUE(runUntil([&] { return loader()->state() == kGADObjectStateRenderingAd; }));
  EXPECT_FALSE(loader()->hasReloadTimer()) << "nothing armed while the attempt runs";
  advance(16);  // still inside the attempt's deadline
  adPage().finish();
  ASSERT_EQ(loader()->state(), kGADObjectStateAdShown);
  EXPECT_EQ(loader()->scheduledReloadSeconds(), 15);
  advance(15);
  EXPECT_TRUE(loader()->isMakingRequest());
}

// Whatever arms the timer while an ad screen is up (a return from
// minimised, an attempt ending), no request is made under the screen; the
// refresh comes once the screen has gone.
TEST_F(GADObjectPrivateTest, NoRefreshUnderAnAdScreenWhateverArmsTheTimer) {
  auto& app = platform::Application::shared();
  app.setFocused(true);
  app.finishLaunching();
  manualTime();
  ASSERT_TRUE(loadAndShow());
  auto screen = GADViewController::create<GADBrowserController>();
  screen->presentFromViewController(root.get());
  app.setMinimized(true);
  app.setMinimized(false);
  advance(3 * 30);
  EXPECT_FALSE(loader()->isMakingRequest());
  EXPECT_EQ(network->adRequests().size(), 1u);
  screen->relinquishScreen();
  platform::RunLoop::main().drain();
  EXPECT_GT(loader()->scheduledReloadSeconds(), 0);
  advance(loader()->scheduledReloadSeconds());
  EXPECT_TRUE(loader()->isMakingRequest());
}

// The loader's schedule against random sequences of what happens to a
// banner: time passing, the window minimised and restored, ad screens up
// and down, the network going and coming back, the core script's page
// answering or not, the ad rendering, failing or losing its process, the
// ad server failing. After every step:
// - each attempt has had at most one outcome, and exactly one once it is over;
// - no attempt starts while the window is unseen or a screen covers the banner;
// - while the banner is seen and uncovered, with no attempt running and an
//   interval named, the next attempt is armed.
TEST_F(GADObjectPrivateTest, TheScheduleHoldsUnderRandomSequencesOfEvents) {
  auto& app = platform::Application::shared();
  app.setFocused(true);
  app.finishLaunching();
  manualTime();
  // The shortest refresh, inside an attempt's deadline: a refresh can fall
  // due while the ad still renders.
  network->behaviour().refreshRate = "15";
  auto& statistics = GADStatistics::sharedStatistics();
  auto& checker = GADNetworkChecker::sharedChecker();
  std::mt19937 random(20261208);
  const std::int64_t firstCount = statistics.adRequestCount();
  std::shared_ptr<GADBrowserController> screen;
  bool minimized = false;
  banner->loadRequest(GADRequest::request());
  for (int step = 0; step < 600; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const bool coveredBefore = minimized || screen;
    const std::int64_t attemptsBefore = statistics.adRequestCount();
    const unsigned event = random() % 20;
    switch (event) {
      case 8:
        minimized = !minimized;
        app.setMinimized(minimized);
        break;
      case 9:
        if (screen) {
          screen->relinquishScreen();
          screen.reset();
        } else {
          screen = GADViewController::create<GADBrowserController>();
          screen->presentFromViewController(root.get());
        }
        break;
      case 10:
        checker.setNetworkTypeFromFlags(random() % 2 ? platform::Reachability::kFlagReachable : 0);
        break;
      case 11:
        network->behaviour().adStatus = random() % 4 ? 200 : 500;
        break;
      case 6:
      case 7:
      case 12:
      case 13:
      case 14:
        // The core script's page answers (or, left alone, meets the deadline).
        if (loader()->buildAdWebView()) answerWithAdURL();
        break;
      case 15:
      case 16:
      case 17:
        if (loader()->state() == kGADObjectStateRenderingAd) {
          switch (random() % 6) {
            case 0: adPage().fail(platform::Error{"WebKitNetworkError", 1, "failed"}); break;
            case 1: adPage().endProcess(platform::WebProcessTermination::Crashed); break;
            default: adPage().finish(); break;
          }
        }
        break;
      case 18:
        if (loader()->hasVisibleAd()) adPage().endProcess(platform::WebProcessTermination::ExceededMemoryLimit);
        break;
      default:
        // Mostly moments; now and then past a refresh or a deadline.
        advance(static_cast<double>(random() % 4 ? random() % 5 : 20 + random() % 25));
        break;
    }
    // What the loop has to do now (fetches from the sandbox) is done.
    platform::RunLoop::main().runFor(0.015);
    const std::int64_t attempts = statistics.adRequestCount() - firstCount;
    const auto outcomes = static_cast<std::int64_t>(events->received + events->codes.size());
    ASSERT_LE(outcomes, attempts) << "an attempt with two outcomes";
    if (!loader()->isMakingRequest()) {
      ASSERT_EQ(outcomes, attempts) << "an attempt that never ended";
    }
    const bool covered = minimized || screen;
    if (coveredBefore && covered) {
      ASSERT_EQ(statistics.adRequestCount(), attemptsBefore) << "an attempt under a screen or unseen";
    }
    if (!covered && !loader()->isMakingRequest() && loader()->reloadSeconds() > 0) {
      ASSERT_TRUE(loader()->hasReloadTimer()) << "the schedule was lost";
    }
  }
  if (screen) screen->relinquishScreen();
  EXPECT_GE(events->received, 1) << "an ad was shown on the way";
}

}  // namespace

