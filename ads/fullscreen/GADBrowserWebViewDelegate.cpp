#include "ads/fullscreen/GADBrowserWebViewDelegate.h"

#include "ads/fullscreen/GADBrowserController.h"
#include "ads/request/GADStatistics.h"

bool GADBrowserWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(platform::WebView& webView,
                                                                                const platform::URLRequest& request,
                                                                                platform::NavigationType type) {
  // Only what the user chose to follow counts as a navigation.
  if (type == platform::NavigationType::LinkClicked || type == platform::NavigationType::FormSubmitted) {
    const std::string& scheme = request.url().scheme();  // lower case
    auto& statistics = GADStatistics::sharedStatistics();
    if (scheme == "http") {
      statistics.incrementPageNavigationCount();
    } else if (scheme == "https") {
      statistics.incrementSSLPageNavigationCount();
    }
  }
  return GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
}

void GADBrowserWebViewDelegate::webViewDidStartLoad(platform::WebView& webView) {
  GADStatistics::sharedStatistics().landingPageDidStartLoad();
  GADWebViewDelegate::webViewDidStartLoad(webView);
  browserController_->refreshToolbar();
}

void GADBrowserWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  GADStatistics::sharedStatistics().landingPageDidFinishLoad();
  GADWebViewDelegate::webViewDidFinishLoad(webView);
  browserController_->refreshToolbar();
}

void GADBrowserWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView, const platform::Error& error) {
  GADWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  browserController_->refreshToolbar();
}

// A refused first page (a scheme the browser does not show) reports no
// load: without this the spinner would turn for good.
void GADBrowserWebViewDelegate::webViewDidRefuseLoad(platform::WebView&) { browserController_->refreshToolbar(); }

// Back and Forward follow the page's own history steps too.
void GADBrowserWebViewDelegate::webViewDidChangeHistory(platform::WebView&) { browserController_->refreshToolbar(); }
