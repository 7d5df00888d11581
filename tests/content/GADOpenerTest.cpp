#include "ads/content/GADOpener.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotification.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADWebViewDelegate.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/fullscreen/GADBrowserController.h"
#include "ads/fullscreen/GADWebAppViewController.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADStatistics.h"
#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "platform/MailComposer.h"
#include "platform/ViewController.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessMailComposerPeer.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "platform/WebView.h"
#include "tests/support/AdsTest.h"
#include "tests/support/OpenerToken.h"
#include "tests/support/WorkerFolders.h"

using platform::URL;

namespace {

// Records the screens asked for; hands applications to the real openApp.
class ScreenRecorder : public GADOpener {
 public:
  std::vector<std::string> calls;
  void openBrowserToURLSupportedOrientations(const std::optional<URL>& url, int orientations) override {
    calls.push_back("browser " + (url ? url->absoluteString() : "-") + " " + std::to_string(orientations));
  }
  void openWebAppSupportedOrientations(const URL& url, int orientations) override {
    calls.push_back("webapp " + url.absoluteString() + " " + std::to_string(orientations));
  }
  void openWebAppWithHTMLSupportedOrientations(const std::string& html, int orientations) override {
    calls.push_back("webapp-html " + html + " " + std::to_string(orientations));
  }
};

class LeaveRecorder : public GADBannerViewDelegate {
 public:
  std::vector<std::string>* events = nullptr;
  void adViewWillLeaveApplication(GADBannerView*) override { events->push_back("willLeave"); }
};

class GADOpenerTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    caches = std::filesystem::temp_directory_path() / ("opener-test-" + std::to_string(getpid()));
    platform::FileManager::setCachesDirectoryForTesting(caches);
    opener = std::make_shared<ScreenRecorder>();
    manager = std::make_shared<GADDelegateManager>();
    leave->events = &events;
    manager->setBannerDelegate(leave);
    opener->setDelegateManager(manager);
    opener->setViewController(host.get());
    platform::Application::shared().setOpenURLForTesting([this](const std::string& url) {
      events.push_back("open " + url);
      return true;
    });
    platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
  }
  void TearDown() override {
    server.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
    AdsTest::TearDown();
  }
  void open(const std::string& text) {
    auto message = GADNotification::notificationFromURL(*URL::create(text));
    ASSERT_TRUE(message) << text;
    opener->openNotification(*message);
  }
  // A tracking in flight for as long as a test runs.
  std::shared_ptr<GADClickTracker> slowTracking() {
    if (!server) server = std::make_unique<adnet::LoopbackServer>();
    adnet::Answer slow;
    slow.delaySeconds = 30;
    server->setAnswer("/slow", slow);
    auto tracker = std::make_shared<GADClickTracker>();
    tracker->trackURL(URL::create(server->url("/slow")));
    return tracker;
  }
  std::int64_t clickCount() {
    const auto report = GADStatistics::sharedStatistics().parameters();
    const platform::Value* pcc = report.find("pcc");
    return pcc && pcc->asInteger() ? *pcc->asInteger() : 0;
  }

  std::shared_ptr<platform::ViewController> host = std::make_shared<platform::ViewController>();
  std::shared_ptr<ScreenRecorder> opener;
  std::shared_ptr<GADDelegateManager> manager;
  std::shared_ptr<LeaveRecorder> leave = std::make_shared<LeaveRecorder>();
  std::vector<std::string> events;
  std::unique_ptr<adnet::LoopbackServer> server;
  std::filesystem::path caches;
};

TEST_F(GADOpenerTest, EachActionOpensItsScreen) {
  const struct {
    const char* message;
    const char* opened;  // "" when nothing is opened
  } cases[] = {
      {"gmsg://x/open?a=browser&u=http%3A%2F%2Fland.example.test%2F", "browser http://land.example.test/ 1"},
      {"gmsg://x/open?a=browser&o=p&u=http%3A%2F%2Fland.example.test%2F", "browser http://land.example.test/ 2"},
      {"gmsg://x/open?a=video&o=l&u=http%3A%2F%2Fland.example.test%2Fv", "browser http://land.example.test/v 3"},
      {"gmsg://x/open?a=webapp&o=x&u=http%3A%2F%2Fland.example.test%2Fw", "webapp http://land.example.test/w 1"},
      {"gmsg://x/open?a=webapp&o=l&html=%3Cp%3Ehi%3C%2Fp%3E", "webapp-html <p>hi</p> 3"},
      // The URL wins over the HTML.
      {"gmsg://x/open?a=webapp&u=http%3A%2F%2Fland.example.test%2F&html=x", "webapp http://land.example.test/ 1"},
      {"gmsg://x/open?a=browser&html=x", ""},
      {"gmsg://x/open?a=browser", ""},
      {"gmsg://x/open?a=browser&u=%20", ""},
      {"gmsg://x/open?a=webapp", ""},
      {"gmsg://x/open?a=Browser&u=tel%3A1", ""},  // not "browser": an application
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    opener->calls.clear();
    open(c.message);
    if (*c.opened) {
      EXPECT_EQ(opener->calls, (std::vector<std::string>{c.opened}));
    } else {
      EXPECT_TRUE(opener->calls.empty());
    }
  }
}

TEST_F(GADOpenerTest, EveryOpeningCountsAClickEvenFromHTMLAlone) {
  open("gmsg://x/open?a=webapp&html=x");
  EXPECT_EQ(clickCount(), 1);
  open("gmsg://x/open?a=browser");  // nothing to open: no click either
  EXPECT_EQ(clickCount(), 0);
}

TEST_F(GADOpenerTest, OtherActionsLeaveForAnApplicationOnALaterTurn) {
  for (const char* text : {"gmsg://x/open?a=call&u=tel%3A5551234", "gmsg://x/open?a=app&u=tel%3A5551234",
                           "gmsg://x/open?u=tel%3A5551234"}) {
    SCOPED_TRACE(text);
    events.clear();
    open(text);
    EXPECT_EQ(events, (std::vector<std::string>{"willLeave"}));  // just before
    platform::RunLoop::main().drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "open tel:5551234");
  }
}

TEST_F(GADOpenerTest, OnlyTheAllowListedSchemesLeaveWhateverAsksForThem) {
  const struct {
    const char* url;
    bool leaves;
  } cases[] = {
      {"http://land.example.test/", true}, {"HTTPS://land.example.test/", true},
      {"tel:5551234", true},               {"sms:5551234", true},                {"file:///etc/passwd", false},
      {"smb://host.example.test/share", false}, {"data:text/html,hi", false},  {"javascript:alert(1)", false},
      {"ghelp:gnome-help", false},         {"zovo-custom://launch", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    events.clear();
    open(std::string("gmsg://x/open?a=app&u=") + GADNetworkUtilities::encodeURL(c.url));
    platform::RunLoop::main().drain();
    if (c.leaves) {
      EXPECT_EQ(events, (std::vector<std::string>{"willLeave", std::string("open ") + c.url}));
    } else {
      EXPECT_TRUE(events.empty()) << "not even willLeave";
    }
  }
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Scheme), 6);
  // A refused opening is no click.
  EXPECT_EQ(clickCount(), 4);
  // A build may hand on more.
  GADContentPolicy::allowSchemeToLeave("Zovo-Custom");
  events.clear();
  open("gmsg://x/open?a=app&u=zovo-custom%3A%2F%2Flaunch");
  platform::RunLoop::main().drain();
  EXPECT_EQ(events, (std::vector<std::string>{"willLeave", "open zovo-custom://launch"}));
}

TEST_F(GADOpenerTest, WhereNothingOpensTheURLTheUserStaysAndNoLeavingIsReported) {
  platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return false; });
  open("gmsg://x/open?a=app&u=tel%3A5551234");
  platform::RunLoop::main().drain();
  EXPECT_TRUE(events.empty()) << "neither willLeave nor an opening";
  ASSERT_FALSE(logLines().empty());
  EXPECT_EQ(logLines().back(), "<Rezido> No application opens tel:5551234");
}

TEST_F(GADOpenerTest, LeavingWaitsAtMostThreeTimesForATrackingInFlight) {
  platform::RunLoop::main().useManualTimeForTesting();
  auto tracker = slowTracking();
  ASSERT_TRUE(GADClickTracker::activeTrackings());

  opener->openApp(URL::create("tel:5551234"));
  opener->openApp(std::nullopt);  // nothing at all
  platform::RunLoop::main().advanceForTesting(0.89);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(GADOpener::repeatCountForTesting(), 3);
  // The fourth try goes ahead: the report, then the opening on the next turn.
  platform::RunLoop::main().advanceForTesting(0.02);
  EXPECT_EQ(events, (std::vector<std::string>{"willLeave", "open tel:5551234"}));
  EXPECT_EQ(GADOpener::repeatCountForTesting(), 0);
  tracker->reset();
}

TEST_F(GADOpenerTest, LeavingGoesAheadAsSoonAsTheTrackingEnds) {
  platform::RunLoop::main().useManualTimeForTesting();
  auto tracker = slowTracking();
  opener->openApp(URL::create("tel:1"));
  platform::RunLoop::main().advanceForTesting(0.3);
  EXPECT_TRUE(events.empty());
  tracker->reset();
  platform::RunLoop::main().advanceForTesting(0.3);
  EXPECT_EQ(events, (std::vector<std::string>{"willLeave", "open tel:1"}));
}

TEST_F(GADOpenerTest, MailFieldsFromAMailtoURL) {
  auto fields = GADOpener::mailFieldsFromURL(
      *URL::create("mailto:a@example.test,b@example.test?CC=c@example.test,d@example.test&bcc=e@example.test"
                   "&subject=Hello%20there;body=Line"));
  EXPECT_EQ(fields.to, (std::vector<std::string>{"a@example.test,b@example.test"}));
  EXPECT_EQ(fields.cc, (std::vector<std::string>{"c@example.test", "d@example.test"}));
  EXPECT_EQ(fields.bcc, (std::vector<std::string>{"e@example.test"}));
  EXPECT_EQ(fields.subject, "Hello there");
  EXPECT_EQ(fields.body, "Line");

  fields = GADOpener::mailFieldsFromURL(*URL::create("mailto:x%40example.test"));
  EXPECT_EQ(fields.to, (std::vector<std::string>{"x%40example.test"}));  // as written
  EXPECT_TRUE(fields.cc.empty());
  EXPECT_TRUE(fields.subject.empty());
}

}  // namespace

namespace {

class GADOpenerMailTest : public GADOpenerTest {
 protected:
  void SetUp() override {
    GADOpenerTest::SetUp();
    root = std::make_shared<platform::ViewController>();
    window.setRootViewController(root);
    opener->setViewController(root.get());
  }
  platform::Window window;
  std::shared_ptr<platform::ViewController> root;
};

TEST_F(GADOpenerMailTest, AMailtoLinkFillsThePresentedComposerAndSendHandsItOnAndDismisses) {
  platform::Application::shared().setCanOpenURLForTesting([](const std::string& url) { return url == "mailto:"; });
  opener->openEmailComposer(*URL::create("mailto:a@example.test?Subject=Hi%20there&cc=b@example.test,c@example.test"));
  auto* composer = dynamic_cast<platform::MailComposer*>(root->modalViewController());
  ASSERT_NE(composer, nullptr);
  const auto fields = composer->fields();
  EXPECT_EQ(fields.to, (std::vector<std::string>{"a@example.test"}));
  EXPECT_EQ(fields.cc, (std::vector<std::string>{"b@example.test", "c@example.test"}));
  EXPECT_EQ(fields.subject, "Hi there");

  static_cast<platform::HeadlessMailComposerPeer*>(composer->view()->peer())->pressSend();
  EXPECT_EQ(events, (std::vector<std::string>{"open mailto:a@example.test?cc=b@example.test,c@example.test"
                                              "&subject=Hi%20there"}));
  EXPECT_EQ(root->modalViewController(), nullptr);
}

// Mail has one door whatever path it takes: the composer with the fields it
// knows. The page's other text (an "attach=" a mail client might act on)
// never reaches the desktop.
TEST_F(GADOpenerMailTest, MailAskedOfTheDesktopOpensTheComposerWithItsKnownFieldsOnly) {
  platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
  open("gmsg://x/open?a=app&u=" +
       GADNetworkUtilities::encodeURL("mailto:v@example.test?attach=/home/u/.ssh/id_rsa&subject=Hi"));
  platform::RunLoop::main().drain();
  EXPECT_TRUE(events.empty()) << "nothing handed to the desktop as written";
  auto* composer = dynamic_cast<platform::MailComposer*>(root->modalViewController());
  ASSERT_NE(composer, nullptr);
  EXPECT_EQ(composer->fields().to, (std::vector<std::string>{"v@example.test"}));
  EXPECT_EQ(composer->fields().subject, "Hi");
  static_cast<platform::HeadlessMailComposerPeer*>(composer->view()->peer())->pressSend();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], "open mailto:v@example.test?subject=Hi");
}

TEST_F(GADOpenerMailTest, WithoutAMailClientTheUserIsToldAndNoComposerAppears) {
  platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return false; });
  opener->openEmailComposer(*URL::create("mailto:a@example.test"));
  EXPECT_EQ(root->modalViewController(), nullptr);
  EXPECT_EQ(toolkit().notices(), (std::vector<std::string>{GADOpener::kNoMailClientNotice}));
}

}  // namespace

namespace {

// The opener as the product uses it, presenting real screens over a host.
class GADOpenerScreensTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    manager->setBannerDelegate(leave);
    leave->events = &events;
  }
  void TearDown() override {
    platform::Application::shared().setStatusBarHidden(false);
    AdsTest::TearDown();
  }
  std::shared_ptr<platform::WebView> adPage(GADWebViewDelegate& delegate) {
    auto page = platform::WebView::create(platform::Rect(0, 0, 320, 50));
    page->setDelegate(&delegate);
    delegate.setViewController(host.get());
    delegate.opener().setDelegateManager(manager);
    return page;
  }
  // The user's click on a link to `message` in `page`.
  static std::optional<bool> send(platform::WebView& page, const std::string& message) {
    return platform::HeadlessWebViewPeer::of(page)->decideByUser(platform::URLRequest(*URL::create(message)));
  }
  void endTurn() { platform::RunLoop::main().runFor(0.01); }

  std::shared_ptr<GADDelegateManager> manager = std::make_shared<GADDelegateManager>();
  std::shared_ptr<LeaveRecorder> leave = std::make_shared<LeaveRecorder>();
  std::vector<std::string> events;
  std::shared_ptr<platform::ViewController> host = std::make_shared<platform::ViewController>();
};

TEST_F(GADOpenerScreensTest, TheBrowserOpensWithTheReferrerOrientationsManagerAndTheAskingPage) {
  auto opener = std::make_shared<GADOpener>();
  auto page = platform::WebView::create(platform::Rect(0, 0, 320, 50));
  opener->setViewController(host.get());
  opener->setDelegateManager(manager);
  opener->setOpeningWebView(page.get());
  opener->setReferringURL(URL::create("http://ads.example.test/ad"));
  opener->openBrowserToURLSupportedOrientations(URL::create("http://example.test/landing"), kGADOrientationPortrait);

  auto* browser = dynamic_cast<GADBrowserController*>(host->modalViewController());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->supportedOrientations(), kGADOrientationPortrait);
  EXPECT_EQ(browser->delegateManager(), manager);
  EXPECT_EQ(browser->openingWebView(), page.get());
  const auto& loads = platform::HeadlessWebViewPeer::of(*browser->webView())->loads();
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].request->url().absoluteString(), "http://example.test/landing");
  EXPECT_EQ(loads[0].request->valueForHTTPHeaderField("Referer"), "http://ads.example.test/ad");
  std::weak_ptr<platform::ViewController> weak = browser->weak_from_this();
  browser->relinquishScreen();
  endTurn();
  EXPECT_TRUE(weak.expired());
}

// A page's "open" names that page as the new screen's opener: "evalInOpener"
// from the screen's page runs in it, and the answer goes back to the page
// that asked.
TEST_F(GADOpenerScreensTest, EvalInOpenerFromAnOpenedScreenRunsInTheAdPageAndAnswersTheAskingPage) {
  GADWebViewDelegate adDelegate;
  auto ad = adPage(adDelegate);
  EXPECT_EQ(send(*ad, "gmsg://ads.example.test/open?a=webapp&html=%3Cp%3Eapp%3C%2Fp%3E"), false);
  auto* webApp = dynamic_cast<GADWebAppViewController*>(host->modalViewController());
  ASSERT_NE(webApp, nullptr);
  EXPECT_EQ(webApp->openingWebView(), ad.get());
  EXPECT_EQ(webApp->delegateManager(), manager);
  auto& app = *platform::HeadlessWebViewPeer::of(*webApp->webView());
  app.start();
  app.finish();

  // The web application's main frame alone was given the token.
  const std::string token = OpenerToken::of(app);
  ASSERT_EQ(token.size(), 32u);
  EXPECT_EQ(send(*webApp->webView(), "gmsg://ads.example.test/evalInOpener?js=document.title&token=" + token), false);
  endTurn();
  auto& adPeer = *platform::HeadlessWebViewPeer::of(*ad);
  ASSERT_EQ(adPeer.evaluatedScripts(), std::vector<std::string>{GADWebViewDelegate::openerScript("document.title")})
      << "run in the ad's page";
  const size_t before = app.evaluatedScripts().size();
  adPeer.completeEvaluation(0, "vAd title");
  endTurn();
  ASSERT_EQ(app.evaluatedScripts().size(), before + 1);
  EXPECT_NE(app.evaluatedScripts().back().find("evalJavaScriptInOpenerResult"), std::string::npos);
  EXPECT_NE(app.evaluatedScripts().back().find("Ad title"), std::string::npos);

  // A browser opened from the web application names the application's page.
  EXPECT_EQ(send(*webApp->webView(), "gmsg://ads.example.test/open?a=browser&u=http%3A%2F%2Fexample.test%2F"), false);
  auto* browser = dynamic_cast<GADBrowserController*>(webApp->modalViewController());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->openingWebView(), webApp->webView());
  // But a page in the browser (a landing page, anyone's) reaches no other
  // page: neither the web application's nor the ad's.
  auto& landing = *platform::HeadlessWebViewPeer::of(*browser->webView());
  const size_t appScripts = app.evaluatedScripts().size();
  EXPECT_EQ(send(*browser->webView(), "gmsg://ads.example.test/evalInOpener?js=document.URL"), false);
  endTurn();
  EXPECT_EQ(app.evaluatedScripts().size(), appScripts);
  EXPECT_EQ(adPeer.evaluatedScripts().size(), 1u);
  EXPECT_TRUE(landing.evaluatedScripts().empty() ||
              landing.evaluatedScripts().back().find("evalJavaScriptInOpenerResult") == std::string::npos);
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener), 1);
  events.clear();
  browser->relinquishScreen();
  endTurn();
  EXPECT_TRUE(events.empty()) << "a nested screen tells the ad's delegate nothing";
  webApp->relinquishScreen();
  endTurn();
  EXPECT_EQ(host->modalViewController(), nullptr);
}

// "evalInOpener" reaches the pair alone: the main frame (the token's
// holder) of the web application's first page, and the very ad page that
// opened it. A message without the token (a subframe's), from a page the
// application went on to, or once the banner's web view shows another ad,
// is refused and runs nothing.
TEST_F(GADOpenerScreensTest, EvalInOpenerReachesOnlyThePairThatOpened) {
  GADWebViewDelegate adDelegate;
  auto ad = adPage(adDelegate);
  ad->loadHTMLStringBaseURL("<p>ad</p>", URL::create("http://ads.example.test/ad"));
  EXPECT_EQ(send(*ad, "gmsg://ads.example.test/open?a=webapp&html=%3Cp%3Eapp%3C%2Fp%3E"), false);
  auto* webApp = dynamic_cast<GADWebAppViewController*>(host->modalViewController());
  ASSERT_NE(webApp, nullptr);
  auto& app = *platform::HeadlessWebViewPeer::of(*webApp->webView());
  auto& adPeer = *platform::HeadlessWebViewPeer::of(*ad);
  app.start();
  app.finish();
  const std::string token = OpenerToken::of(app);
  ASSERT_FALSE(token.empty());
  const auto ask = [&](const std::string& query) {
    send(*webApp->webView(), "gmsg://ads.example.test/evalInOpener?js=document.title" + query);
    endTurn();
  };
  ask("");
  ask("&token=" + std::string(token.size(), '0'));
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener), 2);
  EXPECT_TRUE(adPeer.evaluations().empty());
  ask("&token=" + token);
  EXPECT_EQ(adPeer.evaluations().size(), 1u) << "the main frame of the first page reaches its opener";

  // The banner's web view, kept for the next ad, loads it: that ad's page
  // opened nothing.
  ad->loadHTMLStringBaseURL("<p>next ad</p>", URL::create("http://ads.example.test/ad"));
  ask("&token=" + token);
  EXPECT_EQ(adPeer.evaluations().size(), 1u);
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener), 3);
  webApp->relinquishScreen();
  endTurn();
}

TEST_F(GADOpenerScreensTest, EvalInOpenerFromALaterPageOfTheWebApplicationIsRefused) {
  GADWebViewDelegate adDelegate;
  auto ad = adPage(adDelegate);
  EXPECT_EQ(send(*ad, "gmsg://ads.example.test/open?a=webapp&html=%3Cp%3Eapp%3C%2Fp%3E"), false);
  auto* webApp = dynamic_cast<GADWebAppViewController*>(host->modalViewController());
  ASSERT_NE(webApp, nullptr);
  auto& app = *platform::HeadlessWebViewPeer::of(*webApp->webView());
  app.start();
  app.finish();
  // The page goes on to another (a link, a script's navigation), which
  // WebKit gives the same main-frame script.
  app.start();
  app.finish();
  send(*webApp->webView(), "gmsg://ads.example.test/evalInOpener?js=document.title&token=" + OpenerToken::of(app));
  endTurn();
  EXPECT_TRUE(platform::HeadlessWebViewPeer::of(*ad)->evaluations().empty());
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener), 1);
  webApp->relinquishScreen();
  endTurn();
}

TEST_F(GADOpenerScreensTest, FiftyBrowserCyclesLeaveNoScreenNoPrivateDataNoObserver) {
  const size_t registered = GADPrivateUtilities::countForTesting();
  const size_t observers = GADNotificationCenter::defaultCenter().observerCount();
  auto opener = std::make_shared<GADOpener>();
  opener->setViewController(host.get());
  opener->setDelegateManager(manager);
  std::weak_ptr<platform::ViewController> last;
  for (int cycle = 0; cycle < 50; ++cycle) {
    opener->openBrowserToURLSupportedOrientations(URL::create("http://example.test/landing"), kGADOrientationAny);
    auto* browser = dynamic_cast<GADBrowserController*>(host->modalViewController());
    ASSERT_NE(browser, nullptr) << cycle;
    auto& page = *platform::HeadlessWebViewPeer::of(*browser->webView());
    page.start();
    page.finish();
    last = browser->weak_from_this();
    browser->relinquishScreen();
    endTurn();
    ASSERT_TRUE(last.expired()) << cycle;
  }
  EXPECT_EQ(GADPrivateUtilities::countForTesting(), registered);
  EXPECT_EQ(GADNotificationCenter::defaultCenter().observerCount(), observers);
}

}  // namespace
