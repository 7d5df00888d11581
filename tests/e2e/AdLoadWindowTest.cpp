// A banner in a real GTK window (run under xvfb-run) with real WebKit,
// loading from the sandbox ad network on loopback: the core script runs in
// its hidden page, the ad is fetched, shown, tracked and refreshed.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADRequestError.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADRequest.h"
#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "tests/e2e/PageScript.h"
#include "tests/e2e/RealInput.h"
#include "tests/content/RecordingOpener.h"
#include "tests/support/AdObjects.h"
#include "tests/support/BannerEvents.h"
#include "tests/support/WorkerFolders.h"

using platform::RunLoop;

namespace {

class AdLoadWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AdObjects::resetForTesting();
    caches = std::filesystem::temp_directory_path() / ("ad-load-window-test-" + std::to_string(getpid()));
    removeFolderAfterWorkers(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    network = std::make_unique<adnet::AdNetwork>();
    GADEndpoints::setForTesting(
        GADEndpoints::Overrides{network->staticContentHost(), network->adServerBaseURL(), "127.0.0.1"});

    screen = std::make_shared<platform::ViewController>();
    root = platform::View::create(platform::Rect(0, 0, 320, 100));
    window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_child(window, static_cast<GtkWidget*>(root->peer()->toolkitHandle()));
    gtk_window_present(window);
    banner = GADBannerView::create(platform::Rect(0, 50, 320, 50));
    banner->setAdUnitID("a1b2c3d4e5f6071");
    banner->setRootViewController(screen.get());
    banner->setDelegate(events);
    root->addSubview(banner);
  }
  void TearDown() override {
    RunLoop::main().useRealTimeForTesting();
    platform::Application::shared().setOpenURLForTesting({});
    platform::Application::shared().setCanOpenURLForTesting({});
    banner->removeFromSuperview();
    banner.reset();
    gtk_window_set_child(window, nullptr);
    root.reset();
    gtk_window_destroy(window);
    network.reset();
    AdObjects::resetForTesting();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
  }
  bool runUntil(const std::function<bool()>& condition, double seconds = 20) {
    return RunLoop::main().runUntil(condition, seconds);
  }
  std::optional<std::string> evaluate(platform::WebView& view, const std::string& script) {
    return PageScript::evaluate(view, script);
  }
  std::string parameter(size_t request, const std::string& key) const {
    const auto& p = network->adRequests().at(request).parameters;
    auto found = p.find(key);
    return found == p.end() ? "(none)" : found->second;
  }
  platform::WebView& adWebView() { return *banner->privateObject()->webView(); }
  void showAd() {
    banner->loadRequest(GADRequest::request());
    ASSERT_TRUE(runUntil([&] { return events->received == 1; }));
  }
  // A user's click on the creative's link.
  // A user's click: a real pointer event on the ad's link.
  void clickTheAd() { EXPECT_TRUE(RealInput::clickElement(adWebView(), "ad")); }

  std::filesystem::path caches;
  std::unique_ptr<adnet::AdNetwork> network;
  std::shared_ptr<platform::ViewController> screen;
  std::shared_ptr<platform::View> root;
  GtkWindow* window = nullptr;
  std::shared_ptr<GADBannerView> banner;
  std::shared_ptr<BannerEvents> events = std::make_shared<BannerEvents>();
};

TEST_F(AdLoadWindowTest, AnAdFromTheSandboxIsShownOnceTrackedOnceWithTheRequestItNeeds) {
  banner->loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return events->received > 0 || !events->codes.empty(); }));
  ASSERT_EQ(events->received, 1) << "failed with code " << (events->codes.empty() ? -1 : events->codes[0]);
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/zovo/imp") >= 1; }));
  RunLoop::main().runFor(0.3);
  EXPECT_EQ(events->received, 1);
  EXPECT_TRUE(events->codes.empty());
  EXPECT_EQ(network->requestCount("/zovo/imp"), 1u);
  EXPECT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), 1u);

  // What the core script made of the parameters it was given.
  ASSERT_EQ(network->adRequests().size(), 1u);
  EXPECT_EQ(parameter(0, "slotname"), "a1b2c3d4e5f6071");
  EXPECT_EQ(parameter(0, "ad_frame"), R"({"x":0,"y":50,"w":320,"h":50})");
  EXPECT_NE(parameter(0, "js"), "(none)");
  EXPECT_NE(parameter(0, "preqs"), "(none)");
  for (const char* device : {"isu", "app_name", "platform", "u_sd", "u_w", "u_h"})
    EXPECT_NE(parameter(0, device), "(none)") << device << ", one of the device keys";
  EXPECT_EQ(parameter(0, "isu"), std::string(32, '0')) << "no identifier before the user allows one";
  const auto& record = network->adRequests()[0];
  ASSERT_TRUE(record.signal.has_value()) << "the signal entry on the ad URL";
  EXPECT_NE(record.signal->find("kind="), std::string::npos);

  // The request names the web view's own User-Agent.
  const auto agent = evaluate(adWebView(), "navigator.userAgent");
  ASSERT_TRUE(agent.has_value());
  ASSERT_TRUE(record.userAgent.has_value());
  EXPECT_EQ(*record.userAgent, *agent);

  // The creative is on screen in the banner's web view.
  EXPECT_FALSE(adWebView().isHidden());
  EXPECT_EQ(evaluate(adWebView(), "document.getElementById('ad').textContent.indexOf('Rubber Duck') >= 0"), "true");
  EXPECT_EQ(evaluate(adWebView(), "window.orientation"), "0");
}

TEST_F(AdLoadWindowTest, TheRefreshShowsTheNextAdAndPausesInTheBackground) {
  network->behaviour().refreshRate = "20";
  banner->loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return events->received == 1; }));
  RunLoop::main().useManualTimeForTesting();
  auto loader = banner->privateObject();
  EXPECT_EQ(loader->scheduledReloadSeconds(), 20);
  RunLoop::main().advanceForTesting(20);
  ASSERT_TRUE(runUntil([&] { return events->received == 2; }));
  EXPECT_TRUE(banner->hasAutoRefreshed());
  ASSERT_EQ(network->adRequests().size(), 2u);
  // The request counter is kept across runs: one higher than the last.
  const int first = std::stoi(parameter(0, "preqs"));
  EXPECT_EQ(parameter(1, "preqs"), std::to_string(first + 1));
  EXPECT_NE(parameter(1, "prl"), "(none)");
  EXPECT_NE(parameter(1, "ptime"), "(none)");
  EXPECT_EQ(network->requestCount("/zovo/sdk-core-v40.js"), 1u);
  EXPECT_EQ(evaluate(adWebView(), "document.getElementById('ad').textContent.indexOf('Whoopee') >= 0"), "true");

  // In the background nothing refreshes; back in front, a full interval.
  auto& center = platform::NotificationCenter::defaultCenter();
  RunLoop::main().advanceForTesting(10);
  center.post(platform::kApplicationDidEnterBackgroundNotification, &platform::Application::shared());
  RunLoop::main().advanceForTesting(120);
  RunLoop::main().runFor(0.2);
  EXPECT_EQ(network->adRequests().size(), 2u);
  center.post(platform::kApplicationWillEnterForegroundNotification, &platform::Application::shared());
  RunLoop::main().advanceForTesting(19);
  RunLoop::main().runFor(0.2);
  EXPECT_EQ(network->adRequests().size(), 2u);
  RunLoop::main().advanceForTesting(1);
  ASSERT_TRUE(runUntil([&] { return events->received == 3; }));
  EXPECT_EQ(parameter(2, "preqs"), std::to_string(first + 2));
}

TEST_F(AdLoadWindowTest, AClickOnTheShownAdIsTrackedOnceCountedAndOpensTheWebApplication) {
  network->behaviour().clickTracking = true;
  showAd();
  auto opener = std::make_shared<RecordingOpener>();
  banner->privateObject()->webViewDelegate()->setOpenerForTesting(opener);
  clickTheAd();
  ASSERT_TRUE(runUntil([&] { return !opener->calls.empty(); }));
  // With click-tracking URLs the ad opens as a web application.
  EXPECT_EQ(opener->calls[0].rfind("webapp " + network->url("/zovo/aclk?ad=0"), 0), 0u) << opener->calls[0];
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/zovo/clk") == 1; }));
  RunLoop::main().runFor(0.3);
  EXPECT_EQ(network->requestCount("/zovo/clk"), 1u) << "each click-tracking URL once";
  EXPECT_EQ(opener->calls.size(), 1u);

  RunLoop::main().useManualTimeForTesting();
  RunLoop::main().advanceForTesting(banner->privateObject()->scheduledReloadSeconds());
  ASSERT_TRUE(runUntil([&] { return events->received == 2; }));
  ASSERT_EQ(network->adRequests().size(), 2u);
  EXPECT_EQ(parameter(1, "pcc"), "1") << "the click counts in the next request; the first had "
                                      << parameter(0, "pcc") << ", frames " << parameter(0, "ad_frame") << " "
                                      << parameter(1, "ad_frame");
}

// A link follows the button's release: a click held down longer than a
// gesture lasts is still the user's.
TEST_F(AdLoadWindowTest, AClickHeldDownLongerThanAGestureLastsStillOpensTheAd) {
  showAd();
  auto opener = std::make_shared<RecordingOpener>();
  banner->privateObject()->webViewDelegate()->setOpenerForTesting(opener);
  EXPECT_TRUE(RealInput::clickElement(adWebView(), "ad", GADContentPolicy::kUserGestureSeconds + 0.5));
  ASSERT_TRUE(runUntil([&] { return !opener->calls.empty(); })) << "the click was refused as no user's";
  EXPECT_EQ(opener->calls.size(), 1u);
}

TEST_F(AdLoadWindowTest, ATelLinkIsHandedOnOnceTheTrackingInFlightHasEndedWithWillLeaveJustBefore) {
  // The page tracks, then asks for the dialler; the tracking takes 0.5 s,
  // less than the three deferrals of 0.3 s the opener allows it.
  network->behaviour().trackingDelaySeconds = 0.5;
  const std::string track = GADNetworkUtilities::encodeURL(network->url("/zovo/clk?ad=tel"));
  network->behaviour().adBody =
      "<html><body><a id=\"ad\" href=\"#\" onclick=\"location.href='gmsg://zovo/httpTrack?u=" + track +
      "'; setTimeout(function () { location.href = 'gmsg://zovo/open?a=app&u=tel%3A5550100'; }, 50); return false;\">"
      "Call us</a></body></html>";
  std::vector<std::string> opened;
  bool trackingsAtOpen = true;
  platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
  platform::Application::shared().setOpenURLForTesting([&](const std::string& url) {
    opened.push_back(url);
    trackingsAtOpen = GADClickTracker::activeTrackings();
    events->calls.push_back("openURL");
    return true;
  });
  showAd();
  clickTheAd();
  ASSERT_TRUE(runUntil([&] { return !opened.empty(); }, 10));
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(opened, std::vector<std::string>{"tel:5550100"});
  EXPECT_FALSE(trackingsAtOpen) << "the tracking ended first";
  EXPECT_EQ(network->requestCount("/zovo/clk"), 1u);
  EXPECT_EQ(events->calls, (std::vector<std::string>{"didReceive", "willLeave", "openURL"}));
}

TEST_F(AdLoadWindowTest, TheCoreScriptsRefusalReachesTheDelegateWithItsCode) {
  network->behaviour().scriptAnswer = adnet::AdNetwork::ScriptAnswer::UnableToServe;
  banner->loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return !events->codes.empty(); }));
  EXPECT_EQ(events->codes, std::vector<long>{kGADErrorInvalidRequest});
  EXPECT_TRUE(network->adRequests().empty());
  EXPECT_FALSE(banner->privateObject()->isMakingRequest());
}

TEST_F(AdLoadWindowTest, ABadSlotNameIsRefusedByTheScriptItself) {
  banner->setAdUnitID("not-a-slot");
  banner->loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return !events->codes.empty(); }));
  EXPECT_EQ(events->codes, std::vector<long>{kGADErrorInvalidRequest});
  EXPECT_TRUE(network->adRequests().empty());
}

TEST_F(AdLoadWindowTest, TheBannerGoingWhileTheAdRendersCallsNothingAfterwards) {
  banner->loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return !network->adRequests().empty(); }));
  std::weak_ptr<GADObjectPrivate> loader = banner->privateObject();
  banner->removeFromSuperview();
  banner.reset();
  EXPECT_TRUE(loader.expired());
  RunLoop::main().runFor(1.0);
  EXPECT_EQ(events->received, 0);
  EXPECT_TRUE(events->codes.empty());
  banner = GADBannerView::create(platform::Rect(0, 50, 320, 50));  // for TearDown
}

}  // namespace
