#include "ads/fullscreen/GADWebAppWebViewDelegate.h"

#include "ads/content/GADNotificationCenter.h"
#include "ads/fullscreen/GADWebAppViewControllerPrivate.h"
#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADRequest.h"
#include "ads/request/GADStatistics.h"
#include "platform/ActivityIndicator.h"
#include "platform/WebView.h"

void GADWebAppWebViewDelegate::setPendingOnShow(bool pending) {
  pendingOnShow_ = pending;
  if (webAppPrivate_->webView_ && !webAppPrivate_->webView_->isLoading()) postOnShowEvent();
}

void GADWebAppWebViewDelegate::postOnShowEvent() {
  if (!pendingOnShow_ || calledOnShow_) return;
  const platform::Dictionary info{{"version", GADRequest::sdkVersion()},
                                  {"device", GADIdentifierUtilities::sharedInstance().deviceSubmodel()}};
  GADNotificationCenter::postJSNotificationUserInfoWebView("onshow", info, webAppPrivate_->webView_.get());
  pendingOnShow_ = false;
  calledOnShow_ = true;
}

void GADWebAppWebViewDelegate::webViewDidStartLoad(platform::WebView& webView) {
  GADStatistics::sharedStatistics().landingPageDidStartLoad();
  GADWebViewDelegate::webViewDidStartLoad(webView);
}

void GADWebAppWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  GADStatistics::sharedStatistics().landingPageDidFinishLoad();
  GADWebViewDelegate::webViewDidFinishLoad(webView);
  auto& state = *webAppPrivate_;
  if (!state.loaded_) {
    // The spinner is for the first load only.
    state.loaded_ = true;
    if (state.loadingSpinner_) state.loadingSpinner_->removeFromSuperview();
    state.loadingSpinner_.reset();
  }
  postOnShowEvent();
}
