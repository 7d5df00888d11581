// Web views on real WebKit (under xvfb-run): navigation decisions with their
// types, message URLs never loaded, script results, and a web view that
// goes while a script is pending.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/WebView.h"

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
  bool webViewShouldStartLoadWithRequestNavigationType(WebView&, const URLRequest& request,
                                                       NavigationType type) override {
    decisions.push_back({request.url().absoluteString(), type});
    // Only the page itself may load: message URLs and links are refused.
    return request.url().absoluteString() == "http://127.0.0.1:8642/ad";
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
    webView.reset();
    root.reset();
    gtk_window_destroy(window);
  }
  bool runUntil(const std::function<bool()>& condition, double seconds = 15) {
    return RunLoop::main().runUntil(condition, seconds);
  }
  std::optional<std::string> evaluate(const std::string& script) {
    std::optional<std::string> result;
    bool done = false;
    webView->evaluateJavaScript(script, [&](std::optional<std::string> r) {
      result = std::move(r);
      done = true;
    });
    EXPECT_FALSE(done) << "never inside the call";
    EXPECT_TRUE(runUntil([&] { return done; }));
    return result;
  }
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

TEST_F(WebViewWindowTest, ScriptResultsComeBackAsText) {
  loadAd("<p>ad</p>");
  EXPECT_EQ(evaluate("1 + 1"), "2");
  EXPECT_EQ(evaluate("document.body.textContent"), "ad");
  EXPECT_EQ(evaluate("undefined"), "");
  EXPECT_EQ(evaluate("throw new Error('no')"), std::nullopt);
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

}  // namespace
