#include "ads/core/GADObjectPrivate.h"

#include <algorithm>
#include <cmath>

#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADWebViewDelegate.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADCachedFile.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADHeavyAdGuard.h"
#include "ads/core/GADMacros.h"
#include "ads/core/GADRequestError.h"
#include "ads/fullscreen/GADViewController.h"
#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADNetworkChecker.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADRequestPrivate.h"
#include "ads/request/GADSignalsProvider.h"
#include "ads/request/GADStatistics.h"
#include "ads/request/GADStatisticsCore.h"
#include "platform/Application.h"
#include "platform/ASCII.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/NumberText.h"
#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"
#include "platform/Timer.h"
#include "platform/UserDefaults.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"

namespace {

constexpr const char* kExpireDateKey = "expireDate";
constexpr double kScriptLifetimeSeconds = 86400;

struct LaunchFinished {
  bool value = false;
  bool observing = false;
};
LaunchFinished& launchFinished() { return platform::processWide<LaunchFinished>(); }

// Class start-up: the launch-finished flag is set once, when the platform
// announces it.
void observeLaunchOnce() {
  auto& launch = launchFinished();
  if (launch.observing || launch.value) return;
  // A host that launched before its first banner (an embedding one) has
  // announced it already.
  if (platform::Application::shared().hasFinishedLaunching()) {
    launch.value = true;
    return;
  }
  launch.observing = true;
  static int token;
  platform::NotificationCenter::defaultCenter().addObserver(
      &token, platform::kApplicationDidFinishLaunchingNotification, nullptr, [](const platform::Notification&) {
        launchFinished().value = true;
        launchFinished().observing = false;
        platform::NotificationCenter::defaultCenter().removeObserver(&token);
      });
}

const std::string* userInfoText(const platform::Notification& message, std::string_view key) {
  const platform::Value* value = message.userInfo.find(key);
  return value ? value->asString() : nullptr;
}

}  // namespace

GADObjectPrivate::GADObjectPrivate(const platform::Rect& frame)
    : delegateManager_(std::make_shared<GADDelegateManager>()) {
  webView_ = platform::View::make<platform::WebView>(frame);
  webView_->setClipsToBounds(true);
  webView_->setAutoresizingMask(platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight);
  webView_->setOpaque(false);
  webView_->setBackgroundColor(platform::Color::clear());
  webView_->setHidden(true);
  webView_->setResponsivenessProbe(kResponsivenessProbeSeconds, kResponsivenessDeadlineSeconds);
  webViewDelegate_ = std::make_shared<GADBannerWebViewDelegate>(this);
}

std::shared_ptr<GADObjectPrivate> GADObjectPrivate::createWithFrame(const platform::Rect& frame) {
  observeLaunchOnce();
  auto loader = std::shared_ptr<GADObjectPrivate>(new GADObjectPrivate(frame));
  loader->observeApplication();
  std::weak_ptr<GADObjectPrivate> weak = loader;
  loader->heavyAdGuard_ = std::make_shared<GADHeavyAdGuard>(
      [weak](GADHeavyAdGuard::Bound bound, const platform::PageResourceUsage& used) {
        if (auto self = weak.lock()) self->unloadHeavyAd(GADHeavyAdGuard::name(bound), used.cpuSeconds, used.networkBytes);
      });
  return loader;
}

std::shared_ptr<GADObjectPrivate> GADObjectPrivate::createWithView(GADBannerView* view) {
  auto loader = createWithFrame(view ? view->bounds() : platform::Rect());
  loader->adView_ = view;
  if (view) {
    view->setAccessibleRole(platform::AccessibleRole::Region);
    view->addSubview(loader->webView_);
  }
  loader->describeAdView();
  return loader;
}

// The observers hold the loader weakly: it stops observing when it goes.
void GADObjectPrivate::observeApplication() {
  auto& center = platform::NotificationCenter::defaultCenter();
  std::weak_ptr<GADObjectPrivate> weak = weak_from_this();
  auto on = [&center, this, weak](const char* name, void (GADObjectPrivate::*action)()) {
    center.addObserver(this, name, nullptr, [weak, action](const platform::Notification&) {
      if (auto self = weak.lock()) ((*self).*action)();
    });
  };
  if (GADIdentifierUtilities::isOSAtLeastMajorMinorBug(4, 0, 0)) {
    on(platform::kApplicationDidEnterBackgroundNotification, &GADObjectPrivate::deactivateReloadTimer);
    on(platform::kApplicationWillEnterForegroundNotification, &GADObjectPrivate::activateReloadTimer);
  } else {
    on(platform::kApplicationWillResignActiveNotification, &GADObjectPrivate::deactivateReloadTimer);
    on(platform::kApplicationDidBecomeActiveNotification, &GADObjectPrivate::activateReloadTimer);
  }
  on(kGADNetworkDidBecomeReachableNotification, &GADObjectPrivate::networkDidBecomeReachable);
  on(platform::kApplicationWillEnterForegroundNotification, &GADObjectPrivate::resumeRefusedRefresh);
  on(platform::kApplicationDidBecomeActiveNotification, &GADObjectPrivate::resumeRefusedRefresh);
  on(GADViewControllerWillPresentFullScreen, &GADObjectPrivate::deactivateReloadTimer);
  on(GADViewControllerDidRelinquishFullScreen, &GADObjectPrivate::fullScreenDidRelinquish);
}

GADObjectPrivate::~GADObjectPrivate() {
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  if (heavyAdGuard_) heavyAdGuard_->end();
  // The page may still call back: it must find no delegate, and nothing of
  // the ad may keep running in it.
  webView_->setDelegate(nullptr);
  webView_->loadHTMLStringBaseURL("", std::nullopt);
  webView_.reset();
  webViewDelegate_.reset();
  resetBuildAdWebView();  // a running page is emptied; an ended one was already
  buildAdWebView_.reset();
  adUnitID_.clear();
  if (buildAdJS_) buildAdJS_->setDelegate(nullptr);
  buildAdJS_.reset();
  setAdHTML(nullptr);
  request_.reset();
  // The manager may outlive us for the rest of a dispatch: it must not name
  // a banner that is going away.
  if (delegateManager_) delegateManager_->setAdView(nullptr);
  delegateManager_.reset();
  for (const auto& tracker : trackers_) {
    tracker->setDelegate(nullptr);
    tracker->reset();
  }
  trackers_.clear();
  queuedTrackingURLs_.clear();
  pendingTrackingURLs_.clear();
  pendingClickURLs_.clear();
}

std::shared_ptr<GADRequestPrivate> GADObjectPrivate::privateRequestWithRequest(
    const std::shared_ptr<GADRequest>& request) {
  if (!request) return std::static_pointer_cast<GADRequestPrivate>(GADRequest::request());
  return std::dynamic_pointer_cast<GADRequestPrivate>(request);
}

void GADObjectPrivate::detachFromAdView() {
  adView_ = nullptr;
  if (delegateManager_) delegateManager_->setAdView(nullptr);
}

void GADObjectPrivate::setRootViewController(platform::ViewController* controller) {
  rootViewController_ = controller ? controller->weak_from_this() : std::weak_ptr<platform::ViewController>();
}

bool GADObjectPrivate::isMakingRequest() const {
  return state_ == kGADObjectStateLoadingScript || state_ == kGADObjectStateBuildingAdURL ||
         state_ == kGADObjectStateLoadingAdHTML || state_ == kGADObjectStateRenderingAd;
}

// On the desktop the banner is seen while its window is shown, whichever
// window has the focus: the gate follows visibility, not focus.
bool GADObjectPrivate::isAppActive() {
  auto& app = platform::Application::shared();
  if (app.hasFinishedLaunching() && app.isVisible()) return true;
  // Requests made during launch, before its end is announced, go ahead.
  return !launchFinished().value;
}

void GADObjectPrivate::resetLaunchFinishedForTesting() { launchFinished() = LaunchFinished{}; }

std::optional<std::string> GADObjectPrivate::adHTMLString() const {
  return adHTML_ ? adHTML_->content() : std::nullopt;
}

// ---- Starting a load

void GADObjectPrivate::loadRequest(const std::shared_ptr<GADRequest>& request) {
  loadPrivateRequestAutoRefresh(privateRequestWithRequest(request), false);
}

void GADObjectPrivate::reloadCurrentRequest() { loadPrivateRequestAutoRefresh(request_, true); }

void GADObjectPrivate::loadPrivateRequestAutoRefresh(const std::shared_ptr<GADRequestPrivate>& request,
                                                     bool autoRefresh) {
  // The attempt running arms the next when it ends.
  if (isMakingRequest()) return;
  // The gate, asked when a refresh falls due: the banner must be seen. A
  // refresh that falls due unseen, or under an ad screen, comes back when
  // the window or the screen does (resumeRefusedRefresh).
  const bool screenUp = GADViewController::presentedScreenCount() > 0;
  if (!isAppActive() || (autoRefresh && screenUp)) {
    if (autoRefresh) refreshRefused_ = true;
    return;
  }
  if (!supportsMinimumRequirementsForRequest(request.get())) return;
  hasAutoRefreshed_ = autoRefresh;
  if (request.get() != request_.get() || !request_) {
    request_ = request ? std::static_pointer_cast<GADRequestPrivate>(request->copy())
                       : std::make_shared<GADRequestPrivate>();
  }
  auto& statistics = GADStatistics::sharedStatistics();
  if (!statistics.timingNamed(kGADParameterTimeSinceFirstRequest)) {
    statistics.startTimingNamed(kGADParameterTimeSinceFirstRequest);
  }
  request_->setCounter(static_cast<std::int32_t>(statistics.incrementAdRequestCount()));
  attemptFailed_ = false;
  changeState(kGADObjectStateBuildingAdURL);
  armAttemptDeadline();
  ensureSupportFiles();
}

bool GADObjectPrivate::supportsMinimumRequirementsForRequest(GADRequestPrivate* request) {
  if (GADRequestPrivate::deviceAtLeastMinimumOSMajorVersionMinorVersion(3, 0)) return true;
  delegateManager_->didFailToReceiveAdWithError(GADRequestError::errorWithCode(kGADErrorOSVersionTooLow, request));
  changeState(kGADObjectStateFailed);
  return false;
}

// ---- The core script

void GADObjectPrivate::ensureSupportFiles() {
  if (!buildAdJS_) {
    changeState(kGADObjectStateLoadingScript);
    buildAdJS_ = std::make_unique<GADCachedFile>(static_cast<GADCachedFileDelegate*>(this),
                                                 *platform::URL::create(GADEndpoints::coreScriptURL()));
  }
  GADStatisticsCore store("GADObjectPrivate");
  const platform::Value* stored = store.dateForKey(kExpireDateKey);
  const platform::Value::Date* expires = stored ? stored->asDate() : nullptr;
  const auto content = buildAdJS_->content();
  if (expires && content && !content->empty() && expires->secondsSince1970 >= platform::Clock::now()) {
    cachedFileDownloadDidEnd(*buildAdJS_);
    return;
  }
  // Written once, when the store goes at the end of this call.
  store.setDateForKey(platform::Value(platform::Value::Date{platform::Clock::now() + kScriptLifetimeSeconds}),
                      kExpireDateKey);
  changeState(kGADObjectStateLoadingScript);
  buildAdJS_->validate();
}

void GADObjectPrivate::failedToDownloadJavaScriptWithError() {
  changeState(kGADObjectStateScriptFailed);
  const auto content = buildAdJS_->content();
  if (content && !content->empty()) {
    buildAdUrl();
    return;
  }
  endAttemptWithError(GADRequestError::errorWithCode(kGADErrorNetworkError, nullptr));
}

// ---- The build-ad page

void GADObjectPrivate::buildAdUrl() {
  const auto script = buildAdJS_->content();
  if (!script || script->empty()) {
    // A script we cannot read (no UTF-8 text) would never answer: the
    // attempt fails now, as a failed download does, and the file goes, so
    // the next attempt fetches it afresh rather than revalidating it.
    buildAdJS_->invalidate();
    changeState(kGADObjectStateScriptFailed);
    endAttemptWithError(GADRequestError::errorWithCode(kGADErrorNetworkError, request_.get()));
    return;
  }
  changeState(kGADObjectStateBuildingAdURL);
  platform::Dictionary parameters = request_->parameters();
  addAdditionalParameters(parameters);
  const platform::Value value(parameters);
  const std::string written = GADMacros::jsonify(&value).value_or("{}");
  // The JSON is written into a script element: "</" inside a text (the
  // application's keywords, say) would end it early. "<\/" is the same
  // JSON text to the script.
  std::string json;
  json.reserve(written.size());
  for (size_t i = 0; i < written.size(); ++i) {
    json += written[i];
    if (written[i] == '<' && i + 1 < written.size() && written[i + 1] == '/') json += '\\';
  }
  setupBuildAdWebView();
  std::string page = "<html><head><script>";
  page += *script;
  page += "</script>";
  page += "<script>ZOVO_buildAdURL(" + json + ");</script>";
  page += "</head><body></body></html>";
  buildAdWebView_->loadHTMLStringBaseURL(page, platform::URL::create(GADEndpoints::adServerBaseURL()));
}

void GADObjectPrivate::addAdditionalParameters(platform::Dictionary& parameters) const {
  if (!adUnitID_.empty()) parameters.set("slotname", adUnitID_);
  if (request_->isInterstitialAd()) {
    parameters.set("format", "interstitial_mb");
    return;
  }
  const platform::Rect frame = adView_ ? adView_->frame() : webView_->frame();
  // Single precision, as the ad network reads them.
  auto number = [](double v) { return platform::Value(static_cast<double>(static_cast<float>(v))); };
  parameters.set("ad_frame", platform::Dictionary{{"x", number(frame.origin.x)},
                                                  {"y", number(frame.origin.y)},
                                                  {"w", number(frame.size.width)},
                                                  {"h", number(frame.size.height)}});
}

void GADObjectPrivate::setupBuildAdWebView() {
  resetBuildAdWebView();
  buildAdWebViewDelegate_ = std::make_unique<GADWebViewDelegate>();
  if (!buildAdWebView_) {
    buildAdWebView_ = platform::View::make<platform::WebView>(platform::Rect(0, 0, 1, 1));
    buildAdWebView_->setHidden(true);
  }
  buildAdWebView_->setDelegate(buildAdWebViewDelegate_.get());
  buildAdPageRunning_ = true;
  std::weak_ptr<GADObjectPrivate> loader = weak_from_this();
  buildAdWebViewDelegate_->setWebProcessTerminationHandler([loader] {
    if (auto self = loader.lock()) self->buildAdWebProcessDidTerminate();
  });
  auto& center = GADNotificationCenter::defaultCenter();
  const void* page = buildAdWebView_.get();
  // The messages arrive on later turns; the loader may be gone by then.
  std::weak_ptr<GADObjectPrivate> weak = weak_from_this();
  center.addObserver(this, "loadAdURL", page, [weak](const platform::Notification& n) {
    if (auto self = weak.lock()) self->loadAdURL(n);
  });
  center.addObserver(this, "invalidRequest", page, [weak](const platform::Notification& n) {
    if (auto self = weak.lock()) self->refuseAdRequest("Invalid Request", n);
  });
  center.addObserver(this, "unableToServe", page, [weak](const platform::Notification& n) {
    if (auto self = weak.lock()) self->refuseAdRequest("Unable to serve", n);
  });
}

void GADObjectPrivate::resetBuildAdWebView() {
  GADNotificationCenter::defaultCenter().removeObserver(this);
  if (buildAdWebView_ && buildAdPageRunning_) {
    buildAdWebView_->setDelegate(nullptr);
    buildAdWebView_->stopLoading();
    // Nothing of the page runs on: its script, its timers, what it asked.
    buildAdWebView_->loadHTMLStringBaseURL("", std::nullopt);
  }
  buildAdPageRunning_ = false;
  // Letting the delegate go cancels what it was still to deliver.
  buildAdWebViewDelegate_.reset();
}

// The page has answered: it is heard no more and loads nothing. It is
// emptied when the attempt ends, not now: an empty page loading in the web
// process the ad is about to load in delays the ad by milliseconds.
void GADObjectPrivate::silenceBuildAdPage() {
  GADNotificationCenter::defaultCenter().removeObserver(this);
  if (buildAdWebViewDelegate_) buildAdWebViewDelegate_->silencePage();
}

void GADObjectPrivate::buildAdWebProcessDidTerminate() {
  if (state_ != kGADObjectStateBuildingAdURL) return;
  resetBuildAdWebView();
  changeState(kGADObjectStateFailed);
  endAttemptWithError(GADRequestError::errorWithCode(kGADErrorNetworkError, request_.get()));
}

void GADObjectPrivate::loadAdURL(const platform::Notification& message) {
  // Only the page of the running attempt is heard.
  if (state_ != kGADObjectStateBuildingAdURL) return;
  silenceBuildAdPage();
  changeState(kGADObjectStateLoadingAdHTML);
  const std::string* text = userInfoText(message, "url");
  std::optional<platform::URL> url = text ? platform::URL::create(*text) : std::nullopt;
  gad_gig(GADRequestPrivate::requestTypeFromString(userInfoText(message, "type")), GADRequest::sdkVersion());
  // The page is the ad network's: only a web address is fetched.
  if (!url || !(url->scheme() == "http" || url->scheme() == "https")) {
    platform::log("Invalid ad URL: %s", text ? text->c_str() : "(none)");
    endAttemptWithError(GADRequestError::errorWithCode(kGADErrorServerError, request_.get()));
    return;
  }
  const platform::Dictionary signals = request_->spamSignals();
  if (!signals.empty()) {
    if (auto signedURL = GADNetworkUtilities::appendQueryParametersToURL(signals, *url)) url = signedURL;
  }
  GADStatistics::sharedStatistics().startTimingNamed(kGADParameterPriorRequestLatency);
  setAdHTML(std::make_unique<GADCachedFile>(static_cast<GADCachedFileDelegate*>(this), *url));
}

void GADObjectPrivate::refuseAdRequest(const char* what, const platform::Notification& message) {
  if (state_ != kGADObjectStateBuildingAdURL) return;
  resetBuildAdWebView();
  platform::log("%s: %s", what, platform::Value(message.userInfo).description().c_str());
  // The attempt is over: it must not hold the loader in a running state.
  changeState(kGADObjectStateFailed);
  endAttemptWithError(GADRequestError::errorWithCode(kGADErrorInvalidRequest, request_.get()));
}

// ---- The ad HTML

void GADObjectPrivate::setAdHTML(std::unique_ptr<GADCachedFile> file) {
  if (file.get() == adHTML_.get()) return;
  if (adHTML_) {
    auto old = std::move(adHTML_);
    old->setDelegate(nullptr);
    old->invalidate();
  }
  adHTML_ = std::move(file);
  if (adHTML_) adHTML_->validate();
  pendingTrackingURLs_.clear();
  pendingClickURLs_.clear();
}

void GADObjectPrivate::appendURLsFromHeader(std::vector<platform::URL>& urls, const std::string& header) {
  // A server's header may name thousands (and each redirect hop adds its
  // own): each URL is a fetch, so an ad gets a bounded number.
  // The URLs are separated by white space; a field sent on several lines
  // reaches us joined with ", " (HTTP's rule for repeated fields), so a
  // comma that ends a URL is the join's, not the URL's.
  size_t start = 0;
  while (start < header.size()) {
    size_t end = start;
    while (end < header.size() && !platform::ascii::isSpace(header[end])) ++end;
    std::string piece = header.substr(start, end - start);
    while (!piece.empty() && piece.back() == ',') piece.pop_back();
    start = end + 1;
    if (piece.empty()) continue;
    auto url = platform::URL::create(piece);
    if (!url || url->absoluteString().empty() || std::find(urls.begin(), urls.end(), *url) != urls.end()) continue;
    if (urls.size() >= GADContentPolicy::kMaximumTrackingURLs) {
      GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::TrackingURLs, piece);
      return;
    }
    urls.push_back(*url);
  }
}

void GADObjectPrivate::processHTTPHeaders(GADCachedFile& file) {
  const platform::Dictionary& headers = file.httpHeaders();
  if (auto value = platform::headerFieldValue(headers, "X-Zovo-Tracking-Urls"))
    appendURLsFromHeader(pendingTrackingURLs_, *value);
  if (auto value = platform::headerFieldValue(headers, "X-Zovo-Click-Tracking-Urls"))
    appendURLsFromHeader(pendingClickURLs_, *value);
  const auto orientation = platform::headerFieldValue(headers, "X-Zovo-Orientation");
  supportedOrientations_ = GADViewController::orientationFromString(orientation ? &*orientation : nullptr);
  if (auto timeout = platform::headerFieldValue(headers, "X-Zovo-Interstitial-Timeout"); timeout && !timeout->empty()) {
    const double seconds = platform::NumberText::parse(platform::ascii::trimmed(*timeout)).value_or(0);
    platform::UserDefaults::standard().setObjectForKey(platform::Value(seconds), "applicationTimeout");
  }
}

void GADObjectPrivate::showAd() {
  const std::optional<platform::URL> base = adHTML_->httpDestinationURL();
  const std::string content = platform::ascii::trimmed(adHTML_->content().value_or(""));
  if (content.empty()) {
    changeState(kGADObjectStateFailed);
    endAttemptWithError(GADRequestError::errorWithCode(kGADErrorNoFill, request_.get()));
    return;
  }
  attemptFailed_ = false;
  changeState(kGADObjectStateRenderingAd);
  heavyAdGuard_->beginPage(webView_);
  if (auto* mraid = webViewDelegate_->mraid()) mraid->prepare(adUnitID_);
  webView_->loadHTMLStringBaseURL(content, base);
}

void GADObjectPrivate::adDidShow() {
  resetBuildAdWebView();
  hasVisibleAd_ = true;
  shownAdClickURLs_ = pendingClickURLs_;
  shownAdSupportedOrientations_ = supportedOrientations_;
  disarmAttemptDeadline();
  failuresInARow_ = 0;
  heavyAdGuard_->pageShown();
  describeAdView();
  // The attempt has ended: the next is armed, here as for every end.
  addReloadInformationFromHeaders();
}

void GADObjectPrivate::describeAdView() {
  if (!adView_) return;
  const std::string title = hasVisibleAd_ ? webView_->title() : std::string();
  adView_->setAccessibleName(title.empty() ? "Advertisement" : "Advertisement: " + title);
}

void GADObjectPrivate::adDidFailToRender() {
  changeState(kGADObjectStateFailed);
  endAttemptWithError(GADRequestError::errorWithCode(kGADErrorNetworkError, request_.get()));
}

void GADObjectPrivate::adWebProcessDidTerminate() {
  heavyAdGuard_->end();
  webView_->setHidden(true);
  const bool wasShown = hasVisibleAd_ && state_ == kGADObjectStateAdShown;
  hasVisibleAd_ = false;
  describeAdView();
  const bool rendering = state_ == kGADObjectStateRenderingAd;
  // Otherwise an attempt is on its way: its ad loads in a new process.
  if (!rendering && !wasShown) return;
  ++processEndsInARow_;
  retrySoonAfterProcessEnd_ = true;
  // The ad being rendered fails its attempt; a shown ad's attempt has had
  // its one outcome already, and only the next one is due.
  if (rendering) {
    adDidFailToRender();
  } else {
    scheduleNextAttempt(reloadSeconds_);
  }
}

void GADObjectPrivate::adWasClicked() { heavyAdGuard_->exempt(); }

// As browsers unload a heavy ad: its page is emptied (nothing of it runs
// or loads on), the banner shows nothing of it, and the next ad is asked
// for now rather than a refresh interval later. It is no failure of the
// attempt that showed it, which has ended.
void GADObjectPrivate::unloadHeavyAd(const char* bound, double cpuSeconds, std::uint64_t networkBytes) {
  if (!hasVisibleAd_) return;
  ++heavyAdUnloadCount_;
  platform::log("Unloaded a heavy ad (%s): %s s of CPU, %llu bytes received", bound,
                platform::NumberText::fixed(cpuSeconds, 1).c_str(), static_cast<unsigned long long>(networkBytes));
  hasVisibleAd_ = false;
  describeAdView();
  webView_->setHidden(true);
  webView_->stopLoading();
  webView_->loadHTMLStringBaseURL("", std::nullopt);
  if (state_ == kGADObjectStateAdShown) changeState(kGADObjectStateIdle);
  // A refresh already on its way brings the next ad.
  if (isMakingRequest()) return;
  resetReloadTimer();
  reloadCurrentRequest();
}

void GADObjectPrivate::failedAdRequestWithError(GADCachedFile& file) {
  changeState(kGADObjectStateFailed);
  const long status = file.httpStatusCode();
  long code = kGADErrorNetworkError;
  if (status == 400) {
    platform::log("Server rejected ad parameters.  Typically this is because the ad unit ID is incorrect.");
    code = kGADErrorInvalidRequest;
  } else if (status > 400) {
    code = kGADErrorServerError;
  }
  endAttemptWithError(GADRequestError::errorWithCode(code, request_.get()));
}

// ---- Ending attempts

void GADObjectPrivate::endAttemptWithError(const GADRequestError& error) {
  disarmAttemptDeadline();
  resetBuildAdWebView();
  ++failuresInARow_;
  attemptFailed_ = true;
  if (isMakingRequest()) changeState(kGADObjectStateFailed);
  // Schedule first: the application's handler may load again at once.
  addReloadInformationFromHeaders();
  delegateManager_->didFailToReceiveAdWithError(error);
}

void GADObjectPrivate::armAttemptDeadline() {
  std::weak_ptr<GADObjectPrivate> weak = weak_from_this();
  attemptDeadline_.schedule(kAttemptTimeoutSeconds, [weak] {
    if (auto self = weak.lock()) self->attemptTimedOut();
  });
}

void GADObjectPrivate::disarmAttemptDeadline() { attemptDeadline_.cancel(); }

void GADObjectPrivate::attemptTimedOut() {
  if (!isMakingRequest()) return;
  platform::log("The ad request timed out.");
  resetBuildAdWebView();
  if (buildAdJS_) buildAdJS_->cancel();
  if (adHTML_) adHTML_->cancel();
  if (state_ == kGADObjectStateRenderingAd) webView_->stopLoading();
  changeState(kGADObjectStateFailed);
  endAttemptWithError(GADRequestError::errorWithCode(kGADErrorTimeout, request_.get()));
}

// ---- The refresh timer

std::optional<double> GADObjectPrivate::refreshSecondsFromHeader(const std::string& value) {
  const auto seconds = platform::NumberText::parse(platform::ascii::trimmed(value));
  if (!seconds || !std::isfinite(*seconds) || *seconds < 0) return std::nullopt;
  if (*seconds == 0) return 0.0;
  return std::clamp(*seconds, kMinimumRefreshSeconds, kMaximumRefreshSeconds);
}

void GADObjectPrivate::addReloadInformationFromHeaders() {
  double seconds = reloadSeconds_;
  if (adHTML_) {
    if (auto header = platform::headerFieldValue(adHTML_->httpHeaders(), "X-Zovo-Refresh-Rate");
        header && !header->empty()) {
      if (auto asked = refreshSecondsFromHeader(*header)) {
        seconds = *asked;
        refreshNamed_ = true;
      }
    }
  }
  scheduleNextAttempt(seconds);
}

void GADObjectPrivate::scheduleNextAttempt(double seconds) {
  if (retrySoonAfterProcessEnd_) {
    retrySoonAfterProcessEnd_ = false;
    const double regular = seconds > 0 ? seconds : kFirstRetrySeconds;
    const double soon = kProcessEndRetrySeconds * (1 << std::min(processEndsInARow_ - 1, 10));
    scheduleReloadTimer(std::min(soon, regular), Interval::AfterProcessEnd);
    return;
  }
  // A banner whose attempts fail before any ad response has named an
  // interval would otherwise stay empty for the whole run: it retries on a
  // schedule of its own (with the backoff), not remembered as the ad's.
  if (seconds == 0 && attemptFailed_ && !refreshNamed_) {
    scheduleReloadTimer(kFirstRetrySeconds, Interval::Retry);
    return;
  }
  scheduleReloadTimer(seconds);
}

void GADObjectPrivate::networkDidBecomeReachable() {
  // The last attempt failed and no ad is up: the user connected, try now.
  if (!attemptFailed_ || isMakingRequest() || hasVisibleAd_ || !request_) return;
  resetReloadTimer();
  reloadCurrentRequest();
}

void GADObjectPrivate::scheduleReloadTimer(double seconds, Interval interval) {
  resetReloadTimer();
  if (seconds == 0) return;
  if (interval == Interval::Ads) reloadSeconds_ = seconds;
  double wait = seconds;
  if (attemptFailed_ && failuresInARow_ > 1 && interval != Interval::AfterProcessEnd) {
    const int factor = std::min(1 << std::min(failuresInARow_ - 1, 30), kMaximumBackoffFactor);
    wait = std::min(seconds * factor, kMaximumRefreshSeconds * 2);
  }
  scheduledReloadSeconds_ = wait;
  std::weak_ptr<GADObjectPrivate> weak = weak_from_this();
  reloadTimer_ = platform::Timer::scheduledTimer(wait, shared_from_this(), [weak, interval] {
    if (auto self = weak.lock()) {
      // The ad lived its whole interval: its page's process did not end.
      if (interval == Interval::Ads) self->processEndsInARow_ = 0;
      self->reloadTimer_.reset();
      self->reloadCurrentRequest();
    }
  });
}

double GADObjectPrivate::scheduledReloadSeconds() const { return reloadTimer_ ? scheduledReloadSeconds_ : 0; }

void GADObjectPrivate::resetReloadTimer() {
  if (!reloadTimer_) return;
  auto timer = std::move(reloadTimer_);
  timer->invalidate();
}

void GADObjectPrivate::activateReloadTimer() { scheduleNextAttempt(reloadSeconds_); }

void GADObjectPrivate::deactivateReloadTimer() { resetReloadTimer(); }

void GADObjectPrivate::fullScreenDidRelinquish() {
  // A nested screen going leaves the one beneath still covering the banner.
  if (GADViewController::presentedScreenCount() != 0) return;
  refreshRefused_ = false;
  activateReloadTimer();
}

void GADObjectPrivate::resumeRefusedRefresh() {
  if (!refreshRefused_ || reloadTimer_ || isMakingRequest()) return;
  if (GADViewController::presentedScreenCount() != 0) return;  // its relinquishing resumes it
  refreshRefused_ = false;
  activateReloadTimer();
}

void GADObjectPrivate::cancelPendingActions() {
  platform::RunLoop::main().cancelPerformRequests(this);
  disarmAttemptDeadline();
  resetReloadTimer();
  heavyAdGuard_->end();
}

// ---- Callbacks

void GADObjectPrivate::cachedFileDownloadDidEnd(GADCachedFile& file) {
  if (&file == buildAdJS_.get()) {
    if (state_ == kGADObjectStateLoadingScript || state_ == kGADObjectStateBuildingAdURL) buildAdUrl();
    return;
  }
  if (&file != adHTML_.get() || state_ != kGADObjectStateLoadingAdHTML) return;
  processHTTPHeaders(file);
  showAd();
}

void GADObjectPrivate::cachedFileDownloadDidFail(GADCachedFile& file, const platform::Error*) {
  if (&file == buildAdJS_.get()) {
    if (state_ == kGADObjectStateLoadingScript) failedToDownloadJavaScriptWithError();
    return;
  }
  if (&file != adHTML_.get() || state_ != kGADObjectStateLoadingAdHTML) return;
  failedAdRequestWithError(file);
}

std::optional<platform::Error> GADObjectPrivate::cachedFileShouldRedirectToURL(GADCachedFile& file,
                                                                               const platform::URL&) {
  if (&file == adHTML_.get()) processHTTPHeaders(file);
  return std::nullopt;
}

void GADObjectPrivate::trackURLs(const std::vector<platform::URL>& urls) {
  constexpr size_t kMaximumQueued = 4 * GADContentPolicy::kMaximumTrackingURLs;
  for (const auto& url : urls) {
    if (queuedTrackingURLs_.size() >= kMaximumQueued) {
      GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::TrackingURLs, url.absoluteString());
      break;
    }
    queuedTrackingURLs_.push_back(url);
  }
  startQueuedTrackers();
}

void GADObjectPrivate::startQueuedTrackers() {
  size_t inFlight = static_cast<size_t>(
      std::count_if(trackers_.begin(), trackers_.end(), [](const auto& tracker) { return !tracker->hasTracked(); }));
  while (inFlight < GADContentPolicy::kMaximumTrackersInFlight && !queuedTrackingURLs_.empty()) {
    auto tracker = std::make_shared<GADClickTracker>();
    tracker->setDelegate(this);
    tracker->trackURL(queuedTrackingURLs_.front());
    queuedTrackingURLs_.pop_front();
    trackers_.push_back(std::move(tracker));
    ++inFlight;
  }
}

void GADObjectPrivate::trackerDidRedirect(GADClickTracker&, const platform::URL&) {
  platform::RunLoop::main().performAfterDelay(shared_from_this(), 0, [this] { cleanupTrackers(); });
}

void GADObjectPrivate::trackerDidFailWithError(GADClickTracker&, const platform::Error*) {
  platform::RunLoop::main().performAfterDelay(shared_from_this(), 0, [this] { cleanupTrackers(); });
}

void GADObjectPrivate::cleanupTrackers() {
  std::erase_if(trackers_, [](const auto& tracker) { return tracker->hasTracked(); });
  startQueuedTrackers();
}
