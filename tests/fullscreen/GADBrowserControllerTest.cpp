#include "ads/fullscreen/GADBrowserController.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/fullscreen/GADBrowserWebViewDelegate.h"
#include "ads/fullscreen/GADIntrinsicImages.h"
#include "ads/request/GADStatistics.h"
#include "platform/ActivityIndicator.h"
#include "platform/Application.h"
#include "platform/BarButtonItem.h"
#include "platform/Device.h"
#include "platform/RunLoop.h"
#include "platform/Screen.h"
#include "platform/Toolbar.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessToolbarPeer.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/support/AdsTest.h"
#include "tests/support/BannerEvents.h"
#include "tests/support/FakeDevice.h"

using platform::BarButtonItem;
using platform::HeadlessWebViewPeer;
using platform::NavigationType;
using platform::URL;
using platform::URLRequest;

namespace {

class TurnedScreen : public platform::Screen {
 public:
  platform::InterfaceOrientation orientation = platform::InterfaceOrientation::Portrait;
  platform::InterfaceOrientation statusBarOrientation() const override { return orientation; }
};

class GADBrowserControllerTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    manager->setBannerDelegate(events);
    platform::Application::shared().setOpenURLForTesting([this](const std::string& url) {
      events->calls.push_back("open " + url);
      return true;
    });
    platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
  }
  void TearDown() override {
    platform::Device::setCurrentForTesting(nullptr);
    platform::Screen::setMainForTesting(nullptr);
    platform::Application::shared().setStatusBarHidden(false);
    AdsTest::TearDown();
  }
  // A browser presented over the host, which keeps itself alive.
  std::weak_ptr<GADBrowserController> present(std::optional<URL> url = URL::create("http://example.test/landing"),
                                              std::optional<URL> referrer = std::nullopt) {
    auto browser = GADViewController::create<GADBrowserController>();
    browser->setDelegateManager(manager);
    browser->load(url, referrer);
    browser->presentFromViewController(host.get());
    return browser;
  }
  static HeadlessWebViewPeer& page(GADBrowserController& browser) { return *HeadlessWebViewPeer::of(*browser.webView()); }
  static std::vector<BarButtonItem*> shownItems(GADBrowserController& browser) {
    return static_cast<platform::HeadlessToolbarPeer*>(browser.toolbar()->peer())->items();
  }
  // The labels of the items shown, "-" for flexible space.
  static std::vector<std::string> labels(GADBrowserController& browser) {
    std::vector<std::string> names;
    for (const auto& item : browser.toolbar()->items())
      names.push_back(item->isFlexibleSpace() ? "-" : item->accessibilityLabel());
    return names;
  }
  static BarButtonItem& item(GADBrowserController& browser, size_t index) { return *browser.toolbar()->items()[index]; }
  void endTurn() { platform::RunLoop::main().runFor(0.01); }

  std::shared_ptr<GADDelegateManager> manager = std::make_shared<GADDelegateManager>();
  std::shared_ptr<BannerEvents> events = std::make_shared<BannerEvents>();
  std::shared_ptr<platform::ViewController> host = std::make_shared<platform::ViewController>();
};

TEST_F(GADBrowserControllerTest, AWaitingPageLoadsAtFirstAppearanceWithItsRefererUnderTheToolbar) {
  auto browser = GADViewController::create<GADBrowserController>();
  browser->load(URL::create("http://example.test/landing"), URL::create("http://ads.example.test/ad?x=1"));
  EXPECT_EQ(browser->webView(), nullptr) << "nothing is built before the screen appears";
  browser->setDelegateManager(manager);
  browser->presentFromViewController(host.get());

  ASSERT_NE(browser->webView(), nullptr);
  const auto& loads = page(*browser).loads();
  ASSERT_EQ(loads.size(), 1u);
  ASSERT_TRUE(loads[0].request);
  EXPECT_EQ(loads[0].request->url().absoluteString(), "http://example.test/landing");
  EXPECT_EQ(loads[0].request->valueForHTTPHeaderField("Referer"), "http://ads.example.test/ad?x=1");
  EXPECT_FALSE(browser->vars()->urlToLoad_);
  EXPECT_FALSE(browser->vars()->referringURLToLoad_);

  const platform::Rect bounds = browser->view()->bounds();
  EXPECT_EQ(browser->webView()->frame(), platform::Rect(0, 0, bounds.width(), bounds.height() - 44));
  EXPECT_EQ(browser->toolbar()->frame(), platform::Rect(0, bounds.height() - 44, bounds.width(), 44));
  EXPECT_EQ(browser->view()->subviews().back().get(), browser->toolbar()) << "the toolbar lies above the page";
  EXPECT_EQ(browser->toolbar()->tintColor(), platform::Color::black());
  EXPECT_EQ(browser->webView()->delegate(), static_cast<platform::WebViewDelegate*>(browser->vars()->webViewDelegate_.get()));

  // A second appearance (a nested screen closing) builds nothing again.
  auto* webView = browser->webView();
  browser->viewWillAppear(platform::Animated::No);
  EXPECT_EQ(browser->webView(), webView);
  EXPECT_EQ(browser->view()->subviews().size(), 2u);
  EXPECT_EQ(page(*browser).loads().size(), 1u);
  browser->relinquishScreen();
}

TEST_F(GADBrowserControllerTest, WithoutAReferrerTheRequestCarriesNoRefererAndNoURLLoadsNothing) {
  auto browser = present().lock();
  EXPECT_FALSE(page(*browser).loads().at(0).request->valueForHTTPHeaderField("Referer"));
  browser->load(std::nullopt, URL::create("http://ads.example.test/"));
  EXPECT_EQ(page(*browser).loads().size(), 1u);
  browser->relinquishScreen();
}

TEST_F(GADBrowserControllerTest, TheNineItemsFollowTheLoad) {
  auto browser = present().lock();
  const std::vector<std::string> loading{"Back", "-", "Forward", "-", "Spinner", "-", "View in Browser", "-", "Done"};
  const std::vector<std::string> loaded{"Back", "-", "Forward", "-", "Reload", "-", "View in Browser", "-", "Done"};
  // A load asked for counts as under way before the page reports it.
  EXPECT_EQ(labels(*browser), loading);
  EXPECT_TRUE(browser->vars()->spinner_->isAnimating());
  EXPECT_FALSE(item(*browser, 6).isEnabled());

  page(*browser).start();
  EXPECT_EQ(labels(*browser), loading);
  page(*browser).finish();
  EXPECT_EQ(labels(*browser), loaded);
  EXPECT_FALSE(browser->vars()->spinner_->isAnimating());
  EXPECT_TRUE(item(*browser, 6).isEnabled());
  EXPECT_EQ(shownItems(*browser).size(), 9u) << "the peer got the list too";
  EXPECT_EQ(shownItems(*browser)[4], browser->vars()->reloadButton_.get());

  page(*browser).start();
  EXPECT_EQ(labels(*browser)[4], "Spinner");
  page(*browser).fail(platform::Error{"WebKitNetworkError", 404, "gone", nullptr});
  EXPECT_EQ(labels(*browser), loaded) << "a failure only brings Reload back";
  EXPECT_TRUE(item(*browser, 6).isEnabled());

  // One flexible space stands in four places; widths and kinds as made.
  const auto& items = browser->toolbar()->items();
  EXPECT_EQ(items[1], items[3]);
  EXPECT_EQ(items[3], items[7]);
  for (size_t index : {0u, 2u, 4u, 6u}) EXPECT_EQ(items[index]->width(), 27) << index;
  EXPECT_EQ(items[8]->width(), 0) << "Done keeps its own width";
  EXPECT_EQ(browser->vars()->spinnerContainingButton_->width(), 20);
  EXPECT_EQ(items[0]->image(), GADIntrinsicImages::browserBackButton());
  EXPECT_EQ(items[2]->image(), GADIntrinsicImages::browserForwardButton());
  EXPECT_EQ(items[4]->systemItem(), BarButtonItem::kSystemItemRefresh);
  EXPECT_EQ(items[6]->systemItem(), BarButtonItem::kSystemItemAction);
  EXPECT_EQ(items[8]->systemItem(), BarButtonItem::kSystemItemDone);
  EXPECT_EQ(items[8]->style(), BarButtonItem::kStyleDone);
  for (size_t index : {0u, 2u, 4u, 6u, 8u}) EXPECT_TRUE(items[index]->isAccessibilityElement()) << index;
  EXPECT_FALSE(items[1]->isAccessibilityElement());
  browser->relinquishScreen();
}

// A first page the browser refuses (a scheme it does not show) never
// starts: the toolbar says the load is over, not that it goes on for good.
TEST_F(GADBrowserControllerTest, ARefusedFirstPageLeavesTheToolbarFinished) {
  auto browser = present().lock();
  EXPECT_EQ(labels(*browser)[4], "Spinner");
  EXPECT_EQ(page(*browser).decide(platform::URLRequest(*platform::URL::create("file:///etc/passwd")),
                                  platform::NavigationType::Other),
            false);
  EXPECT_EQ(labels(*browser)[4], "Reload");
  EXPECT_FALSE(browser->vars()->spinner_->isAnimating());
  browser->relinquishScreen();
}

// A step in the page's own history (a "#fragment" link, pushState) loads
// nothing, yet Back is there to take it back.
TEST_F(GADBrowserControllerTest, BackFollowsAHistoryStepThatLoadsNothing) {
  auto browser = present().lock();
  page(*browser).start();
  page(*browser).finish();
  EXPECT_FALSE(item(*browser, 0).isEnabled());
  page(*browser).changeHistory(true, false);
  EXPECT_TRUE(item(*browser, 0).isEnabled());
  EXPECT_FALSE(item(*browser, 2).isEnabled());
  browser->relinquishScreen();
}

TEST_F(GADBrowserControllerTest, BackAndForwardFollowTheHistoryAndReloadAndDoneAct) {
  auto browser = present().lock();
  auto& web = page(*browser);
  web.start();
  web.finish();
  EXPECT_FALSE(item(*browser, 0).isEnabled());
  EXPECT_FALSE(item(*browser, 2).isEnabled());
  browser->back();
  browser->forward();
  EXPECT_EQ(web.backs() + web.forwards(), 0) << "nothing where the history has nothing";

  web.setHistory(true, false);
  web.start();
  web.finish();
  EXPECT_TRUE(item(*browser, 0).isEnabled());
  EXPECT_FALSE(item(*browser, 2).isEnabled());
  item(*browser, 0).press();
  EXPECT_EQ(web.backs(), 1);
  web.setHistory(false, true);
  web.start();
  web.finish();
  item(*browser, 2).press();
  EXPECT_EQ(web.forwards(), 1);
  item(*browser, 4).press();
  EXPECT_EQ(web.reloads(), 1);
  browser->stop();
  EXPECT_EQ(web.stops(), 1);

  events->calls.clear();
  std::weak_ptr<GADBrowserController> weak = browser;
  browser.reset();
  item(*weak.lock(), 8).press();
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willDismiss"}));
  endTurn();
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willDismiss", "didDismiss"}));
  EXPECT_TRUE(weak.expired());
}

TEST_F(GADBrowserControllerTest, TheToolbarIsLowOnAPhoneOnItsSideOnly) {
  auto screen = std::make_shared<TurnedScreen>();
  screen->orientation = platform::InterfaceOrientation::LandscapeLeft;
  auto device = std::make_shared<FakeDevice>();
  platform::Screen::setMainForTesting(screen);
  platform::Device::setCurrentForTesting(device);
  {
    auto browser = present().lock();
    EXPECT_EQ(browser->toolbar()->frame().height(), 30);
    EXPECT_EQ(browser->webView()->frame().height() + 30, browser->view()->bounds().height());
    EXPECT_EQ(browser->webView()->autoresizingMask(), 50u);
    EXPECT_EQ(browser->toolbar()->autoresizingMask(), 58u);
    browser->relinquishScreen();
  }
  device->idiom = platform::InterfaceIdiom::Pad;
  auto browser = present().lock();
  EXPECT_EQ(browser->toolbar()->frame().height(), 44);
  EXPECT_EQ(browser->webView()->autoresizingMask(), 18u);
  EXPECT_EQ(browser->toolbar()->autoresizingMask(), 42u);
  browser->relinquishScreen();
}

TEST_F(GADBrowserControllerTest, OnlyFollowedHttpAndHttpsLinksAndFormsCount) {
  auto browser = present().lock();
  auto& web = page(*browser);
  struct Step {
    const char* url;
    NavigationType type;
  };
  for (const Step& step : {Step{"http://example.test/a", NavigationType::LinkClicked},
                           Step{"HTTPS://example.test/b", NavigationType::LinkClicked},
                           Step{"https://example.test/form", NavigationType::FormSubmitted},
                           Step{"http://example.test/c", NavigationType::Other},
                           Step{"http://example.test/d", NavigationType::Reload},
                           Step{"https://example.test/e", NavigationType::BackForward},
                           Step{"ftp://example.test/f", NavigationType::LinkClicked}}) {
    const auto allowed = web.decide(URLRequest(*URL::create(step.url)), step.type);
    // The answer is the base delegate's: web pages load, other schemes leave.
    EXPECT_EQ(allowed, std::string(step.url).starts_with("ftp") ? false : true) << step.url;
  }
  const platform::Dictionary reported = GADStatistics::sharedStatistics().parameters();
  ASSERT_TRUE(reported.find("plpnc"));
  ASSERT_TRUE(reported.find("plpsnc"));
  EXPECT_EQ(reported.find("plpnc")->description(), "1");
  EXPECT_EQ(reported.find("plpsnc")->description(), "2");
  browser->relinquishScreen();
}

TEST_F(GADBrowserControllerTest, TheLandingPageIsTimedFromItsFirstStartToItsFirstFinish) {
  auto& clock = platform::RunLoop::main();
  clock.useManualTimeForTesting();
  auto& statistics = GADStatistics::sharedStatistics();
  auto browser = present().lock();
  auto& web = page(*browser);
  EXPECT_FALSE(statistics.timingNamed("plpl"));
  web.start();
  auto load = statistics.timingNamed("plpl");
  ASSERT_TRUE(load);
  EXPECT_TRUE(load->isActive());
  clock.advanceForTesting(0.5);
  web.finish();
  EXPECT_FALSE(load->isActive());
  auto duration = statistics.timingNamed("plpd");
  ASSERT_TRUE(duration);
  EXPECT_TRUE(duration->isActive());

  // A second page changes neither.
  web.start();
  clock.advanceForTesting(0.25);
  web.finish();
  EXPECT_EQ(statistics.timingNamed("plpl"), load);
  EXPECT_EQ(statistics.timingNamed("plpd"), duration);
  EXPECT_TRUE(duration->isActive());

  browser->relinquishScreen();
  EXPECT_FALSE(duration->isActive()) << "the duration ends when the browser goes";
  clock.useRealTimeForTesting();
}

TEST_F(GADBrowserControllerTest, OpeningInTheDesktopsBrowserHandsOverThePageShownAndFlagsIt) {
  auto browser = present().lock();
  auto& web = page(*browser);
  web.start();
  web.setCurrentURL(URL::create("https://example.test/page-two"));
  web.finish();
  events->calls.clear();
  item(*browser, 6).press();
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willLeave"}));
  endTurn();
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willLeave", "open https://example.test/page-two"}));
  const platform::Dictionary reported = GADStatistics::sharedStatistics().parameters();
  ASSERT_TRUE(reported.find("pcbo"));

  // A page the desktop must not be handed (a landing page can end anywhere)
  // stays here.
  web.setCurrentURL(URL::create("smb://host.example.test/share"));
  events->calls.clear();
  item(*browser, 6).press();
  endTurn();
  EXPECT_TRUE(events->calls.empty());
  EXPECT_FALSE(GADStatistics::sharedStatistics().parameters().find("pcbo")) << "nothing opened: no break-out";
  browser->relinquishScreen();
}

TEST_F(GADBrowserControllerTest, ThePagesProcessIsEndedAndTheWebViewLetGoWhenTheBrowserGoes) {
  const size_t registered = GADPrivateUtilities::countForTesting();
  std::shared_ptr<platform::WebView> webView;
  {
    auto browser = present().lock();
    webView = std::static_pointer_cast<platform::WebView>(browser->webView()->shared_from_this());
    browser->relinquishScreen();
  }
  endTurn();
  EXPECT_EQ(GADPrivateUtilities::countForTesting(), registered);
  EXPECT_EQ(webView->delegate(), nullptr);
  EXPECT_EQ(HeadlessWebViewPeer::of(*webView)->terminations(), 1);
  EXPECT_EQ(webView.use_count(), 1) << "only this test holds it";
}

}  // namespace
