#include "ads/core/GADDelegateManager.h"

#include "platform/RunLoop.h"

using platform::RunLoop;

template <typename BannerCall, typename InterstitialCall>
void GADDelegateManager::dispatch(GADDelegateSelector bannerSelector, GADDelegateSelector interstitialSelector,
                                  const BannerCall& bannerCall, const InterstitialCall& interstitialCall) {
  RunLoop& loop = RunLoop::main();
  if (!loop.isMainThread()) {
    loop.runOnMainAndWait([&] { dispatch(bannerSelector, interstitialSelector, bannerCall, interstitialCall); });
    return;
  }
  // A delegate may destroy the banner, the loader (and with it this
  // manager) or itself inside its callback: hold the manager and both
  // delegates until this turn of the loop is over.
  loop.keepAliveUntilEndOfTurn(shared_from_this());
  auto banner = bannerDelegate_.lock();
  if (banner) loop.keepAliveUntilEndOfTurn(banner);
  auto interstitial = interstitialDelegate_.lock();
  if (interstitial) loop.keepAliveUntilEndOfTurn(interstitial);

  if (banner && banner->respondsToSelector(bannerSelector)) bannerCall(*banner, adView_);
  if (auto sdk = sdkInterstitialDelegate_.lock(); sdk && sdk->respondsToSelector(interstitialSelector))
    interstitialCall(*sdk, interstitial_);
  if (interstitial && interstitial->respondsToSelector(interstitialSelector))
    interstitialCall(*interstitial, interstitial_);
}

void GADDelegateManager::didReceiveAd() {
  dispatch(
      GADDelegateSelector::AdViewDidReceiveAd, GADDelegateSelector::InterstitialDidReceiveAd,
      [](GADBannerViewDelegate& d, GADBannerView* v) { d.adViewDidReceiveAd(v); },
      [](GADInterstitialDelegate& d, GADInterstitial* i) { d.interstitialDidReceiveAd(i); });
}

void GADDelegateManager::didFailToReceiveAdWithError(const GADRequestError& error) {
  dispatch(
      GADDelegateSelector::AdViewDidFailToReceiveAdWithError,
      GADDelegateSelector::InterstitialDidFailToReceiveAdWithError,
      [&error](GADBannerViewDelegate& d, GADBannerView* v) { d.adViewDidFailToReceiveAdWithError(v, error); },
      [&error](GADInterstitialDelegate& d, GADInterstitial* i) {
        d.interstitialDidFailToReceiveAdWithError(i, error);
      });
}

void GADDelegateManager::willPresentScreen() {
  dispatch(
      GADDelegateSelector::AdViewWillPresentScreen, GADDelegateSelector::InterstitialWillPresentScreen,
      [](GADBannerViewDelegate& d, GADBannerView* v) { d.adViewWillPresentScreen(v); },
      [](GADInterstitialDelegate& d, GADInterstitial* i) { d.interstitialWillPresentScreen(i); });
}

void GADDelegateManager::willDismissScreen() {
  dispatch(
      GADDelegateSelector::AdViewWillDismissScreen, GADDelegateSelector::InterstitialWillDismissScreen,
      [](GADBannerViewDelegate& d, GADBannerView* v) { d.adViewWillDismissScreen(v); },
      [](GADInterstitialDelegate& d, GADInterstitial* i) { d.interstitialWillDismissScreen(i); });
}

void GADDelegateManager::didDismissScreen() {
  dispatch(
      GADDelegateSelector::AdViewDidDismissScreen, GADDelegateSelector::InterstitialDidDismissScreen,
      [](GADBannerViewDelegate& d, GADBannerView* v) { d.adViewDidDismissScreen(v); },
      [](GADInterstitialDelegate& d, GADInterstitial* i) { d.interstitialDidDismissScreen(i); });
}

void GADDelegateManager::willLeaveApplication() {
  dispatch(
      GADDelegateSelector::AdViewWillLeaveApplication, GADDelegateSelector::InterstitialWillLeaveApplication,
      [](GADBannerViewDelegate& d, GADBannerView* v) { d.adViewWillLeaveApplication(v); },
      [](GADInterstitialDelegate& d, GADInterstitial* i) { d.interstitialWillLeaveApplication(i); });
}

bool GADDelegateManager::didYouNilOutYourDelegateSelector(const GADBannerViewDelegate* delegate,
                                                          GADDelegateSelector selector) {
  return delegate && delegate->respondsToSelector(selector);
}

bool GADDelegateManager::didYouNilOutYourDelegateSelector(const GADInterstitialDelegate* delegate,
                                                          GADDelegateSelector selector) {
  return delegate && delegate->respondsToSelector(selector);
}
