// Forwards each ad event to the banner's delegate and the interstitial
// delegates, always on the main thread. Owned by the ad loader.
//
// None of the five references is retained: their owners clear them (the
// delegates are weak references and so clear themselves).
#pragma once

#include <memory>

#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADInterstitialDelegate.h"

class GADDelegateManager : public std::enable_shared_from_this<GADDelegateManager> {
 public:
  // Each event may be raised from any thread. Off the main thread the call
  // blocks until the main thread has delivered it, so it must not be raised
  // from a thread the main thread waits on.
  void didReceiveAd();
  void didFailToReceiveAdWithError(const GADRequestError& error);
  void willPresentScreen();
  void willDismissScreen();
  void didDismissScreen();
  void willLeaveApplication();

  // True exactly when `delegate` is set and implements `selector`.
  static bool didYouNilOutYourDelegateSelector(const GADBannerViewDelegate* delegate, GADDelegateSelector selector);
  static bool didYouNilOutYourDelegateSelector(const GADInterstitialDelegate* delegate,
                                               GADDelegateSelector selector);

  std::weak_ptr<GADBannerViewDelegate> bannerDelegate() const { return bannerDelegate_; }
  void setBannerDelegate(std::weak_ptr<GADBannerViewDelegate> delegate) { bannerDelegate_ = std::move(delegate); }
  GADBannerView* adView() const { return adView_; }
  void setAdView(GADBannerView* view) { adView_ = view; }
  std::weak_ptr<GADInterstitialDelegate> interstitialDelegate() const { return interstitialDelegate_; }
  void setInterstitialDelegate(std::weak_ptr<GADInterstitialDelegate> delegate) {
    interstitialDelegate_ = std::move(delegate);
  }
  GADInterstitial* interstitial() const { return interstitial_; }
  void setInterstitial(GADInterstitial* interstitial) { interstitial_ = interstitial; }
  std::weak_ptr<GADInterstitialDelegate> sdkInterstitialDelegate() const { return sdkInterstitialDelegate_; }
  void setSdkInterstitialDelegate(std::weak_ptr<GADInterstitialDelegate> delegate) {
    sdkInterstitialDelegate_ = std::move(delegate);
  }

 private:
  template <typename BannerCall, typename InterstitialCall>
  void dispatch(GADDelegateSelector bannerSelector, GADDelegateSelector interstitialSelector,
                const BannerCall& bannerCall, const InterstitialCall& interstitialCall);

  std::weak_ptr<GADBannerViewDelegate> bannerDelegate_;
  GADBannerView* adView_ = nullptr;
  std::weak_ptr<GADInterstitialDelegate> interstitialDelegate_;
  GADInterstitial* interstitial_ = nullptr;
  std::weak_ptr<GADInterstitialDelegate> sdkInterstitialDelegate_;
};
