// Web views on real WebKit (under xvfb-run): navigation decisions with their
// types, message URLs never loaded, script results, and a web view that
// goes while a script is pending.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "platform/RunLoop.h"
#include "platform/URLConnection.h"
#include "platform/WebView.h"
#include "tests/e2e/PageScript.h"

using platform::NavigationType;
using platform::RunLoop;
using platform::URL;
using platform::URLRequest;
using platform::WebView;

namespace {

struct Decision {
  std::string url;
  NavigationType type;
};

class Recorder : public platform::WebViewDelegate {
 public:
  std::vector<Decision> decisions;
  int finished = 0;
  std::string page = "http://127.0.0.1:8642/ad";
  bool webViewShouldStartLoadWithRequestNavigationType(WebView&, const URLRequest& request,
                                                       NavigationType type) override {
    decisions.push_back({request.url().absoluteString(), type});
    // Only the page itself may load: message URLs and links are refused.
    return request.url().absoluteString() == page;
  }
  void webViewDidFinishLoad(WebView&) override { ++finished; }
};

class WebViewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = platform::View::create(platform::Rect(0, 0, 320, 100));
    webView = WebView::create(platform::Rect(0, 0, 320, 50));
    webView->setDelegate(&recorder);
    root->addSubview(webView);
    window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_child(window, static_cast<GtkWidget*>(root->peer()->toolkitHandle()));
    gtk_window_present(window);
  }
  void TearDown() override {
    gtk_window_set_child(window, nullptr);
    webView.reset();
    root.reset();
    gtk_window_destroy(window);
  }
  bool runUntil(const std::function<bool()>& condition, double seconds = 15) {
    return RunLoop::main().runUntil(condition, seconds);
  }
  std::optional<std::string> evaluate(const std::string& script) { return PageScript::evaluate(*webView, script); }
  void loadAd(const std::string& body) {
    webView->loadHTMLStringBaseURL("<html><body>" + body + "</body></html>", URL::create("http://127.0.0.1:8642/ad"));
    ASSERT_TRUE(runUntil([&] { return recorder.finished > 0; }));
  }

  GtkWindow* window = nullptr;
  std::shared_ptr<platform::View> root;
  std::shared_ptr<WebView> webView;
  Recorder recorder;
};

TEST_F(WebViewWindowTest, AMessageURLIsDecidedButNeverLoaded) {
  loadAd("<script>window.onload = function() { location.href = 'gmsg://ads.example.test/loadAdURL?url=x'; };</script>");
  ASSERT_TRUE(runUntil([&] { return recorder.decisions.size() >= 2; }));
  EXPECT_EQ(recorder.decisions.back().url, "gmsg://ads.example.test/loadAdURL?url=x");
  EXPECT_EQ(evaluate("location.href"), "http://127.0.0.1:8642/ad") << "the page stayed where it was";
}

TEST_F(WebViewWindowTest, AClickedLinkIsDecidedAsALinkClick) {
  loadAd("<a id='go' href='http://127.0.0.1:8642/landing'>go</a>");
  evaluate("document.getElementById('go').dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true}));");
  ASSERT_TRUE(runUntil([&] { return recorder.decisions.size() >= 2; }));
  EXPECT_EQ(recorder.decisions.back().url, "http://127.0.0.1:8642/landing");
  EXPECT_EQ(recorder.decisions.back().type, NavigationType::LinkClicked);
  EXPECT_EQ(recorder.decisions.front().type, NavigationType::Other) << "the page's own load";
}

// What WebKit's URL parser leaves as written reaches the decision as WebKit
// writes it: no link or message is lost to a stricter reading of URLs.
TEST_F(WebViewWindowTest, URLsReachTheDecisionAsWebKitWritesThem) {
  loadAd("<p>ad</p>");
  for (const std::string url : {"http://127.0.0.1:8642/p|q^r?x={1}&y=`z`|^", "http://127.0.0.1:8642/100%",
                                 "http://127.0.0.1:8642/a#one#two", "gmsg://ads.example.test/log?msg=a|b^c&bad=%zz"}) {
    SCOPED_TRACE(url);
    const size_t before = recorder.decisions.size();
    const auto href = evaluate("new URL('" + url + "').href");  // WebKit's own reading
    ASSERT_TRUE(href);
    evaluate("location.href = '" + url + "'");
    ASSERT_TRUE(runUntil([&] { return recorder.decisions.size() > before; }, 5)) << "never reached the decision";
    EXPECT_EQ(recorder.decisions.back().url, *href);
  }
}

// And such a link loads: the page goes there and a server's answer is shown
// (the sandbox's server answers such a request target with a 400, which
// is an answer all the same: a load that never reached a server fails).
TEST_F(WebViewWindowTest, ALinkWithCharactersWebKitLeavesAsWrittenLoads) {
  adnet::LoopbackServer server;
  loadAd("<a id='go' href='" + server.url("/p|q^r?x={1}&y=%zz") + "'>go</a>");
  const auto href = evaluate("document.getElementById('go').href");  // WebKit's own reading
  ASSERT_TRUE(href);
  recorder.page = *href;  // the recorder lets it load
  const int loaded = recorder.finished;
  evaluate("document.getElementById('go').click(); 0");
  ASSERT_TRUE(runUntil([&] { return recorder.finished > loaded; }));
  EXPECT_EQ(evaluate("location.href"), *href);
}

TEST_F(WebViewWindowTest, ScriptResultsComeBackAsText) {
  loadAd("<p>ad</p>");
  EXPECT_EQ(evaluate("1 + 1"), "2");
  EXPECT_EQ(evaluate("document.body.textContent"), "ad");
  EXPECT_EQ(evaluate("undefined"), "");
  EXPECT_EQ(evaluate("throw new Error('no')"), std::nullopt);
}

// A result's text is read only as far as the bound: a longer string is
// refused unread, and an object or an array (whose text the page's own
// methods would write) is no value.
TEST_F(WebViewWindowTest, ScriptResultsPastTheBoundOrNotPrimitiveAreNotRead) {
  loadAd("<p>ad</p>");
  const size_t bound = platform::WebViewPeer::kMaximumScriptResultLength;
  EXPECT_EQ(evaluate("'x'.repeat(" + std::to_string(bound) + ")").value_or("").size(), bound);
  EXPECT_EQ(evaluate("'x'.repeat(" + std::to_string(bound + 1) + ")"), std::nullopt);
  EXPECT_EQ(evaluate("({ text: 'page text' })"), "");
  EXPECT_EQ(evaluate("[1, 2]"), "");
  EXPECT_EQ(evaluate("true"), "true");
  EXPECT_EQ(evaluate("null"), "");
}

TEST_F(WebViewWindowTest, AWebViewThatGoesWithAScriptPendingHearsNothingMore) {
  loadAd("<p>ad</p>");
  bool called = false;
  webView->evaluateJavaScript("document.title", [&](std::optional<std::string>) { called = true; });
  std::weak_ptr<WebView> weak = webView;
  webView->removeFromSuperview();
  webView.reset();
  ASSERT_TRUE(weak.expired());
  RunLoop::main().runFor(0.5);
  EXPECT_FALSE(called);
}

TEST_F(WebViewWindowTest, AWebViewThatGoesMidLoadCallsItsDelegateNoMore) {
  const size_t decided = recorder.decisions.size();
  webView->loadHTMLStringBaseURL("<html><body><img src='http://127.0.0.1:9/slow.png'>ad</body></html>",
                                 URL::create("http://127.0.0.1:8642/ad"));
  std::weak_ptr<WebView> weak = webView;
  webView->removeFromSuperview();
  webView.reset();
  ASSERT_TRUE(weak.expired());
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(recorder.finished, 0);
  EXPECT_EQ(recorder.decisions.size(), decided);
}

}  // namespace

// ------------------------------------------------------ one cookie store

namespace {

class Fetch : public platform::URLConnectionDelegate {
 public:
  bool ended = false;
  void connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPResponse&) override {}
  void connectionDidReceiveData(platform::URLConnection&, std::span<const std::uint8_t>) override {}
  void connectionDidFinishLoading(platform::URLConnection&) override { ended = true; }
  void connectionDidFailWithError(platform::URLConnection&, const platform::Error&) override { ended = true; }
};

class CookieStoreTest : public WebViewWindowTest {
 protected:
  void SetUp() override {
    WebViewWindowTest::SetUp();
    server = std::make_unique<adnet::LoopbackServer>();
  }
  void TearDown() override {
    server.reset();
    WebViewWindowTest::TearDown();
  }
  // The client's own fetch of `path`; the "Cookie" field it carried.
  std::string fetchCookies(const std::string& path) {
    Fetch fetch;
    auto connection = platform::URLConnection::start(URLRequest(*URL::create(server->url(path))), &fetch);
    EXPECT_TRUE(runUntil([&] { return fetch.ended; }));
    return server->requests().empty() ? "" : server->requests().back().header("Cookie").value_or("");
  }
  std::unique_ptr<adnet::LoopbackServer> server;
};

TEST_F(CookieStoreTest, ACookieAPageSetsGoesWithTheClientsFetches) {
  server->setAnswer("/check", adnet::Answer{});
  recorder.page = server->url("/ad");
  webView->loadHTMLStringBaseURL("<script>document.cookie = 'fromPage=1; path=/';</script>",
                                 URL::create(server->url("/ad")));
  ASSERT_TRUE(runUntil([&] { return recorder.finished > 0; }));
  std::string sent;
  EXPECT_TRUE(runUntil([&] {
    sent = fetchCookies("/check");
    return sent.find("fromPage=1") != std::string::npos;
  })) << "last sent: " << sent;
}

// A page's third parties set no cookies in the pages' session (nor, through
// it, in the client's jar), while the page's own site does.
TEST_F(CookieStoreTest, APagesThirdPartySetsNoCookie) {
  platform::URLConnection::clearCookiesForTesting();
  adnet::Answer page;
  page.headers.emplace_back("Content-Type", "text/html");
  page.headers.emplace_back("Set-Cookie", "firstParty=1; Path=/");
  // Another site: "localhost" is not the page's "127.0.0.1".
  page.body = "<img src='" + server->url("/pixel").replace(7, 9, "localhost") + "'>";
  server->setAnswer("/page", page);
  adnet::Answer pixel;
  pixel.headers.emplace_back("Set-Cookie", "thirdParty=2; Path=/");
  server->setAnswer("/pixel", pixel);
  recorder.page = server->url("/page");
  webView->loadRequest(URLRequest(*URL::create(recorder.page)));
  const auto jarHolds = [](const std::string& cookie) {
    const auto all = platform::URLConnection::cookiesForTesting();
    return std::find(all.begin(), all.end(), cookie) != all.end();
  };
  ASSERT_TRUE(runUntil([&] { return server->requestCount("/pixel") > 0 && jarHolds("firstParty=1"); }));
  ASSERT_EQ(server->requests().back().path, "/pixel");
  RunLoop::main().runFor(0.3);
  EXPECT_FALSE(jarHolds("thirdParty=2"));
  platform::URLConnection::clearCookiesForTesting();
}

TEST_F(CookieStoreTest, ACookieTheClientReceivedGoesWithThePagesRequests) {
  adnet::Answer setting;
  setting.headers.emplace_back("Set-Cookie", "fromClient=2; Path=/");
  server->setAnswer("/set", setting);
  server->setAnswer("/page", adnet::Answer{});
  fetchCookies("/set");
  // A web view without a delegate loads nothing but its empty page.
  recorder.page = server->url("/page");
  std::string sent;
  EXPECT_TRUE(runUntil([&] {
    const size_t before = server->requestCount("/page");
    webView->loadRequest(URLRequest(*URL::create(server->url("/page"))));
    if (!runUntil([&] { return server->requestCount("/page") > before; }, 5)) return false;
    sent = server->requests().back().header("Cookie").value_or("");
    return sent.find("fromClient=2") != std::string::npos;
  })) << "last sent: " << sent;
}

}  // namespace

namespace {

// A web view kept for the next ad carries nothing of the last: no script
// state, no timers, and no answer to what was asked of the last page.
TEST_F(WebViewWindowTest, TheNextPageReadsNothingOfTheLastAndGetsNoneOfItsAnswers) {
  loadAd("<script>window.secret='first';setInterval(function(){document.title='tick '+Date.now();},10);</script>");
  ASSERT_EQ(evaluate("window.secret"), "first");
  bool answered = false;
  webView->evaluateJavaScript("(function(){var end=Date.now()+300;while(Date.now()<end){}return 'late';})()",
                              [&](std::optional<std::string>) { answered = true; });
  recorder.finished = 0;
  loadAd("<p>second</p>");
  RunLoop::main().runFor(0.5);
  EXPECT_FALSE(answered) << "the first page's answer went nowhere";
  EXPECT_EQ(evaluate("typeof window.secret"), "undefined");
  EXPECT_EQ(evaluate("document.title"), "") << "no timer of the first page runs";
}

}  // namespace
