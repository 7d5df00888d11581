#include "ads/core/GADObjectPrivate.h"

#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADClickTracker.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/request/GADRequestPrivate.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Timer.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"

GADObjectPrivate::GADObjectPrivate(const platform::Rect& frame)
    : delegateManager_(std::make_shared<GADDelegateManager>()) {
  webView_ = platform::View::make<platform::WebView>(frame);
  webView_->setClipsToBounds(true);
  webView_->setAutoresizingMask(platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight);
  webView_->setOpaque(false);
  webView_->setBackgroundColor(platform::Color::clear());
  webView_->setHidden(true);
  webViewDelegate_ = std::make_shared<GADBannerWebViewDelegate>(this);
}

std::shared_ptr<GADObjectPrivate> GADObjectPrivate::createWithFrame(const platform::Rect& frame) {
  return std::shared_ptr<GADObjectPrivate>(new GADObjectPrivate(frame));
}

std::shared_ptr<GADObjectPrivate> GADObjectPrivate::createWithView(GADBannerView* view) {
  auto loader = createWithFrame(view ? view->bounds() : platform::Rect());
  loader->adView_ = view;
  if (view) view->addSubview(loader->webView_);
  return loader;
}

GADObjectPrivate::~GADObjectPrivate() {
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  // The page may still call back: it must find no delegate, and nothing of
  // the ad may keep running in it.
  webView_->setDelegate(nullptr);
  webView_->loadHTMLStringBaseURL("", std::nullopt);
  webView_.reset();
  webViewDelegate_.reset();
  adUnitID_.clear();
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
  pendingTrackingURLs_.clear();
  pendingClickURLs_.clear();
}

std::shared_ptr<GADRequestPrivate> GADObjectPrivate::privateRequestWithRequest(
    const std::shared_ptr<GADRequest>& request) {
  if (!request) return std::static_pointer_cast<GADRequestPrivate>(GADRequest::request());
  return std::dynamic_pointer_cast<GADRequestPrivate>(request);
}

void GADObjectPrivate::loadRequest(const std::shared_ptr<GADRequest>& request) {
  auto privateRequest = privateRequestWithRequest(request);
  hasAutoRefreshed_ = false;
  if (privateRequest.get() != request_.get()) {
    request_ = privateRequest ? std::static_pointer_cast<GADRequestPrivate>(privateRequest->copy())
                              : std::make_shared<GADRequestPrivate>();
  }
}

void GADObjectPrivate::detachFromAdView() {
  adView_ = nullptr;
  if (delegateManager_) delegateManager_->setAdView(nullptr);
}

void GADObjectPrivate::setRootViewController(platform::ViewController* controller) {
  rootViewController_ = controller ? controller->weak_from_this() : std::weak_ptr<platform::ViewController>();
}

void GADObjectPrivate::cancelPendingActions() {
  platform::RunLoop::main().cancelPerformRequests(this);
  resetReloadTimer();
}

void GADObjectPrivate::resetReloadTimer() {
  if (!reloadTimer_) return;
  auto timer = std::move(reloadTimer_);
  timer->invalidate();
}

void GADObjectPrivate::trackURLs(const std::vector<platform::URL>& urls) {
  for (const auto& url : urls) {
    auto tracker = std::make_shared<GADClickTracker>();
    tracker->setDelegate(this);
    tracker->trackURL(url);
    trackers_.push_back(std::move(tracker));
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
}
