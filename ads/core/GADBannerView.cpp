#include "ads/core/GADBannerView.h"

#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/core/GADRequestError.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

std::shared_ptr<GADBannerView> GADBannerView::create(const platform::Rect& frame) {
  return platform::View::make<GADBannerView>(frame);
}

GADBannerView::GADBannerView(const platform::Rect& frame) : platform::View(frame) { commonInitializer(); }

void GADBannerView::commonInitializer() {
  setBackgroundColor(platform::Color::clear());
  // The registry entry becomes the loader's only owner.
  GADPrivateUtilities::setPrivateObjectForKey(GADObjectPrivate::createWithView(this), this);
}

GADBannerView::~GADBannerView() {
  // The timer and deferred calls keep the loader alive: stop them first,
  // then let the loader go with the registry entry.
  if (auto loader = privateObject()) {
    loader->cancelPendingActions();
    loader->detachFromAdView();
  }
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  GADPrivateUtilities::removePrivateObjectForKey(this);
}

std::shared_ptr<GADObjectPrivate> GADBannerView::privateObject() const {
  return GADPrivateUtilities::privateObjectForKey<GADObjectPrivate>(this);
}

std::string GADBannerView::adUnitID() const {
  auto loader = privateObject();
  return loader ? loader->adUnitID() : std::string();
}

void GADBannerView::setAdUnitID(std::string adUnitID) {
  if (auto loader = privateObject()) loader->setAdUnitID(std::move(adUnitID));
}

platform::ViewController* GADBannerView::rootViewController() const {
  auto loader = privateObject();
  return loader ? loader->rootViewController() : nullptr;
}

void GADBannerView::setRootViewController(platform::ViewController* controller) {
  if (auto loader = privateObject()) loader->setRootViewController(controller);
}

std::weak_ptr<GADBannerViewDelegate> GADBannerView::delegate() const {
  auto loader = privateObject();
  return loader ? loader->delegateManager()->bannerDelegate() : std::weak_ptr<GADBannerViewDelegate>();
}

void GADBannerView::setDelegate(std::weak_ptr<GADBannerViewDelegate> delegate) {
  auto loader = privateObject();
  if (!loader) return;
  loader->delegateManager()->setBannerDelegate(std::move(delegate));
  loader->delegateManager()->setAdView(this);
}

bool GADBannerView::hasAutoRefreshed() const {
  auto loader = privateObject();
  return loader && loader->hasAutoRefreshed();
}

platform::WebView* GADBannerView::webView() const {
  auto loader = privateObject();
  return loader ? loader->webView() : nullptr;
}

void GADBannerView::loadRequest(const std::shared_ptr<GADRequest>& request) {
  auto loader = privateObject();
  if (!loader) return;
  if (!loader->rootViewController()) {
    platform::log("Must set the rootViewController property of GADBannerView before calling loadRequest:");
    loader->delegateManager()->didFailToReceiveAdWithError(
        GADRequestError::errorWithCode(kGADErrorInvalidRequest, request.get()));
    return;
  }
  loader->loadRequest(request);
}
