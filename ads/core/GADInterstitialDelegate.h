// What a full-screen (interstitial) ad tells its delegate; the banner
// interface's mirror. This system has no interstitial ad object, so these
// are never called, but the delegate manager keeps the slots.
#pragma once

#include "ads/core/GADDelegateSelector.h"

class GADInterstitial;
class GADRequestError;

class GADInterstitialDelegate {
 public:
  virtual ~GADInterstitialDelegate() = default;

  virtual bool respondsToSelector(GADDelegateSelector) const { return true; }

  virtual void interstitialDidReceiveAd(GADInterstitial*) {}
  virtual void interstitialDidFailToReceiveAdWithError(GADInterstitial*, const GADRequestError&) {}
  virtual void interstitialWillPresentScreen(GADInterstitial*) {}
  virtual void interstitialWillDismissScreen(GADInterstitial*) {}
  virtual void interstitialDidDismissScreen(GADInterstitial*) {}
  virtual void interstitialWillLeaveApplication(GADInterstitial*) {}
};
