#include "ads/core/GADObjectPrivate.h"

#include "ads/core/GADBannerView.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/request/GADRequestPrivate.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Timer.h"
#include "platform/ViewController.h"

GADObjectPrivate::GADObjectPrivate(const platform::Rect&)
    : delegateManager_(std::make_shared<GADDelegateManager>()) {}

std::shared_ptr<GADObjectPrivate> GADObjectPrivate::createWithFrame(const platform::Rect& frame) {
  return std::shared_ptr<GADObjectPrivate>(new GADObjectPrivate(frame));
}

std::shared_ptr<GADObjectPrivate> GADObjectPrivate::createWithView(GADBannerView* view) {
  auto loader = createWithFrame(view ? view->bounds() : platform::Rect());
  loader->adView_ = view;
  return loader;
}

GADObjectPrivate::~GADObjectPrivate() {
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  adUnitID_.clear();
  request_.reset();
  // The manager may outlive us for the rest of a dispatch: it must not name
  // a banner that is going away.
  if (delegateManager_) delegateManager_->setAdView(nullptr);
  delegateManager_.reset();
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
