#include "app/BannerWatcher.h"

#include "platform/Application.h"

const std::shared_ptr<BannerWatcher>& BannerWatcher::shared() {
  static const auto watcher = std::make_shared<BannerWatcher>();
  return watcher;
}

bool BannerWatcher::respondsToSelector(GADDelegateSelector selector) const {
  return selector == GADDelegateSelector::AdViewDidReceiveAd;
}

void BannerWatcher::adViewDidReceiveAd(GADBannerView*) { platform::Application::shared().noteContentReady(); }
