// The in-app browser's web view delegate: on top of the ad messages every
// ad page may send, it keeps the browser's toolbar in step with loading,
// counts the links and forms the user follows, and times the landing page.
#pragma once

#include "ads/content/GADWebViewDelegate.h"

class GADBrowserController;

class GADBrowserWebViewDelegate : public GADWebViewDelegate {
 public:
  // Not retained: the browser owns this delegate through its private data.
  explicit GADBrowserWebViewDelegate(GADBrowserController* browser) : browserController_(browser) {}

  bool webViewShouldStartLoadWithRequestNavigationType(platform::WebView& webView, const platform::URLRequest& request,
                                                       platform::NavigationType type) override;
  void webViewDidStartLoad(platform::WebView& webView) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView, const platform::Error& error) override;
  void webViewDidRefuseLoad(platform::WebView& webView) override;
  void webViewDidChangeHistory(platform::WebView& webView) override;
  // The browser's pages are sites the user went to: their dialogs are shown
  // to the user, who answers them.
  bool webViewShouldShowPageDialog(platform::WebView&, platform::PageDialog, const std::string&) override {
    return true;
  }

 private:
  GADBrowserController* browserController_;
};
