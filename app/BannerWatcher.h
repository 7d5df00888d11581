// The screens' banner delegate: it tells the platform when the first ad is
// on screen, so a start-up screenshot shows the banner filled. It answers
// to nothing else.
#pragma once

#include <memory>

#include "ads/core/GADBannerViewDelegate.h"

class BannerWatcher : public GADBannerViewDelegate {
 public:
  // One for the process: banners hold their delegate weakly.
  static const std::shared_ptr<BannerWatcher>& shared();

  bool respondsToSelector(GADDelegateSelector selector) const override;
  void adViewDidReceiveAd(GADBannerView* view) override;
};
