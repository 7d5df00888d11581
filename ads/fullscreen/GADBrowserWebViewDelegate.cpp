#include "ads/fullscreen/GADBrowserWebViewDelegate.h"

#include "ads/fullscreen/GADBrowserController.h"
#include "ads/request/GADParameterKeys.h"
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
  auto& statistics = GADStatistics::sharedStatistics();
  if (!statistics.timingNamed(kGADParameterPriorLandingPageLoad))
    statistics.startTimingNamed(kGADParameterPriorLandingPageLoad);
  GADWebViewDelegate::webViewDidStartLoad(webView);
  browserController_->refreshToolbar();
}

void GADBrowserWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  // The landing page's load runs from its first start to its first finish;
  // its duration starts there. Later pages change neither.
  auto& statistics = GADStatistics::sharedStatistics();
  if (!statistics.timingNamed(kGADParameterPriorLandingPageDuration)) {
    statistics.endTimingNamed(kGADParameterPriorLandingPageLoad);
    statistics.startTimingNamed(kGADParameterPriorLandingPageDuration);
  }
  GADWebViewDelegate::webViewDidFinishLoad(webView);
  browserController_->refreshToolbar();
}

void GADBrowserWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView, const platform::Error& error) {
  GADWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  browserController_->refreshToolbar();
}
