// The delegate of every web view that shows ad content. It decides each
// navigation a page attempts: message URLs become actions (tracking,
// opening, vibrating, answers to the page) and are never loaded; "file"
// URLs are refused; "mailto" and other schemes leave for the mail composer
// and the desktop. After each load it tells the page the interface
// orientation.
//
// A page is untrusted. What it sends arrives as a URL it navigates to; the
// values are read as text, bounded where native work grows with them, and
// never run as script here. What it may make us do is GADContentPolicy's
// to say: this delegate asks it at every step and keeps the page's state
// of it. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADOpeningPage.h"
#include "platform/Value.h"
#include "platform/WebView.h"

namespace platform {
class ViewController;
}

class GADClickTracker;
class GADOpener;

inline constexpr const char* GADWebViewDelegateDidReceiveWebAction = "didReceiveWebAction";

class GADWebViewDelegate : public platform::WebViewDelegate {
 public:
  GADWebViewDelegate();
  ~GADWebViewDelegate() override;
  GADWebViewDelegate(const GADWebViewDelegate&) = delete;
  GADWebViewDelegate& operator=(const GADWebViewDelegate&) = delete;

  bool webViewShouldStartLoadWithRequestNavigationType(platform::WebView& webView, const platform::URLRequest& request,
                                                       platform::NavigationType type) override;
  void webViewDidStartLoad(platform::WebView& webView) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView, const platform::Error& error) override;
  // An ad page shows no dialogs: each is dismissed at once, and the page
  // goes on (the in-app browser, whose pages are sites, shows them).
  bool webViewShouldShowPageDialog(platform::WebView& webView, platform::PageDialog dialog,
                                   const std::string& message) override;
  // A page that stops answering has its process ended.
  void webViewWebProcessDidBecomeUnresponsive(platform::WebView& webView) override;
  // A full-screen screen whose page has gone closes, with its events; any
  // other page's owner hears of it through the handler.
  void webViewWebProcessDidTerminate(platform::WebView& webView, platform::WebProcessTermination reason) override;
  void setWebProcessTerminationHandler(std::function<void()> handler) { terminationHandler_ = std::move(handler); }
  // The page has said what it was for: from now on it loads nothing and
  // nothing it sends is heard, until its owner empties it.
  void silencePage() { silenced_ = true; }
  bool silenced() const { return silenced_; }

  // The script that gives the page the orientation (1 to 4, the phone's
  // numbering) and runs its handler, whose answer stays in the page
  // (platform::WebView::scriptWithoutValue); nullopt for any other value.
  static std::optional<std::string> orientationScript(int interfaceOrientation);
  static void notifyWebViewOfOrientationChange(platform::WebView& webView, int interfaceOrientation);

  // The script run in the opening page for `js`: it answers "n" for no
  // value (undefined, null, an object, a function, a symbol, an exception),
  // "v" and the value as text (a string, a number, a boolean, a bigint),
  // or "t" and the length of a text past GADContentPolicy's bound, and
  // holds to that whatever the page has redefined.
  static std::string openerScript(const std::string& js);
  // The answer the asking page gets for that script's result; nullopt
  // (refused) past the bound.
  static std::optional<std::string> openerAnswer(const std::optional<std::string>& result);
  void processCanOpenURLsWebView(const std::vector<std::string>& urls, platform::WebView& webView);
  // The integer reading of the value (blanks, a sign and digits; 0 without
  // digits; clamped to int), or -1 when the key is absent.
  static int intForKeyFromDictionary(std::string_view key, const std::optional<platform::Dictionary>& dictionary);
  void processTouchSignals(const std::optional<platform::Dictionary>& parameters);
  void trackURLStringAppendSpamSignals(const std::string* text, bool appendSpamSignals);

  // Not retained: the screen hosting the web view.
  platform::ViewController* viewController() const;
  void setViewController(platform::ViewController* controller);
  // Not retained: the ad web view whose action opened this web view's
  // screen, while it still shows the page it showed when set (null once it
  // has loaded another: see GADOpeningPage).
  platform::WebView* openingWebView() const;
  void setOpeningWebView(platform::WebView* webView);
  // Lets the main frame of the first page that `webView` (this delegate's
  // own, not yet loaded) shows send "evalInOpener": that frame alone is
  // given the page function ZOVO_EvalInOpener(js), which sends the message
  // with a token drawn here. A message without the token is refused, and
  // so is any from a later page of the web view.
  void admitOpenerMessagesFrom(platform::WebView& webView);
  // The main-frame script that defines ZOVO_EvalInOpener with `token`.
  static std::string openerFunctionScript(const std::string& token);

  GADOpener& opener() const { return *opener_; }
  // This page's bounds and the refusals it has had.
  GADContentPolicy& contentPolicy() { return contentPolicy_; }
  void setOpenerForTesting(std::shared_ptr<GADOpener> opener);
  // Null until the first "click" or "httpTrack".
  GADClickTracker* tracker() const { return tracker_.get(); }

  // Whatever a page sends beyond these is dropped.
  static constexpr size_t kMaximumLogBytes = 1024;
  static constexpr size_t kMaximumCanOpenURLs = 64;

 protected:
  // A call of the page's rich-media interface (GADMRAIDBridge): only the
  // banner's pages have it; elsewhere a page that sends one gets nothing.
  // `call` is the message's "call" parameter.
  virtual void receiveMRAIDCall(platform::WebView&, const std::string& /*call*/, const platform::Dictionary&) {}
  // What every decision notes first: the user agent the page's requests
  // carry, and this page as the opener of what it opens.
  void noteNavigation(platform::WebView& webView, const platform::URLRequest& request);
  // Tells the host application of a navigation a page makes (not a frame's
  // plain load of its own document).
  void postWebAction(platform::WebView& webView, const platform::URL& url, platform::NavigationType type);
  // Hands a URL of another scheme to the composer or the desktop, for the
  // user's gesture (which it takes) and within the allow-list.
  void leaveApplication(platform::WebView& webView, const platform::URL& url);

  // The target that names this delegate's deferred calls without holding it.
  std::shared_ptr<void> deferralTarget() { return std::shared_ptr<void>(std::shared_ptr<void>(), this); }

 private:
  bool dispatchMessage(platform::WebView& webView, const platform::URL& url);

  std::shared_ptr<GADOpener> opener_;
  std::shared_ptr<GADClickTracker> tracker_;
  std::weak_ptr<platform::ViewController> viewController_;
  GADOpeningPage openingPage_;
  // Given to the main frame alone (admitOpenerMessagesFrom); none: no page
  // of this delegate's reaches the opener.
  std::optional<std::string> openerToken_;
  // Pages whose load started since the client's last load call (that
  // load's generation): the first is the client's, the rest the page's.
  std::uint64_t startsGeneration_ = 0;
  int pagesStarted_ = 0;
  bool isFirstPage(const platform::WebView& webView) const;
  // Page starts of the web view, never reset: which page a message came from.
  std::shared_ptr<std::uint64_t> pageStarts_ = std::make_shared<std::uint64_t>(0);
  // The page that sent an "evalInOpener": its answer goes to that page
  // alone, not to one its web view has gone on to since (held weakly).
  struct AskingPage {
    std::weak_ptr<platform::WebView> webView;
    std::uint64_t generation = 0;
    std::shared_ptr<const std::uint64_t> starts;
    std::uint64_t startsThen = 0;
    // The web view while it still shows that page; null otherwise.
    std::shared_ptr<platform::WebView> ifStillShown() const;
  };
  // Runs the item's "js" in the opening web view and sends the result to
  // the page that asked.
  void evaluateJavaScriptInOpener(const platform::Dictionary& item, const AskingPage& asking);
  GADContentPolicy contentPolicy_;
  std::function<void()> terminationHandler_;
  bool silenced_ = false;
};
