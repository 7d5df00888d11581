#include "platform/WebView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/support/PlatformTest.h"

using platform::NavigationType;
using platform::URL;
using platform::URLRequest;
using platform::WebView;

namespace {

class Recorder : public platform::WebViewDelegate {
 public:
  std::vector<std::string> events;
  bool allow = true;
  std::function<void()> duringDecision;
  bool webViewShouldStartLoadWithRequestNavigationType(WebView&, const URLRequest& request,
                                                       NavigationType type) override {
    events.push_back("decide " + request.url().absoluteString() + " " + std::to_string(static_cast<int>(type)));
    if (duringDecision) duringDecision();
    return allow;
  }
  void webViewDidStartLoad(WebView&) override { events.push_back("start"); }
  void webViewDidFinishLoad(WebView&) override { events.push_back("finish"); }
  void webViewDidFailLoadWithError(WebView&, const platform::Error& error) override {
    events.push_back("fail " + error.message);
  }
  bool showDialogs = true;
  bool webViewShouldShowPageDialog(WebView&, platform::PageDialog, const std::string& message) override {
    events.push_back("dialog " + message);
    return showDialogs;
  }
  bool endHungPages = false;
  void webViewWebProcessDidBecomeUnresponsive(WebView& view) override {
    events.push_back("unresponsive");
    if (endHungPages) view.terminateWebProcess();
  }
  void webViewWebProcessDidTerminate(WebView&, platform::WebProcessTermination reason) override {
    events.push_back("terminated " + std::to_string(static_cast<int>(reason)));
  }
};

class WebViewTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    webView = WebView::create(platform::Rect(0, 0, 320, 50));
    webView->setDelegate(&recorder);
    peer = platform::HeadlessWebViewPeer::of(*webView);
    ASSERT_NE(peer, nullptr);
  }
  std::shared_ptr<WebView> webView;
  platform::HeadlessWebViewPeer* peer = nullptr;
  Recorder recorder;
};

TEST_F(WebViewTest, LoadsReachThePeerAsAsked) {
  webView->loadHTMLStringBaseURL("<p>ad</p>", URL::create("http://ads.example.test/"));
  URLRequest request(*URL::create("http://ads.example.test/landing"));
  request.setValueForHTTPHeaderField("http://ads.example.test/ad", "Referer");
  webView->loadRequest(request);
  ASSERT_EQ(peer->loads().size(), 2u);
  EXPECT_EQ(peer->loads()[0].html, "<p>ad</p>");
  EXPECT_EQ(peer->loads()[0].baseURL->absoluteString(), "http://ads.example.test/");
  EXPECT_EQ(peer->loads()[1].request->valueForHTTPHeaderField("Referer"), "http://ads.example.test/ad");
}

// A page's title reaches assistive technologies as one line of bounded
// length, cut between characters.
TEST_F(WebViewTest, ThePagesTitleIsOneBoundedLine) {
  peer->changeTitle(" \tTwo\r\n\x7f lines\xc2\x85here \xff");
  EXPECT_EQ(webView->title(), "Two lines here");
  const std::string e = "\xc3\xa9";  // two bytes, one character
  std::string word;
  for (int i = 0; i < 100; ++i) word += e;
  peer->changeTitle(word);
  std::string cut;
  for (size_t i = 0; i + 1 < WebView::kMaximumTitleCharacters; ++i) cut += e;
  EXPECT_EQ(webView->title(), cut + "\u2026");
  peer->changeTitle(word.substr(0, 80 * e.size()));
  EXPECT_EQ(webView->title(), word.substr(0, 80 * e.size())) << "80 characters fit";
  EXPECT_EQ(WebView::boundedTitle(""), "");
}

TEST_F(WebViewTest, ThePagesEventsReachTheDelegateInOrder) {
  EXPECT_EQ(peer->decide(URLRequest(*URL::create("gmsg://x/click")), NavigationType::LinkClicked), true);
  recorder.allow = false;
  EXPECT_EQ(peer->decide(URLRequest(*URL::create("http://x/")), NavigationType::Other), false);
  peer->start();
  EXPECT_TRUE(webView->isLoading());
  peer->finish();
  peer->fail(platform::Error{"d", 1, "gone"});
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"decide gmsg://x/click 0", "decide http://x/ 5", "start",
                                                       "finish", "fail gone"}));
}

TEST_F(WebViewTest, AScriptResultArrivesLaterAndNeverAfterTheWebViewHasGone) {
  std::vector<std::optional<std::string>> results;
  webView->evaluateJavaScript("1+1", [&](std::optional<std::string> r) { results.push_back(r); });
  webView->evaluateJavaScript("late()", [&](std::optional<std::string> r) { results.push_back(r); });
  ASSERT_EQ(peer->evaluatedScripts(), (std::vector<std::string>{"1+1", "late()"}));
  peer->completeEvaluation(0, "2");
  EXPECT_TRUE(results.empty()) << "never inside the page's answer";
  ASSERT_TRUE(runUntil([&] { return !results.empty(); }));
  EXPECT_EQ(results[0], "2");
  peer->completeEvaluation(1, std::nullopt);
  webView.reset();
  platform::RunLoop::main().runFor(0.02);
  EXPECT_EQ(results.size(), 1u);
}

// A page replaced by the client's next load never answers into the page
// after it.
TEST_F(WebViewTest, AnAnswerFromAReplacedPageIsDropped) {
  std::vector<std::string> results;
  webView->loadHTMLStringBaseURL("<p>first ad</p>", std::nullopt);
  webView->evaluateJavaScript("first()", [&](std::optional<std::string> r) { results.push_back(r.value_or("-")); });
  webView->loadRequest(URLRequest(*URL::create("http://ads.example.test/second")));
  webView->evaluateJavaScript("second()", [&](std::optional<std::string> r) { results.push_back(r.value_or("-")); });
  peer->completeEvaluation(0, "from the first");
  peer->completeEvaluation(1, "from the second");
  ASSERT_TRUE(runUntil([&] { return !results.empty(); }));
  platform::RunLoop::main().runFor(0.02);
  EXPECT_EQ(results, std::vector<std::string>{"from the second"});
  EXPECT_EQ(webView->loadGeneration(), 2u);
}

TEST_F(WebViewTest, ADelegateMayLetItsWebViewGoInsideADecision) {
  std::weak_ptr<WebView> weak = webView;
  recorder.duringDecision = [&] { webView.reset(); };
  EXPECT_EQ(peer->decide(URLRequest(*URL::create("http://x/")), NavigationType::LinkClicked), true);
  EXPECT_TRUE(weak.expired()) << "released once the decision returned";
}

// One activation, one act: the first use takes it; it lasts a second; a
// script of ours ends it, and only a new activation brings one back.
TEST_F(WebViewTest, AnActivationServesOneActWithinItsTimeAndAScriptOfOursEndsIt) {
  auto& loop = platform::RunLoop::main();
  loop.useManualTimeForTesting();
  EXPECT_FALSE(webView->hasUserActivation());
  peer->pressByUser();
  EXPECT_TRUE(webView->hasUserActivation());
  EXPECT_TRUE(webView->consumeUserActivation());
  EXPECT_FALSE(webView->consumeUserActivation());
  EXPECT_FALSE(webView->hasUserActivation());

  peer->pressByUser();
  loop.advanceForTesting(WebView::kUserActivationSeconds * 1.1);
  EXPECT_FALSE(webView->consumeUserActivation());

  peer->pressByUser();
  webView->evaluateJavaScript("0");
  EXPECT_FALSE(webView->consumeUserActivation());
  peer->pressByUser();
  EXPECT_TRUE(webView->consumeUserActivation());
}

// Nobody decides for a page whose delegate has gone (its owner is tearing
// it down): it may only be emptied.
TEST_F(WebViewTest, WithoutADelegateOnlyTheEmptyPageLoads) {
  webView->setDelegate(nullptr);
  EXPECT_EQ(peer->decide(URLRequest(*URL::create("http://example.test/")), NavigationType::Other), false);
  EXPECT_EQ(peer->decideByUser(URLRequest(*URL::create("tel:123"))), false);
  EXPECT_EQ(peer->decide(URLRequest(*URL::create("about:blank")), NavigationType::Other), true);
  peer->finish();
}

}  // namespace

// A page that stops answering is found by the probe, under a deadline on
// the machine's clock, once per process; a page with a dialog up for its
// user is waiting, not hung.
TEST_F(WebViewTest, AProbeFindsAHungPageOnceAndADialogUpIsNoHang) {
  constexpr double kInterval = 0.02, kDeadline = 0.15;
  webView->setResponsivenessProbe(kInterval, kDeadline);
  platform::RunLoop::main().runFor(kDeadline * 3);
  EXPECT_GT(peer->probes(), 3);
  EXPECT_TRUE(recorder.events.empty()) << "an answering page is left alone";

  // A dialog the delegate lets show keeps the page from answering (what it
  // answered before the dialog came first).
  peer->setHung(true);
  platform::RunLoop::main().drain();
  EXPECT_EQ(peer->showDialog(platform::PageDialog::Confirm, "Sure?"), true);
  platform::RunLoop::main().runFor(kDeadline * 3);
  EXPECT_EQ(recorder.events, std::vector<std::string>{"dialog Sure?"});

  // A new page, still hung: found, reported once while it stays so.
  peer->start();
  recorder.events.clear();
  recorder.endHungPages = true;
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return !recorder.events.empty(); }, 2));
  platform::RunLoop::main().runFor(kDeadline * 3);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"unresponsive", "terminated 2"}));
  EXPECT_EQ(peer->terminations(), 1);

  // The next process answers; the toolkit's own report is no proof: the
  // page is asked at once, and answers.
  recorder.events.clear();
  recorder.endHungPages = false;
  platform::RunLoop::main().runFor(kDeadline * 3);
  EXPECT_TRUE(recorder.events.empty());
  webView->setResponsivenessProbe(60, kDeadline);  // none of its own in flight
  platform::RunLoop::main().runFor(kInterval * 5);
  const int asked = peer->probes();
  peer->reportHang();
  EXPECT_EQ(peer->probes(), asked + 1);
  platform::RunLoop::main().runFor(kDeadline * 3);
  EXPECT_TRUE(recorder.events.empty());
  webView->setResponsivenessProbe(0, 0);
  const int probes = peer->probes();
  platform::RunLoop::main().runFor(kInterval * 5);
  EXPECT_EQ(peer->probes(), probes) << "no probes once stopped";
}

// Our own loop stalled (a first sound loading its plugins, a busy machine)
// is no silence of the page's: the page's answer may be waiting in the
// loop's queue. Only time the loop kept turning counts towards the deadline.
TEST_F(WebViewTest, AStallOfOurOwnLoopIsNoHangOfThePage) {
  constexpr double kDeadline = 0.4;
  peer->setHung(true);
  webView->setResponsivenessProbe(0.01, kDeadline);
  auto stall = [] { std::this_thread::sleep_for(std::chrono::duration<double>(kDeadline * 1.5)); };
  platform::RunLoop::main().performAfterDelay(webView, 0.05, stall);
  platform::RunLoop::main().performAfterDelay(webView, 0.10, stall);
  platform::RunLoop::main().runFor(kDeadline * 0.5);
  platform::RunLoop::main().runFor(kDeadline * 0.25);
  EXPECT_TRUE(recorder.events.empty()) << "two stalls past the deadline, and still listening";
  // Silent while we listen: found.
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return !recorder.events.empty(); }, 5));
  EXPECT_EQ(recorder.events, std::vector<std::string>{"unresponsive"});
}

TEST_F(WebViewTest, APageProcessThatEndsIsReportedWithWhy) {
  peer->endProcess(platform::WebProcessTermination::Crashed);
  peer->endProcess(platform::WebProcessTermination::ExceededMemoryLimit);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"terminated 0", "terminated 1"}));
  recorder.showDialogs = false;
  EXPECT_EQ(peer->showDialog(platform::PageDialog::Alert, "hi"), false);
  webView->setDelegate(nullptr);
  EXPECT_EQ(peer->showDialog(platform::PageDialog::Alert), true) << "without a delegate a page is a site";
}
