#include "ads/core/GADDelegateManager.h"

#include <atomic>
#include <thread>

#include "ads/core/GADBannerView.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADRequestError.h"
#include "platform/RunLoop.h"
#include "tests/support/PlatformTest.h"

namespace {

class RecordingBannerDelegate : public GADBannerViewDelegate {
 public:
  std::vector<std::string> calls;
  std::vector<GADBannerView*> views;
  std::vector<long> errorCodes;
  bool calledOnMainThread = true;

  void adViewDidReceiveAd(GADBannerView* v) override { record("didReceive", v); }
  void adViewDidFailToReceiveAdWithError(GADBannerView* v, const GADRequestError& e) override {
    errorCodes.push_back(e.code());
    record("didFail", v);
  }
  void adViewWillPresentScreen(GADBannerView* v) override { record("willPresent", v); }
  void adViewWillDismissScreen(GADBannerView* v) override { record("willDismiss", v); }
  void adViewDidDismissScreen(GADBannerView* v) override { record("didDismiss", v); }
  void adViewWillLeaveApplication(GADBannerView* v) override { record("willLeave", v); }

 private:
  void record(const char* name, GADBannerView* v) {
    calledOnMainThread = calledOnMainThread && platform::RunLoop::main().isMainThread();
    calls.push_back(name);
    views.push_back(v);
  }
};

class FailuresOnlyDelegate : public RecordingBannerDelegate {
 public:
  bool respondsToSelector(GADDelegateSelector selector) const override {
    return selector == GADDelegateSelector::AdViewDidFailToReceiveAdWithError;
  }
};

class RecordingInterstitialDelegate : public GADInterstitialDelegate {
 public:
  std::vector<std::string> calls;
  void interstitialDidReceiveAd(GADInterstitial*) override { calls.push_back("didReceive"); }
  void interstitialWillLeaveApplication(GADInterstitial*) override { calls.push_back("willLeave"); }
};

class GADDelegateManagerTest : public PlatformTest {
 protected:
  void raiseAll(GADDelegateManager& m) {
    m.didReceiveAd();
    m.didFailToReceiveAdWithError(GADRequestError(kGADErrorNoFill, nullptr));
    m.willPresentScreen();
    m.willDismissScreen();
    m.didDismissScreen();
    m.willLeaveApplication();
  }
  std::shared_ptr<GADDelegateManager> manager = std::make_shared<GADDelegateManager>();
};

TEST_F(GADDelegateManagerTest, EachEventReachesTheBannerDelegateOnceWithTheAdView) {
  auto delegate = std::make_shared<RecordingBannerDelegate>();
  auto banner = GADBannerView::create();
  manager->setBannerDelegate(delegate);
  manager->setAdView(banner.get());
  raiseAll(*manager);
  EXPECT_EQ(delegate->calls, (std::vector<std::string>{"didReceive", "didFail", "willPresent", "willDismiss",
                                                       "didDismiss", "willLeave"}));
  EXPECT_EQ(delegate->errorCodes, (std::vector<long>{kGADErrorNoFill}));
  for (auto* v : delegate->views) EXPECT_EQ(v, banner.get());
}

TEST_F(GADDelegateManagerTest, WithoutADelegateNothingIsDelivered) {
  raiseAll(*manager);  // must simply not crash or deliver anywhere
  auto delegate = std::make_shared<RecordingBannerDelegate>();
  manager->setBannerDelegate(delegate);
  delegate.reset();  // the manager does not retain it
  raiseAll(*manager);
  EXPECT_TRUE(manager->bannerDelegate().expired());
}

TEST_F(GADDelegateManagerTest, ADelegateImplementingOnlyFailuresReceivesOnlyFailures) {
  auto delegate = std::make_shared<FailuresOnlyDelegate>();
  manager->setBannerDelegate(delegate);
  raiseAll(*manager);
  EXPECT_EQ(delegate->calls, (std::vector<std::string>{"didFail"}));
}

TEST_F(GADDelegateManagerTest, InterstitialDelegatesHearTheInterstitialCallbacks) {
  auto sdk = std::make_shared<RecordingInterstitialDelegate>();
  auto app = std::make_shared<RecordingInterstitialDelegate>();
  manager->setSdkInterstitialDelegate(sdk);
  manager->setInterstitialDelegate(app);
  manager->didReceiveAd();
  manager->willLeaveApplication();
  EXPECT_EQ(sdk->calls, (std::vector<std::string>{"didReceive", "willLeave"}));
  EXPECT_EQ(app->calls, sdk->calls);
}

TEST_F(GADDelegateManagerTest, EventFromABackgroundThreadIsDeliveredOnMainBeforeTheRaiseReturns) {
  auto delegate = std::make_shared<RecordingBannerDelegate>();
  manager->setBannerDelegate(delegate);
  std::atomic<bool> returned{false};
  std::atomic<size_t> callsSeenByRaiser{0};
  std::thread worker([&] {
    manager->didFailToReceiveAdWithError(GADRequestError(kGADErrorNetworkError, nullptr));
    callsSeenByRaiser = delegate->calls.size();
    returned = true;
  });
  EXPECT_TRUE(runUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_EQ(callsSeenByRaiser.load(), 1u);
  EXPECT_TRUE(delegate->calledOnMainThread);
  EXPECT_EQ(delegate->errorCodes, (std::vector<long>{kGADErrorNetworkError}));
}

// A delegate that drops the banner (and with it the loader and manager) and
// itself from inside its callback; the dispatch carries on to the
// interstitial slots. Under AddressSanitizer a use after free would fail.
class DestroyingDelegate : public GADBannerViewDelegate {
 public:
  std::shared_ptr<GADBannerView>* banner = nullptr;
  std::shared_ptr<DestroyingDelegate>* self = nullptr;
  void adViewDidReceiveAd(GADBannerView*) override {
    banner->reset();
    self->reset();
  }
};

TEST_F(GADDelegateManagerTest, DelegateThatDestroysTheBannerInsideItsCallbackDoesNotBreakTheDispatch) {
  auto banner = GADBannerView::create(platform::Rect(0, 0, 320, 50));
  auto delegate = std::make_shared<DestroyingDelegate>();
  std::weak_ptr<DestroyingDelegate> weakDelegate = delegate;
  delegate->banner = &banner;
  delegate->self = &delegate;
  auto sdk = std::make_shared<RecordingInterstitialDelegate>();
  banner->setDelegate(delegate);
  auto loader = banner->privateObject();
  GADDelegateManager* raw = loader->delegateManager();
  raw->setSdkInterstitialDelegate(sdk);
  std::weak_ptr<GADObjectPrivate> weakLoader = loader;
  loader.reset();

  raw->didReceiveAd();
  EXPECT_EQ(banner, nullptr);
  EXPECT_TRUE(weakLoader.expired()) << "the loader goes with the banner";
  EXPECT_FALSE(weakDelegate.expired()) << "the delegate is held until the turn ends";
  EXPECT_EQ(sdk->calls, (std::vector<std::string>{"didReceive"}));
  EXPECT_TRUE(runUntil([&] { return weakDelegate.expired(); }));
}

TEST_F(GADDelegateManagerTest, DidYouNilOutYourDelegateAnswersForSetDelegatesThatImplement) {
  FailuresOnlyDelegate delegate;
  EXPECT_TRUE(GADDelegateManager::didYouNilOutYourDelegateSelector(
      &delegate, GADDelegateSelector::AdViewDidFailToReceiveAdWithError));
  EXPECT_FALSE(
      GADDelegateManager::didYouNilOutYourDelegateSelector(&delegate, GADDelegateSelector::AdViewDidReceiveAd));
  EXPECT_FALSE(GADDelegateManager::didYouNilOutYourDelegateSelector(
      static_cast<const GADBannerViewDelegate*>(nullptr), GADDelegateSelector::AdViewDidReceiveAd));
}

}  // namespace
