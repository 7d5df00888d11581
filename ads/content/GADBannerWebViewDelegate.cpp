#include "ads/content/GADBannerWebViewDelegate.h"

#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotification.h"
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
  // Before the ad is shown its page and resources load. Once it is shown
  // (and for as long as it stays on screen, through refreshes),
  // a message is never a click, and neither is what the user did not do:
  // a frame of the ad loading its part (web schemes load; the ad's own
  // document is kept by webViewShouldCommitMainFrameLoad) or the ad moving
  // itself by script (anything else, refused by the base).
  if (!private_->hasVisibleAd() || GADNotification::isNotificationURL(request.url())) {
    return GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
  }
  if (!GADContentPolicy::hasUserGesture(webView)) {
    // A frame's own load is of type other; a link or form the user did not
    // follow (a script's click) goes nowhere.
    if (type != platform::NavigationType::Other) {
      contentPolicy().refuse(GADContentPolicy::Refusal::NoGesture, request.url().absoluteString());
      return false;
    }
    return GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
  }

  // The ad is on screen and the user went somewhere from it: a click, once
  // its opening is allowed, and the only act of the user's activation.
  const platform::URL& url = request.url();
  const std::string& scheme = url.scheme();
  if (scheme == "file" || scheme == "about" || silenced()) {
    return GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
  }
  noteNavigation(webView, request);
  postWebAction(webView, url, type);
  const bool web = scheme == "http" || scheme == "https";
  const std::vector<platform::URL> clickTracking = private_->shownAdClickURLs();
  using Kind = GADViewController::Kind;
  const bool allowed = web ? opener().mayPresentScreen(clickTracking.empty() ? Kind::Browser : Kind::WebApplication)
                           : opener().mayOpenApp(url);
  if (!allowed || !GADContentPolicy::consumeUserGesture(webView)) return false;
  private_->adWasClicked();
  const platform::URL click = GADStatistics::sharedStatistics().urlForClick(url);
  private_->trackURLs(clickTracking);
  if (!web) {
    opener().openApp(url);
    return false;
  }
  opener().setReferringURL(webView.currentURL());
  const int orientations = private_->shownAdSupportedOrientations();
  if (!clickTracking.empty()) {
    opener().openWebAppSupportedOrientations(click, orientations);
  } else {
    opener().openBrowserToURLSupportedOrientations(click, orientations);
  }
  return false;
}

bool GADBannerWebViewDelegate::webViewShouldCommitMainFrameLoad(platform::WebView&,
                                                                 const std::optional<platform::URL>& url) {
  // The banner never navigates away from a shown ad: what would replace it
  // is the ad moving itself (the user's clicks never get this far).
  if (!private_->hasVisibleAd()) return true;
  contentPolicy().refuse(GADContentPolicy::Refusal::NoGesture, url ? url->absoluteString() : "a page");
  return false;
}

void GADBannerWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  GADWebViewDelegate::webViewDidFinishLoad(webView);
  // A subframe finishing after the ad is shown changes nothing.
  if (private_->state() != kGADObjectStateRenderingAd) return;
  private_->changeState(kGADObjectStateAdShown);
  private_->adDidShow();
  webView.setHidden(false);
  std::weak_ptr<GADObjectPrivate> loader = private_->weak_from_this();
  private_->delegateManager()->didReceiveAd();
  // The application may let the banner go in its handler, and this
  // delegate with it: then nothing of the ad goes on.
  if (loader.expired()) return;
  private_->trackURLs(private_->pendingTrackingURLs());
  auto& statistics = GADStatistics::sharedStatistics();
  statistics.endTimingNamed(kGADParameterPriorRequestLatency);
  statistics.startTimingNamed(kGADParameterPriorPreClickLatency);
}

// A shown ad that retitles its page is announced by its new title.
void GADBannerWebViewDelegate::webViewDidChangeTitle(platform::WebView&) {
  if (private_->hasVisibleAd()) private_->describeAdView();
}

void GADBannerWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView, const platform::Error& error) {
  GADWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  // Only the failure of the ad being rendered ends an attempt, once: a late
  // failure of an older page (a refresh is fetching, the deadline stopped
  // the page) belongs to no attempt.
  if (private_->state() != kGADObjectStateRenderingAd) return;
  private_->adDidFailToRender();
}

void GADBannerWebViewDelegate::webViewWebProcessDidTerminate(platform::WebView& webView,
                                                             platform::WebProcessTermination reason) {
  GADWebViewDelegate::webViewWebProcessDidTerminate(webView, reason);
  private_->adWebProcessDidTerminate();
}
