// What a banner tells the application. Every operation is optional: the
// delegate manager calls one only when respondsToSelector says the delegate
// implements it. The default answers yes for every operation, whose default
// body does nothing; a delegate that implements only some overrides
// respondsToSelector to name them.
#pragma once

#include "ads/core/GADDelegateSelector.h"

class GADBannerView;
class GADRequestError;

class GADBannerViewDelegate {
 public:
  virtual ~GADBannerViewDelegate() = default;

  virtual bool respondsToSelector(GADDelegateSelector) const { return true; }

  virtual void adViewDidReceiveAd(GADBannerView*) {}
  virtual void adViewDidFailToReceiveAdWithError(GADBannerView*, const GADRequestError&) {}
  virtual void adViewWillPresentScreen(GADBannerView*) {}
  virtual void adViewWillDismissScreen(GADBannerView*) {}
  virtual void adViewDidDismissScreen(GADBannerView*) {}
  virtual void adViewWillLeaveApplication(GADBannerView*) {}
};
