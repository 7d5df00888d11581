// The ad loader behind one banner view: created by the banner, owned by the
// private-object registry, destroyed with the banner. It gates a load,
// makes sure the ad network's core script is cached (fetched at most once a
// day), runs it in a hidden web view to get the ad URL, fetches the ad HTML
// reading the ad server's headers, and hands the HTML to the banner's web
// view, whose delegate shows the ad. A one-shot timer refreshes it.
//
// The ad network is outside the system and untrusted: every attempt has a
// deadline, the refresh interval it names is bounded, and repeated failures
// back off.
//
// Its refresh timer and deferred calls hold it alive; the banner cancels
// them (cancelPendingActions) before it lets the loader go. Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/content/GADClickTrackerDelegate.h"
#include "ads/core/GADCachedFileDelegate.h"
#include "platform/DeferredCall.h"
#include "platform/Geometry.h"
#include "platform/Value.h"

namespace platform {
struct Notification;
class Timer;
class ViewController;
class View;
class WebView;
}  // namespace platform

class GADBannerView;
class GADBannerWebViewDelegate;
class GADCachedFile;
class GADClickTracker;
class GADDelegateManager;
class GADHeavyAdGuard;
class GADRequest;
class GADRequestError;
class GADRequestPrivate;
class GADWebViewDelegate;

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

// Posted by full-screen ad screens of any banner; every loader pauses its
// refresh while one is up.
inline constexpr const char* GADViewControllerWillPresentFullScreen = "GADViewControllerWillPresentFullScreen";
inline constexpr const char* GADViewControllerDidRelinquishFullScreen = "GADViewControllerDidRelinquishFullScreen";

class GADObjectPrivate : public std::enable_shared_from_this<GADObjectPrivate>,
                         private GADClickTrackerDelegate,
                         private GADCachedFileDelegate {
 public:
  // An attempt that has not shown or failed by then fails with code 5.
  static constexpr double kAttemptTimeoutSeconds = 20;
  // The ad server's refresh interval is kept within these bounds.
  static constexpr double kMinimumRefreshSeconds = 15;
  static constexpr double kMaximumRefreshSeconds = 3600;
  // A failed attempt waits the refresh interval times 2 per failure in a
  // row before it, up to this factor.
  static constexpr int kMaximumBackoffFactor = 16;
  // Until an ad response names an interval, failed attempts are retried
  // this long after (with the backoff).
  static constexpr double kFirstRetrySeconds = 30;
  // How often the banner's page is asked whether it still answers, and how
  // long it has to answer while our own loop turns: one that hangs has its
  // process ended (a failure), and the next ad comes. Long enough that a
  // page starved by a busy machine is not taken for a hung one.
  static constexpr double kResponsivenessProbeSeconds = 3;
  // A page process that ended leaves the banner blank: the next attempt
  // comes this soon, twice as long for each further end in a row, never
  // later than the refresh would.
  static constexpr double kProcessEndRetrySeconds = 2;
  static constexpr double kResponsivenessDeadlineSeconds = 10;

  // The loader of `view` (not retained), with the banner's bounds.
  static std::shared_ptr<GADObjectPrivate> createWithView(GADBannerView* view);
  static std::shared_ptr<GADObjectPrivate> createWithFrame(const platform::Rect& frame);
  ~GADObjectPrivate() override;
  GADObjectPrivate(const GADObjectPrivate&) = delete;
  GADObjectPrivate& operator=(const GADObjectPrivate&) = delete;

  // Takes the request (null: a new default one) as the loader's own copy
  // and starts an attempt unless the gate refuses.
  void loadRequest(const std::shared_ptr<GADRequest>& request);
  void reloadCurrentRequest();
  // Cancels every deferred call that targets this loader and the refresh timer.
  void cancelPendingActions();
  // The banner is going: nothing may name it any more. Its owner calls this
  // before it lets the loader go, since a fetch or a page may outlive it.
  void detachFromAdView();

  // Null yields a new default request, a GADRequestPrivate is returned
  // unchanged, any other request yields null.
  static std::shared_ptr<GADRequestPrivate> privateRequestWithRequest(const std::shared_ptr<GADRequest>& request);
  // The URLs of a header's space-separated pieces, appended to `urls`: each
  // once, and no more than an ad may have (GADContentPolicy's bound).
  static void appendURLsFromHeader(std::vector<platform::URL>& urls, const std::string& header);
  // The interval a "X-Zovo-Refresh-Rate" value asks for: nullopt when it
  // names none (not a number, negative), 0 for no refresh, otherwise within
  // the bounds above.
  static std::optional<double> refreshSecondsFromHeader(const std::string& value);
  // Whether the application lets a load start now.
  static bool isAppActive();
  static void resetLaunchFinishedForTesting();

  bool isMakingRequest() const;
  GADBannerView* adView() const { return adView_; }
  const std::string& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::string adUnitID) { adUnitID_ = std::move(adUnitID); }
  GADDelegateManager* delegateManager() const { return delegateManager_.get(); }
  const std::shared_ptr<GADDelegateManager>& sharedDelegateManager() const { return delegateManager_; }
  // Not retained: null once the controller has gone.
  platform::ViewController* rootViewController() const { return rootViewController_.lock().get(); }
  void setRootViewController(platform::ViewController* controller);
  GADRequestPrivate* request() const { return request_.get(); }
  GADObjectState state() const { return static_cast<GADObjectState>(state_); }
  void changeState(GADObjectState state) {
    if (state_ == state) return;
    state_ = state;
    // A new ad rendering replaces the one shown.
    if (state == kGADObjectStateRenderingAd) hasVisibleAd_ = false;
  }
  // Whether an ad the banner showed is still on screen: from its finished
  // load until another ad starts rendering, through a refresh and a failed
  // one. While it is, the user's navigations from it are clicks.
  bool hasVisibleAd() const { return hasVisibleAd_; }
  // Whether the last load was a refresh made by the timer.
  bool hasAutoRefreshed() const { return hasAutoRefreshed_; }
  std::int32_t supportedOrientations() const { return supportedOrientations_; }
  bool hasReloadTimer() const { return reloadTimer_ != nullptr; }
  // The interval of the pending refresh (backoff included); 0 without one.
  double scheduledReloadSeconds() const;
  double reloadSeconds() const { return reloadSeconds_; }

  // The banner's ad web view: hidden until an ad has loaded in it.
  platform::WebView* webView() const { return webView_.get(); }
  GADBannerWebViewDelegate* webViewDelegate() const { return webViewDelegate_.get(); }
  // The hidden web view of the build-ad page, while it runs. The view is
  // kept between attempts (each gets a delegate of its own, and the page is
  // emptied after it): a warm web view builds the next ad's URL sooner.
  platform::WebView* buildAdWebView() const { return buildAdPageRunning_ ? buildAdWebView_.get() : nullptr; }
  GADCachedFile* adHTML() const { return adHTML_.get(); }
  std::optional<std::string> adHTMLString() const;

  // What a click on the ad on screen does: its click tracking URLs and its
  // screen's orientations, taken from its response when it was shown and
  // kept until another ad is shown (a refresh fetching or failing meanwhile
  // changes nothing of them).
  const std::vector<platform::URL>& shownAdClickURLs() const { return shownAdClickURLs_; }
  std::int32_t shownAdSupportedOrientations() const { return shownAdSupportedOrientations_; }
  // The impression and click tracking URLs of the ad being fetched or shown
  // last (the response's).
  const std::vector<platform::URL>& pendingTrackingURLs() const { return pendingTrackingURLs_; }
  const std::vector<platform::URL>& pendingClickURLs() const { return pendingClickURLs_; }
  void addPendingTrackingURL(platform::URL url) { pendingTrackingURLs_.push_back(std::move(url)); }
  void addPendingClickURL(platform::URL url) { pendingClickURLs_.push_back(std::move(url)); }
  // Fires each URL through a tracker of its own, a bounded number at once
  // (the rest wait their turn, and a bounded number wait); finished
  // trackers are let go on the next turn of the run loop.
  void trackURLs(const std::vector<platform::URL>& urls);
  size_t queuedTrackingCount() const { return queuedTrackingURLs_.size(); }
  const std::vector<std::shared_ptr<GADClickTracker>>& pendingTrackers() const { return trackers_; }

  // The banner web view delegate's report that the ad is on screen.
  void adDidShow();
  // Tells assistive technologies what the banner is: the "Advertisement"
  // region, with the shown ad's title when its page gives one.
  void describeAdView();
  // Its report that the ad's page failed while it rendered: the attempt
  // ends with a network error (code 2) and the next one is scheduled.
  void adDidFailToRender();
  // Its report that the ad's page process has gone: the ad shown or being
  // rendered has gone with it. The attempt it belonged to ends with a
  // network error, once, and the next one is scheduled.
  void adWebProcessDidTerminate();
  // The banner web view delegate's report of a user's click on the shown
  // ad: from now on it is held to no resource bound.
  void adWasClicked();
  // Heavy ads unloaded so far (see GADHeavyAdGuard).
  int heavyAdUnloadCount() const { return heavyAdUnloadCount_; }
  GADHeavyAdGuard* heavyAdGuard() const { return heavyAdGuard_.get(); }

 private:
  explicit GADObjectPrivate(const platform::Rect& frame);
  void observeApplication();
  void loadPrivateRequestAutoRefresh(const std::shared_ptr<GADRequestPrivate>& request, bool autoRefresh);
  bool supportsMinimumRequirementsForRequest(GADRequestPrivate* request);
  void ensureSupportFiles();
  void buildAdUrl();
  void addAdditionalParameters(platform::Dictionary& parameters) const;
  void setupBuildAdWebView();
  void resetBuildAdWebView();
  void silenceBuildAdPage();
  void buildAdWebProcessDidTerminate();
  void loadAdURL(const platform::Notification& message);
  void refuseAdRequest(const char* what, const platform::Notification& message);
  void setAdHTML(std::unique_ptr<GADCachedFile> file);
  void processHTTPHeaders(GADCachedFile& file);
  void showAd();
  void failedToDownloadJavaScriptWithError();
  void failedAdRequestWithError(GADCachedFile& file);
  void attemptTimedOut();
  // An attempt ended without an ad: report it and retry on the schedule.
  void endAttemptWithError(const GADRequestError& error);
  void armAttemptDeadline();
  void disarmAttemptDeadline();
  void addReloadInformationFromHeaders();
  // Ads: the interval the ad network named, kept for later refreshes;
  // Retry: one of our own, for this wait only.
  // The ad server's interval; a retry before any ad named one; the soon
  // retry after a page process ended (its own backoff).
  enum class Interval { Ads, Retry, AfterProcessEnd };
  void scheduleReloadTimer(double seconds, Interval interval = Interval::Ads);
  void scheduleNextAttempt(double seconds);
  void networkDidBecomeReachable();
  void resetReloadTimer();
  void activateReloadTimer();
  void deactivateReloadTimer();
  void resumeRefusedRefresh();
  void fullScreenDidRelinquish();
  void cleanupTrackers();
  // The shown ad passed a resource bound: it is unloaded, and the next one
  // asked for at once.
  void unloadHeavyAd(const char* bound, double cpuSeconds, std::uint64_t networkBytes);
  void startQueuedTrackers();

  void trackerDidRedirect(GADClickTracker& tracker, const platform::URL& url) override;
  void trackerDidFailWithError(GADClickTracker& tracker, const platform::Error* error) override;
  void cachedFileDownloadDidEnd(GADCachedFile& file) override;
  void cachedFileDownloadDidFail(GADCachedFile& file, const platform::Error* error) override;
  std::optional<platform::Error> cachedFileShouldRedirectToURL(GADCachedFile& file, const platform::URL& url) override;

  GADBannerView* adView_ = nullptr;
  std::string adUnitID_;
  std::shared_ptr<GADDelegateManager> delegateManager_;
  std::weak_ptr<platform::ViewController> rootViewController_;
  std::shared_ptr<platform::WebView> webView_;
  std::shared_ptr<platform::WebView> buildAdWebView_;
  bool buildAdPageRunning_ = false;
  std::shared_ptr<GADBannerWebViewDelegate> webViewDelegate_;
  std::unique_ptr<GADWebViewDelegate> buildAdWebViewDelegate_;
  std::unique_ptr<GADCachedFile> buildAdJS_;
  std::unique_ptr<GADCachedFile> adHTML_;
  std::shared_ptr<GADRequestPrivate> request_;
  std::int32_t state_ = kGADObjectStateIdle;
  std::vector<std::shared_ptr<GADClickTracker>> trackers_;
  std::deque<platform::URL> queuedTrackingURLs_;
  std::vector<platform::URL> pendingTrackingURLs_;
  std::vector<platform::URL> pendingClickURLs_;
  std::vector<platform::URL> shownAdClickURLs_;
  std::int32_t shownAdSupportedOrientations_ = 1;
  std::shared_ptr<platform::Timer> reloadTimer_;
  double reloadSeconds_ = 0;
  double scheduledReloadSeconds_ = 0;
  bool hasAutoRefreshed_ = false;
  bool refreshRefused_ = false;  // a refresh fell due while unseen
  bool hasVisibleAd_ = false;
  bool refreshNamed_ = false;  // an ad response has named a refresh interval
  std::int32_t supportedOrientations_ = 1;
  // Failed attempts in a row, for the backoff; a shown ad clears it.
  int failuresInARow_ = 0;
  int processEndsInARow_ = 0;        // reset by a refresh the ad lived to see
  bool retrySoonAfterProcessEnd_ = false;  // the next schedule is the soon one
  // Whether the attempt now ending failed (read when scheduling).
  bool attemptFailed_ = false;
  // The running attempt's deadline.
  platform::DeferredCall attemptDeadline_;
  // Holds each ad, from its load to its end, to the heavy-ad bounds.
  std::shared_ptr<GADHeavyAdGuard> heavyAdGuard_;
  int heavyAdUnloadCount_ = 0;
};
