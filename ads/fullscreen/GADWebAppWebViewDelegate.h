// The web application's web view delegate: on top of the ad messages every
// ad page may send, it times the landing page, drops the loading spinner
// at the first finished load, and tells the page once that it is shown
// ("onshow"), at the later of the screen's appearance and a finished load.
#pragma once

#include "ads/content/GADWebViewDelegate.h"

class GADWebAppViewControllerPrivate;

class GADWebAppWebViewDelegate : public GADWebViewDelegate {
 public:
  // Not retained: the private data owns this delegate.
  explicit GADWebAppWebViewDelegate(GADWebAppViewControllerPrivate* webAppPrivate) : webAppPrivate_(webAppPrivate) {}

  bool pendingOnShow() const { return pendingOnShow_; }
  // Delivers "onshow" at once when the page is not loading.
  void setPendingOnShow(bool pending);
  void postOnShowEvent();

  void webViewDidStartLoad(platform::WebView& webView) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;

 private:
  GADWebAppViewControllerPrivate* webAppPrivate_;
  bool pendingOnShow_ = false;
  bool calledOnShow_ = false;
};
