#include "ads/content/GADBannerWebViewDelegate.h"

#include "ads/content/GADOpener.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADRequestError.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADRequestPrivate.h"
#include "ads/request/GADStatistics.h"

GADBannerWebViewDelegate::GADBannerWebViewDelegate(GADObjectPrivate* loader) : private_(loader) {
  if (private_->webView()) private_->webView()->setDelegate(this);
}

GADBannerWebViewDelegate::~GADBannerWebViewDelegate() {
  if (private_->webView() && private_->webView()->delegate() == this) private_->webView()->setDelegate(nullptr);
}

bool GADBannerWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(platform::WebView& webView,
                                                                               const platform::URLRequest& request,
                                                                               platform::NavigationType type) {
  setViewController(private_->rootViewController());
  opener().setDelegateManager(private_->sharedDelegateManager());
  opener().setViewController(viewController());
  if (private_->state() != kGADObjectStateAdShown) {
    return GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
  }

  // The ad is on screen: whatever it navigates to is a click.
  const platform::URL click = GADStatistics::sharedStatistics().urlForClick(request.url());
  const std::vector<platform::URL> clickTracking = private_->pendingClickURLs();
  private_->trackURLs(clickTracking);
  if (GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type)) {
    opener().setReferringURL(webView.currentURL());
    const std::string& scheme = click.scheme();
    if (scheme.starts_with("http")) {
      const int orientations = private_->supportedOrientations();
      if (!clickTracking.empty()) {
        opener().openWebAppSupportedOrientations(click, orientations);
      } else {
        opener().openBrowserToURLSupportedOrientations(click, orientations);
      }
    }
  }
  return false;
}

void GADBannerWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  GADWebViewDelegate::webViewDidFinishLoad(webView);
  // A subframe finishing after the ad is shown changes nothing.
  if (private_->state() != kGADObjectStateRenderingAd) return;
  private_->changeState(kGADObjectStateAdShown);
  private_->adDidShow();
  webView.setHidden(false);
  private_->delegateManager()->didReceiveAd();
  private_->trackURLs(private_->pendingTrackingURLs());
  auto& statistics = GADStatistics::sharedStatistics();
  statistics.endTimingNamed(kGADParameterPriorRequestLatency);
  statistics.startTimingNamed(kGADParameterPriorPreClickLatency);
}

void GADBannerWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView, const platform::Error& error) {
  GADWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  if (private_->state() == kGADObjectStateAdShown) return;
  private_->changeState(kGADObjectStateFailed);
  private_->delegateManager()->didFailToReceiveAdWithError(
      GADRequestError::errorWithCode(kGADErrorNetworkError, private_->request()));
}
