// A web view's peer: a WebKitWebView. Navigation decisions, load events and
// script results reach the web view through its client interface, held
// weakly; signals are disconnected and scripts cancelled when the peer goes.
#pragma once

#include <webkit/webkit.h>

#include <memory>

#include "platform/WebView.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkWebViewPeer final : public GtkPeer<WebViewPeer> {
 public:
  explicit GtkWebViewPeer(std::weak_ptr<WebViewClient> client);
  ~GtkWebViewPeer() override;

  WebKitWebView* webView() const { return WEBKIT_WEB_VIEW(widget()); }

  void setBackgroundColor(const Color& color) override;
  void loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) override;
  void loadRequest(const URLRequest& request) override;
  void evaluateJavaScript(const std::string& script, ScriptResult done) override;
  void goBack() override;
  void goForward() override;
  void reload() override;
  void stopLoading() override;
  bool canGoBack() const override;
  bool canGoForward() const override;
  bool isLoading() const override;
  std::optional<URL> currentURL() const override;

 private:
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self);

  std::weak_ptr<WebViewClient> client_;
  GCancellable* scripts_ = g_cancellable_new();
  bool failed_ = false;  // the current load has reported a failure
  ScopedSignal decidePolicy_, loadChanged_, loadFailed_;
};

}  // namespace platform::gtk
