#include "ads/fullscreen/GADWebAppViewController.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ads/content/GADNotificationCenter.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/fullscreen/GADIntrinsicImages.h"
#include "ads/fullscreen/GADWebAppWebViewDelegate.h"
#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADRequest.h"
#include "ads/request/GADStatistics.h"
#include "platform/ActivityIndicator.h"
#include "platform/Button.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/support/AdsTest.h"
#include "tests/support/BannerEvents.h"

using platform::HeadlessWebViewPeer;
using platform::NavigationType;
using platform::URL;
using platform::URLRequest;

namespace {

class GADWebAppViewControllerTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    manager->setBannerDelegate(events);
  }
  std::shared_ptr<GADWebAppViewController> make() {
    auto webApp = GADViewController::create<GADWebAppViewController>();
    webApp->setDelegateManager(manager);
    return webApp;
  }
  static HeadlessWebViewPeer& page(GADWebAppViewController& webApp) {
    return *HeadlessWebViewPeer::of(*webApp.webView());
  }
  // The events the page was sent, by name, in order.
  static std::vector<std::string> pageEvents(GADWebAppViewController& webApp) {
    std::vector<std::string> names;
    for (const auto& script : page(webApp).evaluatedScripts())
      for (const char* name : {"onshow", "onhide"})
        if (script.find(std::string("'") + name + "'") != std::string::npos) names.push_back(name);
    return names;
  }
  static std::string onShowScript(GADWebAppViewController& webApp) {
    for (const auto& script : page(webApp).evaluatedScripts())
      if (script.find("'onshow'") != std::string::npos) return script;
    return {};
  }
  void endTurn() { platform::RunLoop::main().runFor(0.01); }

  std::shared_ptr<GADDelegateManager> manager = std::make_shared<GADDelegateManager>();
  std::shared_ptr<BannerEvents> events = std::make_shared<BannerEvents>();
  std::shared_ptr<platform::ViewController> host = std::make_shared<platform::ViewController>();
};

TEST_F(GADWebAppViewControllerTest, TheScreenIsATransparentPageWithACloseButtonAndACentredSpinner) {
  auto webApp = make();
  ASSERT_TRUE(webApp->vars()->loadingSpinner_) << "made at creation";
  webApp->loadHTMLBaseURL("<p>app</p>", URL::create("http://ads.example.test/app/"));
  EXPECT_EQ(webApp->webView(), nullptr);
  webApp->presentFromViewController(host.get());

  auto& web = page(*webApp);
  ASSERT_EQ(web.loads().size(), 1u);
  EXPECT_EQ(web.loads()[0].html, "<p>app</p>");
  EXPECT_EQ(web.loads()[0].baseURL->absoluteString(), "http://ads.example.test/app/");
  EXPECT_FALSE(webApp->vars()->htmlToLoad_);
  EXPECT_FALSE(webApp->vars()->htmlBaseURLToLoad_);

  const platform::Rect bounds = webApp->view()->bounds();
  EXPECT_EQ(webApp->webView()->frame(), bounds);
  EXPECT_FALSE(webApp->webView()->isOpaque());
  EXPECT_EQ(webApp->webView()->backgroundColor(), platform::Color::clear());
  EXPECT_TRUE(webApp->webView()->clipsToBounds());

  auto& close = *webApp->vars()->closeButton_;
  EXPECT_EQ(close.frame(), platform::Rect(4, 4, 25, 25));
  EXPECT_EQ(close.image(), GADIntrinsicImages::closeButton());
  EXPECT_TRUE(close.showsTouchWhenHighlighted());
  EXPECT_EQ(webApp->view()->subviews().back().get(), &close) << "above the page";

  auto spinner = webApp->vars()->loadingSpinner_;
  EXPECT_EQ(spinner->frame(), platform::Rect((bounds.width() - 20) / 2, (bounds.height() - 20) / 2, 20, 20));
  EXPECT_EQ(spinner->superview(), webApp->webView());
  EXPECT_TRUE(spinner->isAnimating());

  web.start();
  web.fail(platform::Error{"WebKitNetworkError", 500, "down", nullptr});
  EXPECT_EQ(spinner->superview(), webApp->webView()) << "a failure leaves it turning";
  web.start();
  web.finish();
  EXPECT_EQ(spinner->superview(), nullptr);
  EXPECT_FALSE(webApp->vars()->loadingSpinner_);
  EXPECT_TRUE(webApp->vars()->loaded_);
  webApp->relinquishScreen();
}

TEST_F(GADWebAppViewControllerTest, AWaitingURLWinsOverHTMLAndLoadsWithoutExtraFields) {
  auto webApp = make();
  webApp->loadHTMLBaseURL("<p>app</p>", std::nullopt);
  webApp->load(URL::create("http://ads.example.test/app"));
  webApp->load(std::nullopt);
  webApp->loadHTMLBaseURL(std::nullopt, std::nullopt);
  webApp->presentFromViewController(host.get());
  const auto& loads = page(*webApp).loads();
  ASSERT_EQ(loads.size(), 1u);
  ASSERT_TRUE(loads[0].request);
  EXPECT_EQ(loads[0].request->url().absoluteString(), "http://ads.example.test/app");
  EXPECT_TRUE(loads[0].request->allHTTPHeaderFields().empty());
  webApp->relinquishScreen();
}

TEST_F(GADWebAppViewControllerTest, OnShowComesOnceAtTheLaterOfAppearanceAndLoadAndOnHideAtEveryDisappearance) {
  auto webApp = make();
  webApp->load(URL::create("http://ads.example.test/app"));
  webApp->presentFromViewController(host.get());
  auto& web = page(*webApp);
  EXPECT_TRUE(webApp->webViewDelegate()->pendingOnShow()) << "appeared while the page loads";
  EXPECT_TRUE(pageEvents(*webApp).empty());
  web.start();
  web.finish();
  EXPECT_EQ(pageEvents(*webApp), std::vector<std::string>{"onshow"});
  EXPECT_FALSE(webApp->webViewDelegate()->pendingOnShow());
  const std::string script = onShowScript(*webApp);
  EXPECT_NE(script.find("\"version\":\"" + GADRequest::sdkVersion() + "\""), std::string::npos) << script;
  EXPECT_NE(script.find("\"device\":\"" + GADIdentifierUtilities::sharedInstance().deviceSubmodel() + "\""),
            std::string::npos)
      << script;

  // More loads (frames, redirects) and a covering screen send no second one.
  web.start();
  web.finish();
  auto cover = std::make_shared<platform::ViewController>();
  webApp->presentModalViewController(cover, platform::Animated::No);
  cover->dismissModalViewControllerAnimated(platform::Animated::No);
  endTurn();
  EXPECT_EQ(pageEvents(*webApp), (std::vector<std::string>{"onshow", "onhide"}));

  std::weak_ptr<GADWebAppViewController> weak = webApp;
  auto webView = std::static_pointer_cast<platform::WebView>(webApp->webView()->shared_from_this());
  webApp->relinquishScreen();
  webApp.reset();
  endTurn();
  EXPECT_TRUE(weak.expired());
  std::vector<std::string> hides;
  for (const auto& s : HeadlessWebViewPeer::of(*webView)->evaluatedScripts())
    if (s.find("'onhide'") != std::string::npos) hides.push_back(s);
  ASSERT_EQ(hides.size(), 2u) << "covered once, gone once";
  EXPECT_EQ(hides[1].find("version"), std::string::npos) << "no user info";
}

TEST_F(GADWebAppViewControllerTest, APageFinishedBeforeTheAppearanceHearsOnShowAtTheAppearance) {
  auto webApp = make();
  webApp->loadHTMLBaseURL("<p>app</p>", std::nullopt);
  // Built as the presentation starts; shown only once the transition ends.
  webApp->viewWillAppear(platform::Animated::No);
  page(*webApp).start();
  page(*webApp).finish();
  EXPECT_TRUE(pageEvents(*webApp).empty()) << "not shown yet";
  webApp->presentFromViewController(host.get());
  EXPECT_EQ(pageEvents(*webApp), std::vector<std::string>{"onshow"});
  webApp->relinquishScreen();
}

TEST_F(GADWebAppViewControllerTest, TheCloseButtonAndAPagesCloseBothGiveTheScreenBack) {
  for (bool byButton : {true, false}) {
    auto webApp = make();
    webApp->load(URL::create("http://ads.example.test/app"));
    webApp->presentFromViewController(host.get());
    events->calls.clear();
    if (byButton) {
      webApp->vars()->closeButton_->press();
    } else {
      EXPECT_EQ(page(*webApp).decide(URLRequest(*URL::create("gmsg://ads.example.test/close")),
                                     NavigationType::LinkClicked),
                false);
    }
    EXPECT_EQ(events->calls, std::vector<std::string>{"willDismiss"}) << byButton;
    std::weak_ptr<GADWebAppViewController> weak = webApp;
    webApp.reset();
    endTurn();
    EXPECT_TRUE(weak.expired()) << byButton;
  }
}

TEST_F(GADWebAppViewControllerTest, RotationsRunTheOrientationScriptAndLinksAreNotCounted) {
  auto webApp = make();
  webApp->load(URL::create("http://ads.example.test/app"));
  webApp->presentFromViewController(host.get());
  page(*webApp).start();
  page(*webApp).finish();
  const size_t before = page(*webApp).evaluatedScripts().size();
  webApp->didRotateFromInterfaceOrientation(3);
  ASSERT_EQ(page(*webApp).evaluatedScripts().size(), before + 1);
  EXPECT_NE(page(*webApp).evaluatedScripts().back().find("return 0;"), std::string::npos)
      << "the desktop stays upright";

  page(*webApp).decide(URLRequest(*URL::create("http://example.test/a")), NavigationType::LinkClicked);
  page(*webApp).decide(URLRequest(*URL::create("https://example.test/b")), NavigationType::LinkClicked);
  const platform::Dictionary reported = GADStatistics::sharedStatistics().parameters();
  EXPECT_FALSE(reported.find("plpnc"));
  EXPECT_FALSE(reported.find("plpsnc"));
  webApp->relinquishScreen();
}

}  // namespace
