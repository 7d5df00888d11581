#include "ads/content/GADWebViewDelegate.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotification.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADOpener.h"
#include "ads/fullscreen/GADRelinquishableScreen.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADSignalsProvider.h"
#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Screen.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/content/RecordingOpener.h"
#include "tests/support/AdsTest.h"
#include "tests/support/OpenerToken.h"
#include "tests/support/WorkerFolders.h"

using platform::Dictionary;
using platform::HeadlessWebViewPeer;
using platform::NavigationType;
using platform::URL;
using platform::URLRequest;
using platform::WebView;

namespace {

class LandscapeScreen : public platform::Screen {
 public:
  platform::InterfaceOrientation statusBarOrientation() const override {
    return platform::InterfaceOrientation::LandscapeRight;
  }
};

class ClosableScreen : public platform::ViewController, public GADRelinquishableScreen {
 public:
  int relinquished = 0;
  void relinquishScreen() override { ++relinquished; }
};

class GADWebViewDelegateTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    caches = std::filesystem::temp_directory_path() / ("web-view-delegate-test-" + std::to_string(getpid()));
    removeFolderAfterWorkers(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    webView = platform::View::make<WebView>(platform::Rect(0, 0, 320, 50));
    delegate = std::make_unique<GADWebViewDelegate>();
    opener = std::make_shared<RecordingOpener>();
    delegate->setOpenerForTesting(opener);
    webView->setDelegate(delegate.get());
    // The composer has a screen to come up over; the desktop opens what it is handed.
    delegate->setViewController(screen.get());
    platform::Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
    platform::NotificationCenter::defaultCenter().addObserver(
        this, GADWebViewDelegateDidReceiveWebAction, nullptr,
        [this](const platform::Notification& n) { webActions.push_back(n); });
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    webView->setDelegate(nullptr);
    delegate.reset();
    webView.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
    AdsTest::TearDown();
  }

  // The page navigates to `text` by itself (a script, a timer), or the
  // user's press on it does; the web view's answer.
  enum class By { Page, User };
  bool navigate(const std::string& text, NavigationType type = NavigationType::LinkClicked, By by = By::Page) {
    auto url = URL::create(text);
    EXPECT_TRUE(url) << text;
    return by == By::User ? *page().decideByUser(URLRequest(*url), type) : *page().decide(URLRequest(*url), type);
  }
  bool navigateByUser(const std::string& text) { return navigate(text, NavigationType::LinkClicked, By::User); }
  HeadlessWebViewPeer& page() { return *HeadlessWebViewPeer::of(*webView); }

  std::filesystem::path caches;
  std::shared_ptr<platform::ViewController> screen = std::make_shared<platform::ViewController>();
  std::shared_ptr<WebView> webView;
  std::unique_ptr<GADWebViewDelegate> delegate;
  std::shared_ptr<RecordingOpener> opener;
  std::vector<platform::Notification> webActions;
};

TEST_F(GADWebViewDelegateTest, DecisionsBySchemeAndByWhoseAct) {
  const struct {
    const char* url;
    NavigationType type;
    By by;
    bool allowed;
    bool webAction;
    const char* opened;  // what the opener was asked, or ""
  } cases[] = {
      {"file:///etc/passwd", NavigationType::LinkClicked, By::User, false, false, ""},
      {"FILE:///etc/passwd", NavigationType::Other, By::Page, false, false, ""},
      {"about:blank", NavigationType::Other, By::Page, true, false, ""},
      {"http://ads.example.test/page", NavigationType::LinkClicked, By::Page, true, true, ""},
      {"https://ads.example.test/page", NavigationType::FormSubmitted, By::User, true, true, ""},
      // A page's own subresource-like loads (type other, no path) report no action.
      {"http://ads.example.test/", NavigationType::Other, By::Page, true, false, ""},
      {"http://ads.example.test", NavigationType::Other, By::Page, true, false, ""},
      {"http://ads.example.test/", NavigationType::LinkClicked, By::Page, true, true, ""},
      {"http://ads.example.test/ab", NavigationType::Other, By::Page, true, true, ""},
      // Mail goes through openApp too: it opens our composer.
      {"mailto:someone@example.test?subject=Hi", NavigationType::LinkClicked, By::User, false, true,
       "app mailto:someone@example.test?subject=Hi"},
      {"tel:5551234", NavigationType::LinkClicked, By::User, false, true, "app tel:5551234"},
      // Off the allow-list, refused before the opener is asked.
      {"itms://example.test/app", NavigationType::LinkClicked, By::User, false, true, ""},
      // The same rule holds whatever the scheme: no action, but still opened.
      {"tel:/", NavigationType::Other, By::User, false, false, "app tel:/"},
      // What leaves the page for the composer or the desktop is the user's
      // act only: a page's own navigation there is refused.
      {"mailto:someone@example.test", NavigationType::LinkClicked, By::Page, false, true, ""},
      {"tel:5551234", NavigationType::Other, By::Page, false, true, ""},
      {"smb://host.example.test/share", NavigationType::LinkClicked, By::Page, false, true, ""},
      {"data:text/html,hi", NavigationType::LinkClicked, By::Page, false, true, ""},
      {"javascript:alert(1)", NavigationType::LinkClicked, By::Page, false, true, ""},
      {"zovo-custom://x/y", NavigationType::Other, By::Page, false, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    webActions.clear();
    opener->calls.clear();
    EXPECT_EQ(navigate(c.url, c.type, c.by), c.allowed);
    ASSERT_EQ(webActions.size(), c.webAction ? 1u : 0u);
    if (c.webAction) {
      EXPECT_EQ(webActions[0].object, webView.get());
      EXPECT_EQ(webActions[0].userInfo, (Dictionary{{"u", URL::create(c.url)->absoluteString()}}));
    }
    if (*c.opened) {
      ASSERT_EQ(opener->calls.size(), 1u);
      EXPECT_EQ(opener->calls[0], c.opened);
    } else {
      EXPECT_TRUE(opener->calls.empty());
    }
  }
}

TEST_F(GADWebViewDelegateTest, MessageURLsAreNeverLoadedAndReportTheirName) {
  for (const char* text : {"gmsg://x/click", "gmsg://x/whatever?a=1", "gmsg://x/log?string=x", "vaver://closecanvas",
                           "vaver://log?string=x"}) {
    SCOPED_TRACE(text);
    webActions.clear();
    EXPECT_FALSE(navigate(text));
    ASSERT_EQ(webActions.size(), 1u);
    const auto message = GADNotification::notificationFromURL(*URL::create(text));
    EXPECT_EQ(webActions[0].userInfo, (Dictionary{{"u", text}, {"a", message->name()}}));
  }
  // A message URL without a message: refused, and nothing is reported.
  webActions.clear();
  EXPECT_FALSE(navigate("gmsg://x"));
  EXPECT_FALSE(navigate("vaver://other?x=1"));
  EXPECT_TRUE(webActions.empty());
  // Only the exact scheme is a message: this one is another application's,
  // and no application may have it.
  EXPECT_FALSE(navigateByUser("GMSG://x/click"));
  EXPECT_TRUE(opener->calls.empty());
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Scheme), 1);
}

TEST_F(GADWebViewDelegateTest, AUsersGestureIsRecentRealInputThatNoScriptOfOursHasLent) {
  auto& loop = platform::RunLoop::main();
  loop.useManualTimeForTesting();
  const URLRequest tel(*URL::create("tel:1"));
  // WebKit's flag alone (a script we evaluated borrows it): refused.
  EXPECT_FALSE(*page().decide(tel, NavigationType::LinkClicked, platform::NavigationAction{.userGesture = true}));
  // Real input, but the navigation is not the user's (a timer after a click).
  page().pressByUser();
  EXPECT_FALSE(*page().decide(tel, NavigationType::Other));
  EXPECT_TRUE(opener->calls.empty());
  // Input and flag together, within the window: the user's act.
  loop.advanceForTesting(GADContentPolicy::kUserGestureSeconds * 0.9);
  EXPECT_FALSE(*page().decide(tel, NavigationType::LinkClicked, platform::NavigationAction{.userGesture = true}));
  EXPECT_EQ(opener->calls, (std::vector<std::string>{"app tel:1"}));
  // One press, one act: the page's next act of the same press is refused.
  EXPECT_FALSE(*page().decide(tel, NavigationType::LinkClicked, platform::NavigationAction{.userGesture = true}));
  EXPECT_EQ(opener->calls.size(), 1u);
  // A press it did not use is gone past the window.
  page().pressByUser();
  loop.advanceForTesting(GADContentPolicy::kUserGestureSeconds * 1.1);
  EXPECT_FALSE(*page().decide(tel, NavigationType::LinkClicked, platform::NavigationAction{.userGesture = true}));
  EXPECT_EQ(opener->calls.size(), 1u);
  // A script of ours run after the press (the orientation after a load, an
  // answer to the page) ends the gesture: the page's handler cannot use it.
  page().pressByUser();
  page().finish();
  EXPECT_FALSE(*page().decide(tel, NavigationType::LinkClicked, platform::NavigationAction{.userGesture = true}));
  EXPECT_EQ(opener->calls.size(), 1u);
  loop.useRealTimeForTesting();
}

TEST_F(GADWebViewDelegateTest, MessagesThatActForTheUserNeedTheUserAndAreRefusedOnceInTheLogButCountedEachTime) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(navigate("gmsg://x/open?a=app&u=file%3A%2F%2F%2Fetc%2Fpasswd"));
    EXPECT_FALSE(navigate("gmsg://x/click?u=http%3A%2F%2Fads.example.test%2Fclk"));
  }
  EXPECT_TRUE(opener->calls.empty());
  EXPECT_EQ(delegate->tracker(), nullptr);  // nothing tracked
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::NoGesture), 6);
  int refusalLines = 0;
  for (const auto& line : logLines()) refusalLines += line.find("no user gesture") != std::string::npos;
  EXPECT_EQ(refusalLines, 1);
  // The next page is logged afresh.
  page().start();
  navigate("gmsg://x/open?a=app&u=tel%3A1");
  EXPECT_NE(logLines().back().find("no user gesture"), std::string::npos);
  // The user's click on the same link goes through.
  EXPECT_FALSE(navigateByUser("gmsg://x/open?a=browser&u=http%3A%2F%2Fads.example.test%2Fland"));
  EXPECT_EQ(opener->calls, (std::vector<std::string>{"notification open"}));
}

TEST_F(GADWebViewDelegateTest, AFloodOfMessagesOrAHugeOneIsDropped) {
  platform::RunLoop::main().useManualTimeForTesting();
  // Each buzz the user's own (one per press), so each admitted message shows.
  int vibrations = 0;
  for (int i = 0; i < 3 * GADContentPolicy::kMaximumMessagesPerSecond; ++i) {
    navigate("gmsg://x/vibrate", NavigationType::Other, By::User);
    vibrations = toolkit().vibrations();
  }
  EXPECT_EQ(vibrations, GADContentPolicy::kMaximumMessagesPerSecond);
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageRate),
            2 * GADContentPolicy::kMaximumMessagesPerSecond);
  // Over its rate, the page can still give its screen back.
  auto closable = std::make_shared<ClosableScreen>();
  delegate->setViewController(closable.get());
  navigate("gmsg://x/close");
  navigate("vaver://closecanvas");
  EXPECT_EQ(closable->relinquished, 2);
  delegate->setViewController(nullptr);
  // The next second, the page is heard again.
  platform::RunLoop::main().advanceForTesting(1.0);
  navigate("gmsg://x/vibrate", NavigationType::Other, By::User);
  EXPECT_EQ(toolkit().vibrations(), vibrations + 1);
  // A message URL longer than the bound is not even read.
  webActions.clear();
  navigate("gmsg://x/log?string=" + std::string(GADContentPolicy::kMaximumMessageURLBytes, 'a'));
  EXPECT_TRUE(webActions.empty());
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageSize), 1);
  platform::RunLoop::main().useRealTimeForTesting();
}

TEST_F(GADWebViewDelegateTest, TheRequestsUserAgentBecomesTheClientsAndTheOpenerGetsTheScreen) {
  auto screen = std::make_shared<platform::ViewController>();
  delegate->setViewController(screen.get());
  URLRequest request(*URL::create("http://ads.example.test/a"));
  request.setValueForHTTPHeaderField("TestAgent/1.0 (page)", "User-Agent");
  EXPECT_TRUE(*page().decide(request, NavigationType::LinkClicked));
  EXPECT_EQ(GADNetworkUtilities::userAgentString(), "TestAgent/1.0 (page)");
  EXPECT_EQ(opener->viewController(), screen.get());
  screen.reset();
  EXPECT_EQ(delegate->viewController(), nullptr);  // not retained
}

TEST_F(GADWebViewDelegateTest, OpenLogVibrateAndOtherNames) {
  EXPECT_FALSE(navigateByUser("gmsg://x/open?a=browser&u=http%3A%2F%2Fads.example.test%2Fland"));
  EXPECT_EQ(opener->calls, (std::vector<std::string>{"notification open"}));

  EXPECT_FALSE(navigate("gmsg://x/log?string=Hello%20there"));
  ASSERT_FALSE(logLines().empty());
  EXPECT_EQ(logLines().back(), "<Rezido> Hello there");
  // A page cannot forge log lines of its own or flood the log.
  EXPECT_FALSE(navigate("gmsg://x/log?string=one%0A%3CRezido%3E%20two"));
  EXPECT_EQ(logLines().back(), "<Rezido> one <Rezido> two");
  EXPECT_FALSE(navigate("gmsg://x/log?string=" + std::string(5000, 'z')));
  EXPECT_EQ(logLines().back().size(), std::string("<Rezido> ").size() + GADWebViewDelegate::kMaximumLogBytes);

  // A buzz is the user's: none for the page alone, one per press.
  EXPECT_FALSE(navigate("gmsg://x/vibrate"));
  EXPECT_EQ(toolkit().vibrations(), 0);
  EXPECT_FALSE(navigate("gmsg://x/vibrate", NavigationType::Other, By::User));
  EXPECT_FALSE(*page().decide(URLRequest(*URL::create("gmsg://x/vibrate")), NavigationType::Other,
                              platform::NavigationAction{.userGesture = true}));
  EXPECT_EQ(toolkit().vibrations(), 1);

  // A name the delegate does not handle goes to the message centre, later.
  std::vector<platform::Notification> posted;
  GADNotificationCenter::defaultCenter().addObserver(this, "appEvent", nullptr,
                                                     [&](const platform::Notification& n) { posted.push_back(n); });
  EXPECT_FALSE(navigate("gmsg://x/appEvent?name=level&info=2"));
  EXPECT_TRUE(posted.empty());
  ASSERT_TRUE(runUntil([&] { return !posted.empty(); }));
  EXPECT_EQ(posted[0].object, webView.get());
  EXPECT_EQ(posted[0].userInfo.find("name")->asString() ? *posted[0].userInfo.find("name")->asString() : "", "level");
  GADNotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(GADWebViewDelegateTest, CloseGivesBackOnlyAFullScreenAdScreen) {
  auto plain = std::make_shared<platform::ViewController>();
  delegate->setViewController(plain.get());
  EXPECT_FALSE(navigate("gmsg://x/close"));
  auto closable = std::make_shared<ClosableScreen>();
  delegate->setViewController(closable.get());
  EXPECT_FALSE(navigate("gmsg://x/close"));
  EXPECT_FALSE(navigate("vaver://closecanvas"));
  EXPECT_EQ(closable->relinquished, 2);
}

TEST_F(GADWebViewDelegateTest, TouchesReachTheSignalsProviderWithMinusOneForWhatIsMissing) {
  auto lastTouch = [] {
    auto signal = GADSignalsProvider::shared().requestSignal();
    EXPECT_TRUE(signal);
    auto record = GADSignalsProvider::decodeSignal(signal->substr(3));
    EXPECT_TRUE(record);
    return record ? std::vector<int>{record->lastX, record->lastY, record->lastDuration} : std::vector<int>{};
  };
  EXPECT_FALSE(navigate("gmsg://x/touch?tx=12&ty=%20-7px&td=300"));
  EXPECT_EQ(lastTouch(), (std::vector<int>{12, -7, 300}));
  EXPECT_FALSE(navigate("gmsg://x/touch?tx=5"));
  EXPECT_EQ(lastTouch(), (std::vector<int>{5, -1, -1}));
  EXPECT_EQ(GADSignalsProvider::shared().touchCount(), 2u);
}

TEST_F(GADWebViewDelegateTest, IntegerReadingOfPageValues) {
  const Dictionary values{{"blank", "  42abc"}, {"plus", "+8"},          {"minus", "-15"},
                          {"none", "abc"},      {"empty", ""},           {"huge", "99999999999999999999"},
                          {"tiny", "-99999999999999999999"}, {"number", 17}, {"array", platform::Value::Array{}}};
  const struct {
    const char* key;
    int expected;
  } cases[] = {{"blank", 42}, {"plus", 8},         {"minus", -15},       {"none", 0},   {"empty", 0},
               {"huge", INT_MAX}, {"tiny", INT_MIN}, {"number", 17}, {"array", 0}, {"absent", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(GADWebViewDelegate::intForKeyFromDictionary(c.key, values), c.expected);
  }
  EXPECT_EQ(GADWebViewDelegate::intForKeyFromDictionary("x", std::nullopt), -1);
}

TEST_F(GADWebViewDelegateTest, CanOpenURLsAsksForEachTextAndAnswersThePage) {
  std::vector<std::string> asked;
  platform::Application::shared().setCanOpenURLForTesting([&](const std::string& url) {
    asked.push_back(url);
    return url == "a";
  });
  EXPECT_FALSE(navigate("gmsg://x/canOpenURLs?urls=a,b"));
  EXPECT_EQ(asked, (std::vector<std::string>{"a", "b"}));
  const auto scripts = page().evaluatedScripts();
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_EQ(scripts[0], *GADNotificationCenter::scriptForJSNotification(
                            "openableURLs", Dictionary{{"a", true}, {"b", false}}));

  // Each text is a lookup on the desktop: a page gets a bounded number.
  asked.clear();
  std::string many;
  for (int i = 0; i < 500; ++i) many += (i ? "," : "") + std::string("s") + std::to_string(i) + ":";
  EXPECT_FALSE(navigate("gmsg://x/canOpenURLs?urls=" + many));
  EXPECT_EQ(asked.size(), GADWebViewDelegate::kMaximumCanOpenURLs);
}

TEST_F(GADWebViewDelegateTest, EvalInOpenerRunsInTheOpeningPageLaterAndAnswersTheAskingPage) {
  // Without an opening page nothing runs anywhere.
  EXPECT_FALSE(navigate("gmsg://x/evalInOpener?js=1%2B1"));
  platform::RunLoop::main().drain();
  EXPECT_TRUE(page().evaluations().empty());

  auto opening = platform::View::make<WebView>(platform::Rect(0, 0, 320, 50));
  delegate->setOpeningWebView(opening.get());
  delegate->admitOpenerMessagesFrom(*webView);
  const std::string token = "&token=" + OpenerToken::of(page());
  auto& openingPage = *HeadlessWebViewPeer::of(*opening);
  EXPECT_FALSE(navigate("gmsg://x/evalInOpener?js=document.title" + token));
  EXPECT_TRUE(openingPage.evaluations().empty());  // not inside the decision
  ASSERT_TRUE(runUntil([&] { return !openingPage.evaluations().empty(); }));
  EXPECT_EQ(openingPage.evaluatedScripts(), (std::vector<std::string>{GADWebViewDelegate::openerScript("document.title")}));
  openingPage.completeEvaluation(0, "vThe title");
  ASSERT_TRUE(runUntil([&] { return !page().evaluations().empty(); }));
  EXPECT_EQ(page().evaluatedScripts()[0], *GADNotificationCenter::scriptForJSNotification(
                                              "evalJavaScriptInOpenerResult", Dictionary{{"result", "The title"}}));
  // An answer past the bound never reaches the asking page.
  EXPECT_FALSE(navigate("gmsg://x/evalInOpener?js=big" + token));
  ASSERT_TRUE(runUntil([&] { return openingPage.evaluations().size() == 2; }));
  openingPage.completeEvaluation(1, "v" + std::string(GADContentPolicy::kMaximumScriptAnswerBytes + 1, 'x'));
  ASSERT_TRUE(runUntil(
      [&] { return GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageSize) == 1; }));
  platform::RunLoop::main().drain();
  EXPECT_EQ(page().evaluations().size(), 1u);
  // The opening page is not retained.
  opening.reset();
  EXPECT_EQ(delegate->openingWebView(), nullptr);
}

// The opening page bounds its answer before it is sent: what the script
// answers, read back.
TEST_F(GADWebViewDelegateTest, TheOpenersAnswerIsBoundedInThePageThatGivesIt) {
  EXPECT_EQ(GADWebViewDelegate::openerAnswer("v42"), "42");
  EXPECT_EQ(GADWebViewDelegate::openerAnswer("v"), "");
  EXPECT_EQ(GADWebViewDelegate::openerAnswer("n"), "");
  EXPECT_EQ(GADWebViewDelegate::openerAnswer(std::nullopt), "") << "a script that failed";
  EXPECT_EQ(GADWebViewDelegate::openerAnswer("t8000000"), std::nullopt);
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageSize), 1);
  const std::string script = GADWebViewDelegate::openerScript("'\"</script>'.repeat(2)");
  EXPECT_NE(script.find("(0,eval)([\"'\\\"</script>'.repeat(2)\"][0])"), std::string::npos) << script;
  EXPECT_NE(script.find(std::to_string(GADContentPolicy::kMaximumScriptAnswerBytes)), std::string::npos);
}

// The opening page may have redefined any global and prototype: past the
// evaluation, the script names none of them, and tells values apart with
// `typeof` alone (the window tests run it against such a page).
TEST_F(GADWebViewDelegateTest, TheOpenerScriptCallsNothingAPageCanRedefine) {
  const std::string script = GADWebViewDelegate::openerScript("");
  for (const char* name : {"String", "JSON", "Array", "Object", "Symbol", "Number", "toString", "valueOf",
                           "toPrimitive", "undefined", "null", "call", "apply", "slice", "substr"})
    EXPECT_EQ(script.find(name), std::string::npos) << name << " in " << script;
  EXPECT_NE(script.find("typeof r"), std::string::npos) << script;
  EXPECT_NE(script.find("catch(e){return 'n';}"), std::string::npos) << "what the page throws is no value";
}

// The token is the main frame's alone: WebKit injects the script that holds
// it into main-frame documents only, and each delegate draws its own.
TEST_F(GADWebViewDelegateTest, TheOpenerTokenGoesToTheMainFrameAloneAndIsDrawnAfresh) {
  EXPECT_TRUE(page().mainFrameScripts().empty()) << "no page is admitted unless its screen says so";
  delegate->admitOpenerMessagesFrom(*webView);
  ASSERT_EQ(page().mainFrameScripts().size(), 1u);
  const std::string token = OpenerToken::of(page());
  EXPECT_EQ(token.size(), 32u);
  EXPECT_EQ(page().mainFrameScripts()[0], GADWebViewDelegate::openerFunctionScript(token));
  EXPECT_NE(page().mainFrameScripts()[0].find("window.ZOVO_EvalInOpener=function(js)"), std::string::npos);
  GADWebViewDelegate other;
  auto otherView = platform::View::make<WebView>(platform::Rect(0, 0, 320, 50));
  other.admitOpenerMessagesFrom(*otherView);
  EXPECT_NE(OpenerToken::of(*HeadlessWebViewPeer::of(*otherView)), token);
}

// A client load starts the count of pages afresh: its first page is the
// client's; what the page navigates to after it is the page's.
TEST_F(GADWebViewDelegateTest, OnlyTheFirstPageOfTheClientsLoadReachesTheOpener) {
  auto opening = platform::View::make<WebView>(platform::Rect(0, 0, 320, 50));
  delegate->setOpeningWebView(opening.get());
  delegate->admitOpenerMessagesFrom(*webView);
  const std::string message = "gmsg://x/evalInOpener?js=1&token=" + OpenerToken::of(page());
  auto& openingPage = *HeadlessWebViewPeer::of(*opening);
  webView->loadHTMLStringBaseURL("<p>app</p>", std::nullopt);
  page().start();
  EXPECT_FALSE(navigate(message));
  ASSERT_TRUE(runUntil([&] { return openingPage.evaluations().size() == 1; }));
  page().start();  // the page went on to another
  EXPECT_FALSE(navigate(message));
  platform::RunLoop::main().drain();
  EXPECT_EQ(openingPage.evaluations().size(), 1u);
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener), 1);
  webView->loadHTMLStringBaseURL("<p>app again</p>", std::nullopt);
  page().start();
  EXPECT_FALSE(navigate(message));
  ASSERT_TRUE(runUntil([&] { return openingPage.evaluations().size() == 2; }));
}

// The opener is the ad page as it was when the screen opened: once its web
// view loads another page, there is none.
TEST_F(GADWebViewDelegateTest, TheOpenerGoesWhenItsWebViewLoadsAnotherPage) {
  auto opening = platform::View::make<WebView>(platform::Rect(0, 0, 320, 50));
  opening->loadHTMLStringBaseURL("<p>ad</p>", std::nullopt);
  delegate->setOpeningWebView(opening.get());
  EXPECT_EQ(delegate->openingWebView(), opening.get());
  opening->loadHTMLStringBaseURL("<p>next ad</p>", std::nullopt);
  EXPECT_EQ(delegate->openingWebView(), nullptr);
  delegate->admitOpenerMessagesFrom(*webView);
  EXPECT_FALSE(navigate("gmsg://x/evalInOpener?js=1&token=" + OpenerToken::of(page())));
  platform::RunLoop::main().drain();
  EXPECT_TRUE(HeadlessWebViewPeer::of(*opening)->evaluations().empty());
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener), 1);
}

// The opener's answer is for the page that asked: once the web view has gone
// on to another page, by the page's navigation or the client's load, the
// answer is dropped.
TEST_F(GADWebViewDelegateTest, TheOpenersAnswerReachesNoPageTheAskingOneWentOnTo) {
  auto opening = platform::View::make<WebView>(platform::Rect(0, 0, 320, 50));
  delegate->setOpeningWebView(opening.get());
  delegate->admitOpenerMessagesFrom(*webView);
  auto& openingPage = *HeadlessWebViewPeer::of(*opening);
  const std::string message = "gmsg://x/evalInOpener?js=secret&token=" + OpenerToken::of(page());
  page().start();
  EXPECT_FALSE(navigate(message));
  ASSERT_TRUE(runUntil([&] { return openingPage.evaluations().size() == 1; }));
  page().start();  // the page went on to another before the answer came
  openingPage.completeEvaluation(0, "vthe banner's secret");
  platform::RunLoop::main().drain();
  EXPECT_TRUE(page().evaluations().empty());

  // Asked, and the client loads another page before the script runs.
  webView->loadHTMLStringBaseURL("<p>again</p>", std::nullopt);
  page().start();
  EXPECT_FALSE(navigate(message));
  page().start();
  platform::RunLoop::main().drain();
  EXPECT_EQ(openingPage.evaluations().size(), 1u) << "nothing runs for a page that has gone";
}

TEST_F(GADWebViewDelegateTest, AnEvalInOpenerPendingWhenItsDelegateGoesNeverRuns) {
  auto opening = platform::View::make<WebView>(platform::Rect(0, 0, 320, 50));
  delegate->setOpeningWebView(opening.get());
  delegate->admitOpenerMessagesFrom(*webView);
  EXPECT_FALSE(navigate("gmsg://x/evalInOpener?js=1&token=" + OpenerToken::of(page())));
  webView->setDelegate(nullptr);
  delegate.reset();
  platform::RunLoop::main().drain();
  EXPECT_TRUE(HeadlessWebViewPeer::of(*opening)->evaluations().empty());
}

TEST_F(GADWebViewDelegateTest, TheOrientationScriptAfterEveryLoad) {
  const struct {
    int orientation;
    const char* value;
  } cases[] = {{1, "0"}, {2, "180"}, {3, "90"}, {4, "-90"}};
  for (const auto& c : cases) {
    // The documented script as written, inside a try whose value is
    // undefined: the page's handler answers nothing back.
    EXPECT_EQ(GADWebViewDelegate::orientationScript(c.orientation),
              std::string("try{window.__defineGetter__('orientation',function(){return ") + c.value +
                  ";});window.onorientationchange();\n}catch(e){}void 0;");
  }
  EXPECT_FALSE(GADWebViewDelegate::orientationScript(0));
  EXPECT_FALSE(GADWebViewDelegate::orientationScript(5));

  platform::Screen::setMainForTesting(std::make_shared<LandscapeScreen>());
  page().finish();
  page().finish();
  EXPECT_EQ(page().evaluatedScripts(), (std::vector<std::string>(2, *GADWebViewDelegate::orientationScript(3))));
  platform::Screen::setMainForTesting(nullptr);
}

class TrackingTest : public GADWebViewDelegateTest {
 protected:
  void SetUp() override {
    GADWebViewDelegateTest::SetUp();
    server = std::make_unique<adnet::LoopbackServer>();
  }
  void TearDown() override {
    server.reset();
    GADWebViewDelegateTest::TearDown();
  }
  std::string escaped(const std::string& path) { return GADNetworkUtilities::encodeURL(server->url(path)); }
  std::unique_ptr<adnet::LoopbackServer> server;
};

TEST_F(TrackingTest, ClickIsTrackedWithItsClickSignalAndHttpTrackWithout) {
  server->setAnswer("/click", adnet::Answer{});
  server->setAnswer("/track", adnet::Answer{});
  EXPECT_FALSE(navigateByUser("gmsg://x/click?u=" + escaped("/click?ai=CLICK1")));
  ASSERT_TRUE(runUntil([&] { return delegate->tracker() && delegate->tracker()->hasTracked(); }));
  ASSERT_EQ(server->requestCount("/click"), 1u);
  // The signal is appended as a bare query item: "&" then the text, no "=".
  const std::string query = *server->requests()[0].query;
  ASSERT_TRUE(query.starts_with("ai=CLICK1&sg=")) << query;
  auto record = GADSignalsProvider::decodeSignal(query.substr(std::string("ai=CLICK1&sg=").size()));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->kind, 2);

  GADClickTracker* first = delegate->tracker();
  EXPECT_FALSE(navigate("gmsg://x/httpTrack?u=" + escaped("/track?ai=CLICK2")));
  EXPECT_EQ(delegate->tracker(), first);  // one tracker, reused
  ASSERT_TRUE(runUntil([&] { return server->requestCount("/track") == 1 && delegate->tracker()->hasTracked(); }));
  EXPECT_EQ(server->requests().back().query, "ai=CLICK2");
  EXPECT_FALSE(GADClickTracker::activeTrackings());
}

TEST_F(TrackingTest, ASecondClickCancelsTheFirstAndAClickWithoutAURLDoesNothing) {
  adnet::Answer slow;
  slow.delaySeconds = 30;
  server->setAnswer("/slow", slow);
  server->setAnswer("/fast", adnet::Answer{});
  EXPECT_FALSE(navigateByUser("gmsg://x/click?u=" + escaped("/slow")));
  ASSERT_TRUE(runUntil([&] { return server->requestCount("/slow") == 1; }));
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 1);
  // No "u", or one that is no URL: the running tracking goes on.
  EXPECT_FALSE(navigateByUser("gmsg://x/click"));
  EXPECT_FALSE(navigateByUser("gmsg://x/click?u=%20"));
  EXPECT_EQ(delegate->tracker()->trackingURL()->path(), "/slow");
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 1);

  EXPECT_FALSE(navigateByUser("gmsg://x/click?u=" + escaped("/fast")));
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 1);  // the first was abandoned
  ASSERT_TRUE(runUntil([&] { return delegate->tracker()->hasTracked(); }));
  EXPECT_EQ(delegate->tracker()->trackingURL()->path(), "/fast");
  EXPECT_EQ(GADClickTracker::trackingCountForTesting(), 0);
}

}  // namespace

namespace {

// An ad page's dialogs are dismissed at once and logged once per page; a
// page that stops answering is ended; a full-screen screen whose page has
// gone closes, and any other page's owner is told instead.
TEST_F(GADWebViewDelegateTest, DialogsAreDismissedHungPagesEndedAndEndedPagesCloseTheirScreen) {
  EXPECT_EQ(page().showDialog(platform::PageDialog::Alert, "You won!"), false);
  EXPECT_EQ(page().showDialog(platform::PageDialog::Confirm, "Claim it?"), false);
  EXPECT_EQ(page().showDialog(platform::PageDialog::Prompt, "Name?"), false);
  EXPECT_EQ(page().showDialog(platform::PageDialog::BeforeUnload, "Stay?"), false);
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Dialog), 4);
  const auto dialogLines = [&] {
    return std::count_if(logLines().begin(), logLines().end(),
                         [](const std::string& line) { return line.find("no dialogs") != std::string::npos; });
  };
  EXPECT_EQ(dialogLines(), 1) << "one line per page";
  page().start();
  page().showDialog(platform::PageDialog::Alert, "Again");
  EXPECT_EQ(dialogLines(), 2) << "a new page logs again";

  page().reportHang();
  EXPECT_EQ(page().terminations(), 1);

  auto closable = std::make_shared<ClosableScreen>();
  delegate->setViewController(closable.get());
  page().endProcess(platform::WebProcessTermination::Crashed);
  EXPECT_EQ(closable->relinquished, 1);
  int told = 0;
  delegate->setWebProcessTerminationHandler([&] { ++told; });
  page().endProcess(platform::WebProcessTermination::ExceededMemoryLimit);
  EXPECT_EQ(told, 1);
  EXPECT_EQ(closable->relinquished, 1) << "the handler's owner decides";
}

}  // namespace
