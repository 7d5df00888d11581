// Ad web views on real WebKit (under xvfb-run): the orientation a page
// reads after each load, messages from a page to the client and the
// client's answers back through the page's receiving function.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADWebViewDelegate.h"
#include "platform/Application.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "tests/e2e/PageScript.h"
#include "tests/e2e/ResidentMemory.h"

using platform::RunLoop;
using platform::URL;
using platform::WebView;

namespace {

// Counts finished loads on top of the ad delegate's own behaviour.
class CountingDelegate : public GADWebViewDelegate {
 public:
  int finished = 0;
  void webViewDidFinishLoad(WebView& webView) override {
    GADWebViewDelegate::webViewDidFinishLoad(webView);
    ++finished;
  }
};

// The page side of the message channel: what ZOVO_ReceiveMessage got.
constexpr const char* kReceiver =
    "<script>window.received = [];"
    "function ZOVO_ReceiveMessage(name, data) { received.push(name + ' ' + JSON.stringify(data)); }"
    "window.onorientationchange = function() { document.title = 'turned ' + window.orientation; };"
    "</script>";

class AdWebViewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GADNotificationCenter::resetDefaultForTesting();
    root = platform::View::create(platform::Rect(0, 0, 320, 100));
    window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_child(window, static_cast<GtkWidget*>(root->peer()->toolkitHandle()));
    gtk_window_present(window);
  }
  void TearDown() override {
    for (auto& [view, delegate] : pages) view->setDelegate(nullptr);
    pages.clear();
    gtk_window_set_child(window, nullptr);
    root.reset();
    gtk_window_destroy(window);
    platform::Application::shared().setCanOpenURLForTesting({});
  }
  bool runUntil(const std::function<bool()>& condition, double seconds = 15) {
    return RunLoop::main().runUntil(condition, seconds);
  }
  // A shown page with its own ad delegate, which `beforeLoad` may set up.
  using Setup = std::function<void(WebView&, CountingDelegate&)>;
  std::pair<std::shared_ptr<WebView>, CountingDelegate*> open(const std::string& body, double y = 0,
                                                               const Setup& beforeLoad = {}) {
    auto view = WebView::create(platform::Rect(0, y, 320, 50));
    auto delegate = std::make_unique<CountingDelegate>();
    view->setDelegate(delegate.get());
    root->addSubview(view);
    if (beforeLoad) beforeLoad(*view, *delegate);
    view->loadHTMLStringBaseURL(std::string("<html><head>") + kReceiver + "</head><body>" + body + "</body></html>",
                                URL::create("http://127.0.0.1:8642/ad"));
    CountingDelegate* raw = delegate.get();
    EXPECT_TRUE(runUntil([&] { return raw->finished > 0; }));
    pages.emplace_back(view, std::move(delegate));
    return {view, raw};
  }
  // A web application's page, as its screen sets it up: `opening` is its
  // opener, and its main frame gets the function that reaches it.
  std::pair<std::shared_ptr<WebView>, CountingDelegate*> openWebApp(const std::string& body, WebView& opening) {
    return open(body, 50, [&](WebView& view, CountingDelegate& delegate) {
      delegate.setOpeningWebView(&opening);
      delegate.admitOpenerMessagesFrom(view);
    });
  }
  std::optional<std::string> evaluate(WebView& view, const std::string& script) {
    return PageScript::evaluate(view, script);
  }
  // Waits until the page's script `condition` is true.
  bool pageHolds(WebView& view, const std::string& condition) {
    return runUntil([&] { return evaluate(view, condition) == "true"; });
  }
  // The same, keeping in `peak` the most this process held resident at any
  // turn of the wait (a value taken and freed within a turn is freed into
  // the sanitizer's quarantine, which stays resident).
  bool pageHoldsWatchingMemory(WebView& view, const std::string& condition, std::int64_t& peak) {
    return runUntil([&] {
      peak = std::max(peak, ResidentMemory::bytes());
      return evaluate(view, condition) == "true";
    });
  }

  GtkWindow* window = nullptr;
  std::shared_ptr<platform::View> root;
  std::vector<std::pair<std::shared_ptr<WebView>, std::unique_ptr<CountingDelegate>>> pages;
};

TEST_F(AdWebViewWindowTest, EachLoadTellsThePageItsOrientationAndRunsItsHandler) {
  auto [view, delegate] = open("<p>ad</p>");
  ASSERT_TRUE(pageHolds(*view, "document.title === 'turned 0'"));
  EXPECT_EQ(evaluate(*view, "window.orientation"), "0");
}

TEST_F(AdWebViewWindowTest, AMessageFromThePageReachesTheCentreLaterWithItsWebView) {
  std::vector<platform::Notification> posted;
  GADNotificationCenter::defaultCenter().addObserver(
      this, "appEvent", nullptr, [&](const platform::Notification& n) { posted.push_back(n); });
  auto [view, delegate] = open("<p>ad</p>");
  evaluate(*view, "location.href = 'gmsg://ads.example.test/appEvent?name=level&info=2'; 0");
  ASSERT_TRUE(runUntil([&] { return !posted.empty(); }));
  EXPECT_EQ(posted[0].object, view.get());
  EXPECT_EQ(posted[0].userInfo, (platform::Dictionary{{"name", "level"}, {"info", "2"}}));
  EXPECT_EQ(evaluate(*view, "location.href"), "http://127.0.0.1:8642/ad");
  GADNotificationCenter::defaultCenter().removeObserver(this);
}

// A message as WebKit writes it, with characters a stricter reading of URLs
// refused: it is heard; its one pair that is no escape is dropped.
TEST_F(AdWebViewWindowTest, AMessageWithCharactersWebKitLeavesAsWrittenIsHeardLessItsBadPair) {
  std::vector<platform::Notification> posted;
  GADNotificationCenter::defaultCenter().addObserver(
      this, "appEvent", nullptr, [&](const platform::Notification& n) { posted.push_back(n); });
  auto [view, delegate] = open("<p>ad</p>");
  evaluate(*view, "location.href = 'gmsg://ads.example.test/appEvent?name=a|b^{c}`d&bad=100%&info=2#x#y'; 0");
  const bool heard = runUntil([&] { return !posted.empty(); }, 5);
  GADNotificationCenter::defaultCenter().removeObserver(this);  // `posted` goes with this test
  ASSERT_TRUE(heard) << "the message was lost";
  EXPECT_EQ(posted[0].userInfo, (platform::Dictionary{{"name", "a|b^{c}`d"}, {"info", "2"}}));
}

TEST_F(AdWebViewWindowTest, ThePageReceivesItsAnswerAsAnEventWithJSONData) {
  platform::Application::shared().setCanOpenURLForTesting([](const std::string& url) { return url == "tel:"; });
  auto [view, delegate] = open("<p>ad</p>");
  evaluate(*view, "location.href = 'gmsg://ads.example.test/canOpenURLs?urls=tel:,zzz:'; 0");
  ASSERT_TRUE(pageHolds(*view, "received.length > 0"));
  EXPECT_EQ(evaluate(*view, "received[0]"), "openableURLs {\"tel:\":true,\"zzz:\":false}");
}

// The one pair that may talk: a web application's page (its delegate is
// given the opening page) and the ad page that opened it. Pages without an
// opener reach nothing.
TEST_F(AdWebViewWindowTest, EvalInOpenerRunsInTheOpeningPageAndAnswersTheAskingOne) {
  auto [opening, openingDelegate] = open("<script>var secret = 'from the banner';</script>");
  auto [webApp, webAppDelegate] = openWebApp("<p>web application</p>", *opening);
  evaluate(*webApp, "ZOVO_EvalInOpener('secret'); 0");
  ASSERT_TRUE(pageHolds(*webApp, "received.length > 0"));
  EXPECT_EQ(evaluate(*webApp, "received[0]"), "evalJavaScriptInOpenerResult {\"result\":\"from the banner\"}");
  EXPECT_EQ(evaluate(*opening, "received.length"), "0");
  // Statements run as the page's own; an answer of millions of characters
  // is stopped in the opening page and never given.
  evaluate(*webApp, "ZOVO_EvalInOpener('var n=2;n*21'); 0");
  ASSERT_TRUE(pageHolds(*webApp, "received.length > 1"));
  EXPECT_EQ(evaluate(*webApp, "received[1]"), "evalJavaScriptInOpenerResult {\"result\":\"42\"}");
  const int refusals = GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageSize);
  evaluate(*webApp, "ZOVO_EvalInOpener(\"'x'.repeat(8e6)\"); 0");
  ASSERT_TRUE(runUntil([&] { return GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageSize) > refusals; }));
  RunLoop::main().runFor(0.3);
  EXPECT_EQ(evaluate(*webApp, "received.length"), "2");

  auto [landing, landingDelegate] = open("<p>landing</p>", 50);
  evaluate(*landing, "location.href = 'gmsg://ads.example.test/evalInOpener?js=secret%3D%27read%27'; 0");
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(evaluate(*landing, "received.length"), "0");
  EXPECT_EQ(evaluate(*opening, "secret"), "from the banner");
}

// A subframe of another origin inside the web application's first page,
// and a later page the application goes to, try to reach the ad page that
// opened it: both are refused, and the first page's main frame still
// reaches it.
TEST_F(AdWebViewWindowTest, EvalInOpenerIsHeardFromTheFirstPagesMainFrameAlone) {
  adnet::LoopbackServer server;  // another port: another origin
  adnet::Answer frame;
  frame.headers.emplace_back("Content-Type", "text/html");
  frame.body =
      "<script>try { top.ZOVO_EvalInOpener(\"secret = 'from the top'\"); } catch (e) {}"
      "location.href = 'gmsg://ads.example.test/evalInOpener?js=' + encodeURIComponent(\"secret = 'framed'\");"
      "</script>";
  server.setAnswer("/frame", frame);
  adnet::Answer later;
  later.headers.emplace_back("Content-Type", "text/html");
  later.body = "<script>ZOVO_EvalInOpener(\"secret = 'later'\");</script>";
  server.setAnswer("/later", later);

  auto [opening, openingDelegate] = open("<script>var secret = 'from the banner';</script>");
  auto [webApp, webAppDelegate] = openWebApp("<p>web application</p>", *opening);
  const int refused = GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener);
  evaluate(*webApp, "var f = document.createElement('iframe'); f.src = '" + server.url("/frame") +
                        "'; document.body.appendChild(f); 0");
  ASSERT_TRUE(runUntil([&] { return GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener) > refused; }));
  EXPECT_EQ(server.requestCount("/frame"), 1u);
  evaluate(*webApp, "ZOVO_EvalInOpener('secret'); 0");
  ASSERT_TRUE(pageHolds(*webApp, "received.length > 0"));
  EXPECT_EQ(evaluate(*webApp, "received[0]"), "evalJavaScriptInOpenerResult {\"result\":\"from the banner\"}");

  evaluate(*webApp, "location.href = '" + server.url("/later") + "'; 0");
  ASSERT_TRUE(runUntil([&] { return GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Opener) > refused + 1; }));
  RunLoop::main().runFor(0.3);
  EXPECT_EQ(evaluate(*opening, "secret"), "from the banner");
}

// ------------------------------------------------ what a page gives back
// The client's scripts call a page's handlers; whatever those return or
// throw stays in the page's process. Forty million characters: far more
// than this process may take on for a page, and few enough that the ad
// pages' shared process, which the window tests fill with such strings one
// after another, stays under its memory limit (past it WebKit ends it).
constexpr const char* kHuge = "'x'.repeat(4e7)";
constexpr std::int64_t kHugeBytes = 40'000'000;
// What this process may grow by meanwhile: a window test's own allocations
// (the sanitizers' among them) move it by tens of megabytes; a value that
// crossed came with its copies (the engine's, its text, ours), about three
// times its size.
constexpr std::int64_t kAllowedGrowthBytes = kHugeBytes + kHugeBytes / 4;

std::string returnsThenThrowsHuge(const std::string& handler) {
  return "window.calls = 0; window." + handler + " = function() { if (++calls % 2) return " + kHuge + "; throw " +
         kHuge + "; }; 0";
}

TEST_F(AdWebViewWindowTest, WhatAnOrientationHandlerReturnsOrThrowsStaysInThePage) {
  auto [view, delegate] = open("<p>ad</p>");
  ASSERT_TRUE(pageHolds(*view, "document.title === 'turned 0'"));
  evaluate(*view, returnsThenThrowsHuge("onorientationchange"));
  const std::int64_t before = ResidentMemory::settledBytes();
  std::int64_t peak = before;
  GADWebViewDelegate::notifyWebViewOfOrientationChange(*view, 1);
  GADWebViewDelegate::notifyWebViewOfOrientationChange(*view, 1);
  // A page's scripts answer in order: once this one has, both events' have.
  ASSERT_TRUE(pageHoldsWatchingMemory(*view, "calls === 2", peak));
  const std::int64_t grown = std::max(peak, ResidentMemory::bytes()) - before;
  RecordProperty("residentGrowthBytes", std::to_string(grown));
  EXPECT_LT(grown, kAllowedGrowthBytes) << grown << " bytes more resident";
  EXPECT_EQ(evaluate(*view, "window.orientation"), "0");
}

TEST_F(AdWebViewWindowTest, WhatAMessageHandlerReturnsOrThrowsStaysInThePage) {
  auto [view, delegate] = open("<p>ad</p>");
  evaluate(*view, returnsThenThrowsHuge("ZOVO_ReceiveMessage"));
  const std::int64_t before = ResidentMemory::settledBytes();
  std::int64_t peak = before;
  GADNotificationCenter::postJSNotificationUserInfoWebView("onshow", std::nullopt, view.get());
  GADNotificationCenter::postJSNotificationUserInfoWebView("onhide", platform::Dictionary{{"a", "b"}}, view.get());
  ASSERT_TRUE(pageHoldsWatchingMemory(*view, "calls === 2", peak));
  const std::int64_t grown = std::max(peak, ResidentMemory::bytes()) - before;
  RecordProperty("residentGrowthBytes", std::to_string(grown));
  EXPECT_LT(grown, kAllowedGrowthBytes) << grown << " bytes more resident";
}

// An ad page may redefine every global and prototype before a web
// application asks it something: the answer is still bounded in the page,
// a primitive still answers as text, and an object answers as no value.
constexpr const char* kRedefinedGlobals =
    "<script>var huge = function() { return 'x'.repeat(4e7); };"
    "var bait = { length: 0, toString: huge, valueOf: huge }; bait[Symbol.toPrimitive] = huge;"
    "var big = huge();"
    "String.prototype.toString = huge; String.prototype.valueOf = huge;"
    "Number.prototype.toString = huge; Number.prototype.valueOf = huge; Boolean.prototype.toString = huge;"
    "Array.prototype.toString = huge; Array.prototype.join = huge;"
    "Object.prototype.toString = huge; Object.prototype.valueOf = huge; Object.prototype[Symbol.toPrimitive] = huge;"
    "window.String = function() { return bait; }; window.JSON = { stringify: huge, parse: huge };"
    "window.Array = function() { return bait; }; window.Object = function() { return bait; };"
    "</script>";

TEST_F(AdWebViewWindowTest, EvalInOpenerHoldsItsBoundWhenTheOpeningPageRedefinesItsGlobals) {
  auto [opening, openingDelegate] = open(kRedefinedGlobals);
  auto [webApp, webAppDelegate] = openWebApp("<p>web application</p>", *opening);
  const std::int64_t before = ResidentMemory::settledBytes();
  std::int64_t peak = before;
  const auto ask = [&](const std::string& js) { evaluate(*webApp, "ZOVO_EvalInOpener(" + js + "); 0"); };
  ask("'bait'");
  ASSERT_TRUE(pageHoldsWatchingMemory(*webApp, "received.length === 1", peak));
  EXPECT_EQ(evaluate(*webApp, "received[0]"), "evalJavaScriptInOpenerResult {\"result\":\"\"}");
  ask("'6*7'");
  ASSERT_TRUE(pageHoldsWatchingMemory(*webApp, "received.length === 2", peak));
  EXPECT_EQ(evaluate(*webApp, "received[1]"), "evalJavaScriptInOpenerResult {\"result\":\"42\"}");
  const int refusals = GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageSize);
  ask("'big'");
  ASSERT_TRUE(runUntil([&] {
    peak = std::max(peak, ResidentMemory::bytes());
    return GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageSize) > refusals;
  }));
  // The page's own eval answers for it: an object, which is no value.
  evaluate(*opening, "window.eval = function() { return bait; }; 0");
  ask("'\\'abc\\''");
  ASSERT_TRUE(pageHoldsWatchingMemory(*webApp, "received.length === 3", peak));
  EXPECT_EQ(evaluate(*webApp, "received[2]"), "evalJavaScriptInOpenerResult {\"result\":\"\"}");
  const std::int64_t grown = std::max(peak, ResidentMemory::bytes()) - before;
  RecordProperty("residentGrowthBytes", std::to_string(grown));
  EXPECT_LT(grown, kAllowedGrowthBytes) << grown << " bytes more resident";
}

}  // namespace
