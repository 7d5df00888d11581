// A web view's peer: a WebKitWebView in a GtkOverlay, which holds the web
// view's own subviews (a spinner) above the page. Navigation decisions, load events and
// script results reach the web view through its client interface, held
// weakly; signals are disconnected and scripts cancelled when the peer goes.
#pragma once

#include <webkit/webkit.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/WebView.h"
#include "platform/gtk/GtkPageCapabilities.h"
#include "platform/gtk/GtkPageDialog.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkWebViewPeer final : public GtkPeer<WebViewPeer> {
 public:
  GtkWebViewPeer(std::weak_ptr<WebViewClient> client, WebProcessGroup group);
  ~GtkWebViewPeer() override;

  WebKitWebView* webView() const { return webView_; }

  // Over the page at the child's frame; only the child's own area takes
  // pointer events, the rest of the page stays clickable. (Removal is the
  // base's: taking a widget out of its parent handles overlays.)
  void addChild(ViewPeer& child, const Rect& frame) override;

  void setBackgroundColor(const Color& color) override;
  void loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) override;
  void loadRequest(const URLRequest& request) override;
  void evaluateJavaScript(const std::string& script, ScriptResult done) override;
  void probe(std::function<void()> answered) override;
  void addMainFrameScript(const std::string& source) override;
  void blockScriptsNamed(const std::string& fileName) override;
  void goBack() override;
  void goForward() override;
  void reload() override;
  void stopLoading() override;
  void terminateWebProcess() override;
  void setMediaPlaybackRequiresUserAction(bool required) override;
  bool canGoBack() const override;
  bool canGoForward() const override;
  bool isLoading() const override;
  std::optional<URL> currentURL() const override;
  std::string title() const override;

  // Bytes of the answers this web view's loads have received so far: the
  // page's own document and every resource WebKit reports loading for it.
  // What that sees and misses is told in GtkPageResourceMonitor.h.
  std::uint64_t networkBytesReceived() const { return networkBytes_->bytes; }
  struct NetworkCount {
    std::uint64_t bytes = 0;
    std::function<void()> grew;  // called inside WebKit's report
  };
  // Called inside WebKit's report each time that count grows.
  void setNetworkListener(std::function<void()> grew) { networkBytes_->grew = std::move(grew); }

 private:
  // What the client reads of a script's value: see evaluateJavaScript.
  static std::optional<std::string> scriptResultText(JSCValue* value);
  static void onResourceLoadStarted(WebKitWebView*, WebKitWebResource* resource, WebKitURIRequest*, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self);
  static gboolean onDecideResponse(WebKitPolicyDecision* decision, GtkWebViewPeer* self);
  static void decideNavigation(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                               std::shared_ptr<WebViewClient> client);
  static gboolean onInputEvent(GtkEventControllerLegacy*, GdkEvent* event, gpointer self);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self);
  static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);
  static void onResponsiveChanged(WebKitWebView*, GParamSpec*, gpointer self);
  static void onTitleChanged(WebKitWebView*, GParamSpec*, gpointer self);
  static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self);

  WebKitWebView* webView_;  // owned by the overlay
  std::weak_ptr<WebViewClient> client_;
  // What the page may ask of WebKit beyond navigating (downloads, printing, permissions...).
  GtkPageCapabilities capabilities_;
  GCancellable* scripts_ = g_cancellable_new();
  bool failed_ = false;  // the current load has reported a failure
  bool pressed_ = false;  // a pointer press or touch on the page awaits its release
  // The page's last dialog shown to the person; answered as dismissed when
  // this goes, the page is replaced or its process ends.
  std::unique_ptr<GtkPageDialog> pageDialog_;
  ScopedSignal decidePolicy_, loadChanged_, loadFailed_, userInput_, scriptDialog_, responsive_, terminated_;
  // Shared with the handlers on the view's resources, which may outlive
  // the peer: they add to a count nobody reads any more.
  std::shared_ptr<NetworkCount> networkBytes_ = std::make_shared<NetworkCount>();
  ScopedSignal resourceLoadStarted_;
  ScopedSignal historyChanged_;
  ScopedSignal titleChanged_;
};

}  // namespace platform::gtk
