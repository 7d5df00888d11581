// The ad loader behind one banner view: created by the banner, owned by the
// private-object registry, destroyed with the banner. It owns the banner's
// delegate manager and its own copy of the current request.
//
// Its refresh timer and deferred calls hold it alive; the banner cancels
// them (cancelPendingActions) before it lets the loader go.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ads/content/GADClickTrackerDelegate.h"
#include "platform/Geometry.h"

namespace platform {
class Timer;
class ViewController;
class View;
class WebView;
}  // namespace platform

class GADBannerView;
class GADBannerWebViewDelegate;
class GADClickTracker;
class GADDelegateManager;
class GADRequest;
class GADRequestPrivate;

enum GADObjectState : std::int32_t {
  kGADObjectStateIdle = 0,
  kGADObjectStateLoadingScript = 1,
  kGADObjectStateScriptFailed = 2,
  kGADObjectStateBuildingAdURL = 3,
  kGADObjectStateLoadingAdHTML = 4,
  kGADObjectStateRenderingAd = 5,
  kGADObjectStateAdShown = 6,
  kGADObjectStateFailed = 7,
};

class GADObjectPrivate : public std::enable_shared_from_this<GADObjectPrivate>, private GADClickTrackerDelegate {
 public:
  // The loader of `view` (not retained), with the banner's bounds.
  static std::shared_ptr<GADObjectPrivate> createWithView(GADBannerView* view);
  static std::shared_ptr<GADObjectPrivate> createWithFrame(const platform::Rect& frame);
  ~GADObjectPrivate() override;
  GADObjectPrivate(const GADObjectPrivate&) = delete;
  GADObjectPrivate& operator=(const GADObjectPrivate&) = delete;

  // Takes the request (null: a new default one) as the loader's own copy.
  void loadRequest(const std::shared_ptr<GADRequest>& request);
  // Cancels every deferred call that targets this loader and the refresh timer.
  void cancelPendingActions();
  // The banner is going: nothing may name it any more. Its owner calls this
  // before it lets the loader go, since a fetch or a page may outlive it.
  void detachFromAdView();

  // Null yields a new default request, a GADRequestPrivate is returned
  // unchanged, any other request yields null.
  static std::shared_ptr<GADRequestPrivate> privateRequestWithRequest(const std::shared_ptr<GADRequest>& request);

  GADBannerView* adView() const { return adView_; }
  const std::string& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::string adUnitID) { adUnitID_ = std::move(adUnitID); }
  GADDelegateManager* delegateManager() const { return delegateManager_.get(); }
  const std::shared_ptr<GADDelegateManager>& sharedDelegateManager() const { return delegateManager_; }
  // The banner's ad web view: hidden until an ad has loaded in it.
  platform::WebView* webView() const { return webView_.get(); }
  GADBannerWebViewDelegate* webViewDelegate() const { return webViewDelegate_.get(); }
  // Not retained: null once the controller has gone.
  platform::ViewController* rootViewController() const { return rootViewController_.lock().get(); }
  void setRootViewController(platform::ViewController* controller);
  GADRequestPrivate* request() const { return request_.get(); }
  GADObjectState state() const { return static_cast<GADObjectState>(state_); }
  void changeState(GADObjectState state) {
    if (state_ != state) state_ = state;
  }
  bool hasAutoRefreshed() const { return hasAutoRefreshed_; }
  std::int32_t supportedOrientations() const { return supportedOrientations_; }
  bool hasReloadTimer() const { return reloadTimer_ != nullptr; }

  // The current ad's impression and click tracking URLs.
  const std::vector<platform::URL>& pendingTrackingURLs() const { return pendingTrackingURLs_; }
  const std::vector<platform::URL>& pendingClickURLs() const { return pendingClickURLs_; }
  void addPendingTrackingURL(platform::URL url) { pendingTrackingURLs_.push_back(std::move(url)); }
  void addPendingClickURL(platform::URL url) { pendingClickURLs_.push_back(std::move(url)); }
  // Fires each URL through a tracker of its own; finished trackers are let
  // go on the next turn of the run loop.
  void trackURLs(const std::vector<platform::URL>& urls);
  const std::vector<std::shared_ptr<GADClickTracker>>& pendingTrackers() const { return trackers_; }

 private:
  explicit GADObjectPrivate(const platform::Rect& frame);
  void resetReloadTimer();
  void cleanupTrackers();
  void trackerDidRedirect(GADClickTracker& tracker, const platform::URL& url) override;
  void trackerDidFailWithError(GADClickTracker& tracker, const platform::Error* error) override;

  GADBannerView* adView_ = nullptr;
  std::string adUnitID_;
  std::shared_ptr<GADDelegateManager> delegateManager_;
  std::weak_ptr<platform::ViewController> rootViewController_;
  std::shared_ptr<platform::WebView> webView_;
  std::shared_ptr<GADBannerWebViewDelegate> webViewDelegate_;
  std::shared_ptr<GADRequestPrivate> request_;
  std::int32_t state_ = kGADObjectStateIdle;
  std::vector<std::shared_ptr<GADClickTracker>> trackers_;
  std::vector<platform::URL> pendingTrackingURLs_;
  std::vector<platform::URL> pendingClickURLs_;
  std::shared_ptr<platform::Timer> reloadTimer_;
  double reloadSeconds_ = 0;
  bool hasAutoRefreshed_ = false;
  std::int32_t supportedOrientations_ = 1;
};
