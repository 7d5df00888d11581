// A banner delegate that records what it is told, for tests.
#pragma once

#include <string>
#include <vector>

#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADRequestError.h"

class BannerEvents : public GADBannerViewDelegate {
 public:
  // "didReceive", "didFail", "willPresent", "willDismiss", "didDismiss",
  // "willLeave", in order.
  std::vector<std::string> calls;
  std::vector<long> codes;         // of each failure
  int received = 0;

  void adViewDidReceiveAd(GADBannerView*) override {
    calls.push_back("didReceive");
    ++received;
  }
  void adViewDidFailToReceiveAdWithError(GADBannerView*, const GADRequestError& error) override {
    calls.push_back("didFail");
    codes.push_back(error.code());
  }
  void adViewWillPresentScreen(GADBannerView*) override { calls.push_back("willPresent"); }
  void adViewWillDismissScreen(GADBannerView*) override { calls.push_back("willDismiss"); }
  void adViewDidDismissScreen(GADBannerView*) override { calls.push_back("didDismiss"); }
  void adViewWillLeaveApplication(GADBannerView*) override { calls.push_back("willLeave"); }
};
