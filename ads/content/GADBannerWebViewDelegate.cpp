#include "ads/content/GADBannerWebViewDelegate.h"

#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotification.h"
#include "ads/content/GADOpener.h"
#include "ads/core/GADBannerView.h"
#include "ads/content/GADMRAIDResize.h"
#include "ads/fullscreen/GADExpandedAdViewController.h"
#include "platform/Button.h"
#include "platform/Screen.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADRequestError.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADRequestPrivate.h"
#include "ads/request/GADStatistics.h"

namespace {

// The URL a page's call names ("url"), read against the page's own.
std::optional<platform::URL> urlOfCall(const platform::WebView& webView, const platform::Dictionary& parameters) {
  const platform::Value* target = parameters.find("url");
  const std::string* text = target ? target->asString() : nullptr;
  if (!text) return std::nullopt;
  const auto base = webView.currentURL();
  return base ? platform::URL::create(*text, *base) : platform::URL::create(*text);
}

}  // namespace

GADBannerWebViewDelegate::GADBannerWebViewDelegate(GADObjectPrivate* loader) : private_(loader) {
  if (!private_->webView()) return;
  private_->webView()->setDelegate(this);
  mraid_ = std::make_unique<GADMRAIDBridge>(*private_->webView());
}

GADBannerWebViewDelegate::~GADBannerWebViewDelegate() {
  // A resized ad leaves the screen with its banner.
  if (resizedClose_) {
    resizedClose_->removeFromSuperview();
    if (private_->webView()) private_->webView()->removeFromSuperview();
  }
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

  const std::string& scheme = request.url().scheme();
  if (scheme == "file" || scheme == "about" || silenced()) {
    return GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
  }
  clickThrough(webView, request, type);
  return false;
}

// The ad is on screen and the user went somewhere from it: a click, once
// its opening is allowed, and the only act of the user's activation.
bool GADBannerWebViewDelegate::clickThrough(platform::WebView& webView, const platform::URLRequest& request,
                                            platform::NavigationType type) {
  const platform::URL& url = request.url();
  const std::string& scheme = url.scheme();
  noteNavigation(webView, request);
  // Expanded, the ad's screen is the one a landing page goes over.
  if (auto screen = expanded_.lock()) opener().setViewController(screen.get());
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
    return true;
  }
  opener().setReferringURL(webView.currentURL());
  const int orientations = private_->shownAdSupportedOrientations();
  if (!clickTracking.empty()) {
    opener().openWebAppSupportedOrientations(click, orientations);
  } else {
    opener().openBrowserToURLSupportedOrientations(click, orientations);
  }
  return true;
}

// The page's "mraid" calls: its interface has loaded; it opens a URL as a
// link the user followed would, expands, resizes, closes or unloads itself.
void GADBannerWebViewDelegate::receiveMRAIDCall(platform::WebView& webView, const std::string& call,
                                                const platform::Dictionary& parameters) {
  if (!mraid_ || silenced()) return;
  if (call == "loaded") {
    mraid_->pageDidLoadInterface(private_->rootViewController());
  } else if (call == "open" || call == "playVideo") {
    // A video plays in the in-app browser, as a link to it would.
    openForPage(webView, parameters, call);
  } else if (call == "expand") {
    expand(webView, parameters);
  } else if (call == "resize") {
    resize(webView, parameters);
  } else if (call == "close") {
    if (auto screen = expanded_.lock()) {
      screen->relinquishScreen();
    } else if (resizedClose_) {
      collapse();
    } else {
      mraid_->adDidClose();
    }
  } else if (call == "unload") {
    mraid_->adDidClose();
  }
}

bool GADBannerWebViewDelegate::clickStandsBehind(platform::WebView& webView, const std::string& call,
                                                 const std::string& why) {
  if (private_->hasVisibleAd() && GADContentPolicy::hasUserGesture(webView)) return true;
  contentPolicy().refuse(GADContentPolicy::Refusal::NoGesture, "\"" + call + "\" of the rich-media interface");
  mraid_->reportError(why, call);
  return false;
}

void GADBannerWebViewDelegate::openForPage(platform::WebView& webView, const platform::Dictionary& parameters,
                                           const std::string& call) {
  const auto url = urlOfCall(webView, parameters);
  if (!url) {
    mraid_->reportError("not a URL", call);
  } else if (clickStandsBehind(webView, call, "acts only on the user's click") &&
             !clickThrough(webView, platform::URLRequest(*url), platform::NavigationType::LinkClicked)) {
    mraid_->reportError("cannot open it now", call);
  }
}

// The ad's page over the whole application, on the user's click: the
// banner's web view goes to the screen and comes back when it closes. The
// banner keeps its place meanwhile, empty.
void GADBannerWebViewDelegate::expand(platform::WebView& webView, const platform::Dictionary& parameters) {
  const std::string& state = mraid_->state();
  platform::ViewController* parent = private_->rootViewController();
  using Kind = GADViewController::Kind;
  // A second part comes from the web, in a page of the screen's own.
  const std::optional<platform::URL> page = urlOfCall(webView, parameters);
  if (parameters.find("url") && (!page || (page->scheme() != "http" && page->scheme() != "https"))) {
    mraid_->reportError("expands only to a web page", "expand");
    return;
  }
  if (state != "default" && state != "resized") {
    mraid_->reportError("not in the default state", "expand");
    return;
  }
  if (!clickStandsBehind(webView, "expand", "expands only on the user's click")) return;
  if (!parent || !GADViewController::admitsScreenOver(Kind::Plain, parent)) {
    GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::Screen, "GADExpandedAdViewController");
    mraid_->reportError("another screen is up", "expand");
    return;
  }
  if (!GADContentPolicy::consumeUserGesture(webView)) return;
  collapse();  // from a resize: the banner's place first
  auto screen = GADViewController::create<GADExpandedAdViewController>();
  screen->setDelegateManager(private_->sharedDelegateManager());
  std::weak_ptr<GADObjectPrivate> loader = private_->weak_from_this();
  if (page) {
    screen->showPage(*page, private_->adUnitID(), [loader] {
      auto self = loader.lock();
      if (auto* mraid = self ? self->webViewDelegate()->mraid() : nullptr) mraid->setState("default");
    });
  } else {
    screen->lend(std::static_pointer_cast<platform::WebView>(webView.shared_from_this()),
                 [loader](std::shared_ptr<platform::WebView>) {
                   if (auto self = loader.lock()) self->webViewDelegate()->returnToBanner();
                 });
  }
  expanded_ = screen;
  mraid_->setState("expanded");
  screen->presentFromViewController(parent);
}

void GADBannerWebViewDelegate::resize(platform::WebView& webView, const platform::Dictionary& parameters) {
  const std::string& state = mraid_->state();
  auto* screen = private_->rootViewController();
  GADBannerView* banner = private_->adView();
  const auto properties = GADMRAIDResize::parse(parameters);
  if (state != "default" && state != "resized") {
    mraid_->reportError("not in the default or resized state", "resize");
    return;
  }
  if (!properties || !screen || !banner) {
    mraid_->reportError("resize properties missing or wrong", "resize");
    return;
  }
  const platform::Rect home = GADMRAIDBridge::placementInWindow(*banner).frame;
  const auto place = GADMRAIDResize::place(*properties, home, platform::Screen::main().bounds());
  if (const auto* why = std::get_if<std::string>(&place)) {
    mraid_->reportError(*why, "resize");
    return;
  }
  const platform::Rect frame = std::get<platform::Rect>(place);
  const platform::Size now = webView.frame().size;
  // Growing covers more of the application: the user's to allow.
  if (frame.width() > now.width || frame.height() > now.height) {
    if (!clickStandsBehind(webView, "resize", "grows only on the user's click") ||
        !GADContentPolicy::consumeUserGesture(webView))
      return;
  }
  // In the screen's view, above the rest of it; in its coordinates.
  const platform::Point top = platform::Screen::main().applicationFrame().origin;
  auto view = std::static_pointer_cast<platform::WebView>(webView.shared_from_this());
  view->setFrame(platform::Rect(frame.x() - top.x, frame.y() - top.y, frame.width(), frame.height()));
  screen->view()->addSubview(view);
  if (resizedClose_) resizedClose_->removeFromSuperview();
  const double size = GADMRAIDResize::kCloseRegionPoints;
  std::weak_ptr<GADObjectPrivate> loader = private_->weak_from_this();
  resizedClose_ = GADExpandedAdViewController::closeControl(
      platform::Rect(frame.x() - top.x + frame.width() - size, frame.y() - top.y, size, size), [loader] {
        if (auto self = loader.lock()) self->webViewDelegate()->collapse();
      });
  screen->view()->addSubview(resizedClose_);
  mraid_->setState("resized");
}

void GADBannerWebViewDelegate::collapse() {
  if (!resizedClose_) return;
  resizedClose_->removeFromSuperview();
  resizedClose_.reset();
  returnToBanner();
}

void GADBannerWebViewDelegate::returnToBanner() {
  GADBannerView* banner = private_->adView();
  platform::WebView* webView = private_->webView();
  if (banner && webView) {
    webView->setFrame(banner->bounds());
    banner->addSubview(std::static_pointer_cast<platform::WebView>(webView->shared_from_this()));
  }
  mraid_->setState("default");
}

void GADBannerWebViewDelegate::webViewDidStartLoad(platform::WebView& webView) {
  GADWebViewDelegate::webViewDidStartLoad(webView);
  // The next ad shows in the banner's own place.
  collapse();
  if (mraid_) mraid_->pageDidChange();
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
  if (mraid_) mraid_->adDidShow(private_->rootViewController());
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
