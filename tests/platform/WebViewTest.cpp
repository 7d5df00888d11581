#include "platform/WebView.h"

#include <gtest/gtest.h>

#include <string>
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

TEST_F(WebViewTest, ADelegateMayLetItsWebViewGoInsideADecision) {
  std::weak_ptr<WebView> weak = webView;
  recorder.duringDecision = [&] { webView.reset(); };
  EXPECT_EQ(peer->decide(URLRequest(*URL::create("http://x/")), NavigationType::LinkClicked), true);
  EXPECT_TRUE(weak.expired()) << "released once the decision returned";
}

TEST_F(WebViewTest, WithoutADelegateEveryNavigationIsAllowed) {
  webView->setDelegate(nullptr);
  EXPECT_EQ(peer->decide(URLRequest(*URL::create("http://x/")), NavigationType::Other), true);
  peer->finish();
}

}  // namespace
