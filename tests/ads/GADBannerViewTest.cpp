#include "ads/core/GADBannerView.h"

#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/core/GADRequestError.h"
#include "ads/request/GADRequestPrivate.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "platform/ViewController.h"
#include "tests/support/AdsTest.h"

namespace {

class FailureRecorder : public GADBannerViewDelegate {
 public:
  std::vector<std::pair<long, std::string>> failures;
  int otherCalls = 0;
  GADBannerView* namedView = nullptr;
  void adViewDidFailToReceiveAdWithError(GADBannerView* view, const GADRequestError& error) override {
    namedView = view;
    failures.emplace_back(error.code(), error.localizedDescription());
  }
  void adViewDidReceiveAd(GADBannerView*) override { ++otherCalls; }
};

class GADBannerViewTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    banner = GADBannerView::create(platform::Rect(0, 410, 320, 50));
    screen = std::make_shared<platform::ViewController>();
  }
  std::shared_ptr<GADBannerView> banner;
  std::shared_ptr<platform::ViewController> screen;
};

TEST_F(GADBannerViewTest, MakesAndRegistersItsLoaderWithAClearBackground) {
  auto loader = banner->privateObject();
  ASSERT_NE(loader, nullptr);
  EXPECT_EQ(loader->adView(), banner.get());
  EXPECT_EQ(loader->state(), kGADObjectStateIdle);
  EXPECT_EQ(loader->supportedOrientations(), 1);
  EXPECT_EQ(banner->backgroundColor(), platform::Color::clear());
}

// A screen reader hears the banner as the "Advertisement" region, and the
// shown ad by its page's title, bounded; an ad that goes takes its title.
TEST_F(GADBannerViewTest, AssistiveTechnologiesHearAnAdvertisementRegionNamedByTheShownAdsTitle) {
  const auto& record = *platform::HeadlessPeerRecord::of(*banner);
  EXPECT_EQ(record.accessibleRole, platform::AccessibleRole::Region);
  EXPECT_EQ(record.accessibleName, "Advertisement");
  auto loader = banner->privateObject();
  auto& page = *platform::HeadlessWebViewPeer::of(*banner->webView());
  loader->changeState(kGADObjectStateRenderingAd);
  banner->webView()->loadHTMLStringBaseURL("<title>x</title>", std::nullopt);
  page.changeTitle("Kazoo\n  Academy");
  EXPECT_EQ(record.accessibleName, "Advertisement") << "not before it shows";
  page.finish();
  EXPECT_EQ(record.accessibleName, "Advertisement: Kazoo Academy");
  page.changeTitle(std::string(500, 'k'));
  EXPECT_EQ(record.accessibleName, "Advertisement: " + std::string(79, 'k') + "\u2026");
  page.endProcess(platform::WebProcessTermination::Crashed);
  EXPECT_EQ(record.accessibleName, "Advertisement");
}

TEST_F(GADBannerViewTest, PropertiesAreKeptByTheLoader) {
  banner->setAdUnitID("a1b2c3d4e5f6071");
  banner->setRootViewController(screen.get());
  auto delegate = std::make_shared<FailureRecorder>();
  banner->setDelegate(delegate);
  auto loader = banner->privateObject();
  EXPECT_EQ(loader->adUnitID(), "a1b2c3d4e5f6071");
  EXPECT_EQ(banner->adUnitID(), "a1b2c3d4e5f6071");
  EXPECT_EQ(loader->rootViewController(), screen.get());
  EXPECT_EQ(banner->delegate().lock(), delegate);
  EXPECT_EQ(loader->delegateManager()->adView(), banner.get()) << "setting the delegate names the banner";
  EXPECT_FALSE(banner->hasAutoRefreshed());
  ASSERT_NE(banner->webView(), nullptr);
  EXPECT_EQ(banner->webView(), loader->webView()) << "the web view that shows the ad";
}

TEST_F(GADBannerViewTest, LoadWithoutRootViewControllerFailsOnceWithCodeZeroAndChangesNothing) {
  auto delegate = std::make_shared<FailureRecorder>();
  banner->setDelegate(delegate);
  banner->loadRequest(GADRequest::request());
  ASSERT_EQ(delegate->failures.size(), 1u);
  EXPECT_EQ(delegate->failures[0].first, 0);
  EXPECT_EQ(delegate->failures[0].second, GADRequestError::localizedStringForErrorCode(0));
  EXPECT_EQ(delegate->namedView, banner.get());
  EXPECT_EQ(delegate->otherCalls, 0);
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "<Rezido> Must set the rootViewController property of GADBannerView before calling "
                            "loadRequest:"}));
  auto loader = banner->privateObject();
  EXPECT_EQ(loader->request(), nullptr);
  EXPECT_EQ(loader->state(), kGADObjectStateIdle);
  platform::RunLoop::main().runFor(0.02);
  EXPECT_EQ(delegate->failures.size(), 1u) << "no second report later";
}

TEST_F(GADBannerViewTest, LoadWithRootViewControllerReachesTheLoader) {
  banner->setRootViewController(screen.get());
  auto request = GADRequest::request();
  request->addKeyword("fart");
  banner->loadRequest(request);
  auto* copy = banner->privateObject()->request();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, request.get()) << "the loader keeps its own copy";
  EXPECT_EQ(copy->keywords(), request->keywords()) << "lists are shared with the copy";
  EXPECT_TRUE(logLines().empty());
}

TEST_F(GADBannerViewTest, NullRequestLoadsADefaultOne) {
  banner->setRootViewController(screen.get());
  banner->loadRequest(nullptr);
  ASSERT_NE(banner->privateObject()->request(), nullptr);
  EXPECT_EQ(banner->privateObject()->request()->keywords(), nullptr);
}

TEST_F(GADBannerViewTest, TeardownCancelsTheLoadersDeferredCallsThenDestroysIt) {
  auto loader = banner->privateObject();
  std::weak_ptr<GADObjectPrivate> weakLoader = loader;
  int ran = 0;
  // A deferred call holds the loader, as its own would.
  platform::RunLoop::main().performAfterDelay(loader, 0, [&] { ++ran; });
  loader.reset();
  const size_t entries = GADPrivateUtilities::countForTesting();
  banner.reset();
  EXPECT_TRUE(weakLoader.expired());
  EXPECT_EQ(GADPrivateUtilities::countForTesting(), entries - 1);
  platform::RunLoop::main().runFor(0.02);
  EXPECT_EQ(ran, 0);
}

TEST_F(GADBannerViewTest, ALoaderThatOutlivesItsBannerNamesNoBannerAndNoGoneController) {
  banner->setRootViewController(screen.get());
  auto loader = banner->privateObject();  // held as a fetch in flight would
  EXPECT_EQ(loader->rootViewController(), screen.get());
  screen.reset();
  EXPECT_EQ(loader->rootViewController(), nullptr) << "not retained, and not left dangling";
  banner.reset();
  EXPECT_EQ(loader->adView(), nullptr);
  EXPECT_EQ(loader->delegateManager()->adView(), nullptr);
}

TEST_F(GADBannerViewTest, TeardownStopsObservingTheDefaultCenter) {
  auto& center = platform::NotificationCenter::defaultCenter();
  const size_t before = center.observerCount();
  auto other = GADBannerView::create(platform::Rect(0, 0, 320, 50));
  EXPECT_GT(center.observerCount(), before);  // its loader watches the application
  center.addObserver(other.get(), "anything", nullptr, [](const platform::Notification&) {});
  other.reset();
  EXPECT_EQ(center.observerCount(), before);
}

}  // namespace
