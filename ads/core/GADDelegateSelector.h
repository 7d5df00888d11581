// The optional operations of the banner and interstitial delegate
// interfaces, so that a delegate can say which ones it implements.
#pragma once

enum class GADDelegateSelector {
  AdViewDidReceiveAd,
  AdViewDidFailToReceiveAdWithError,
  AdViewWillPresentScreen,
  AdViewWillDismissScreen,
  AdViewDidDismissScreen,
  AdViewWillLeaveApplication,
  InterstitialDidReceiveAd,
  InterstitialDidFailToReceiveAdWithError,
  InterstitialWillPresentScreen,
  InterstitialWillDismissScreen,
  InterstitialDidDismissScreen,
  InterstitialWillLeaveApplication,
};
