#include "ads/fullscreen/GADViewController.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADWebViewDelegate.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/fullscreen/GADBrowserController.h"
#include "ads/fullscreen/GADWebAppViewController.h"
#include "ads/request/GADStatistics.h"
#include "platform/Application.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/support/AdsTest.h"
#include "tests/support/BannerEvents.h"

using platform::Application;

namespace {

class GADViewControllerTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    manager->setBannerDelegate(events);
    // The two process-wide notifications, in the same record as the events.
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const char* name : {GADViewControllerWillPresentFullScreen, GADViewControllerDidRelinquishFullScreen})
      center.addObserver(this, name, nullptr, [this, name](const platform::Notification& n) {
        events->calls.push_back(name == std::string(GADViewControllerWillPresentFullScreen) ? "WillPresentFullScreen"
                                                                                           : "DidRelinquishFullScreen");
        senders.push_back(n.object);
      });
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    Application::shared().setKeyWindow(nullptr);
    Application::shared().setStatusBarHidden(false);
    AdsTest::TearDown();
  }
  template <class Screen = GADViewController>
  std::shared_ptr<Screen> makeScreen() {
    auto screen = GADViewController::create<Screen>();
    screen->setDelegateManager(manager);
    return screen;
  }
  // Presents a screen the test does not hold: it keeps itself alive.
  template <class Screen = GADViewController>
  std::weak_ptr<Screen> presentOver(platform::ViewController* parent) {
    auto screen = makeScreen<Screen>();
    screen->presentFromViewController(parent);
    return screen;
  }
  void endTurn() { platform::RunLoop::main().runFor(0.01); }

  std::shared_ptr<GADDelegateManager> manager = std::make_shared<GADDelegateManager>();
  std::shared_ptr<BannerEvents> events = std::make_shared<BannerEvents>();
  std::shared_ptr<platform::ViewController> host = std::make_shared<platform::ViewController>();
  std::vector<const void*> senders;
};

TEST_F(GADViewControllerTest, WithoutAParentItLogsOneLineAndDoesNothingElse) {
  std::weak_ptr<GADViewController> weak = presentOver(nullptr);
  EXPECT_EQ(logLines(), std::vector<std::string>{"<Rezido> No UIViewController supplied to the ad.  Cannot continue."});
  EXPECT_TRUE(weak.expired()) << "not retained";
  EXPECT_TRUE(events->calls.empty()) << "no notification, no delegate call";
  EXPECT_FALSE(Application::shared().isStatusBarHidden());
  EXPECT_EQ(host->modalViewController(), nullptr);
}

TEST_F(GADViewControllerTest, OverTheApplicationEventsAndNotificationsComeInOrderAndTheStatusBarIsHiddenMeanwhile) {
  auto& statistics = GADStatistics::sharedStatistics();
  statistics.startTimingNamed("plpd");
  statistics.startTimingNamed("pcl");
  const size_t registered = GADPrivateUtilities::countForTesting();
  std::weak_ptr<GADViewController> weak = presentOver(host.get());
  ASSERT_FALSE(weak.expired()) << "a presented screen keeps itself alive";
  auto* screen = weak.lock().get();
  EXPECT_EQ(host->modalViewController(), screen);
  EXPECT_EQ(events->calls, (std::vector<std::string>{"WillPresentFullScreen", "willPresent"}));
  EXPECT_EQ(senders.back(), screen);
  EXPECT_TRUE(Application::shared().isStatusBarHidden());
  EXPECT_FALSE(screen->statusBarWasHidden());
  EXPECT_TRUE(screen->view()->isUserInteractionEnabled()) << "shown";
  EXPECT_FALSE(screen->privateData()->interactingWithParent());

  events->calls.clear();
  screen->relinquishScreen();
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willDismiss", "DidRelinquishFullScreen"}));
  EXPECT_FALSE(Application::shared().isStatusBarHidden());
  EXPECT_FALSE(statistics.timingNamed("plpd")->isActive());
  EXPECT_FALSE(statistics.timingNamed("pcl")->isActive());
  endTurn();
  EXPECT_TRUE(weak.expired()) << "given up at the end of the turn";
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willDismiss", "DidRelinquishFullScreen", "didDismiss"}));
  EXPECT_EQ(GADPrivateUtilities::countForTesting(), registered) << "the private data went with it";
}

TEST_F(GADViewControllerTest, AStatusBarHiddenBeforeStaysHiddenAfter) {
  Application::shared().setStatusBarHidden(true);
  auto weak = presentOver(host.get());
  EXPECT_TRUE(weak.lock()->statusBarWasHidden());
  weak.lock()->relinquishScreen();
  EXPECT_TRUE(Application::shared().isStatusBarHidden());
}

TEST_F(GADViewControllerTest, AScreenThatIsNotFullScreenLeavesTheStatusBarAlone) {
  auto screen = makeScreen();
  screen->setModalPresentationStyle(2);
  screen->presentFromViewController(host.get());
  EXPECT_FALSE(Application::shared().isStatusBarHidden());
  Application::shared().setStatusBarHidden(true);
  screen->relinquishScreen();
  EXPECT_TRUE(Application::shared().isStatusBarHidden()) << "not shown by the screen either";
}

TEST_F(GADViewControllerTest, TheKeyWindowsTopScreenPresentsNotTheGivenParent) {
  platform::Window window;
  auto root = std::make_shared<platform::ViewController>();
  window.setRootViewController(root);
  Application::shared().setKeyWindow(&window);
  auto info = std::make_shared<platform::ViewController>();
  root->presentModalViewController(info, platform::Animated::No);

  platform::RunLoop::main().useManualTimeForTesting();
  auto weak = presentOver(host.get());
  EXPECT_EQ(host->modalViewController(), nullptr);
  EXPECT_EQ(info->modalViewController(), weak.lock().get()) << "over the info screen, which stays";
  EXPECT_EQ(root->modalViewController(), info.get());
  weak.lock()->relinquishScreen();
  platform::RunLoop::main().advanceForTesting(1);
  endTurn();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(info->modalViewController(), nullptr);
  root->dismissModalViewControllerAnimated(platform::Animated::No);
}

TEST_F(GADViewControllerTest, AppearanceActsOnceAndAGoingScreenIsNotShownAgainByTheDeferredStep) {
  platform::RunLoop::main().useManualTimeForTesting();
  auto weak = presentOver(host.get());
  auto screen = weak.lock();
  ASSERT_TRUE(screen->view()->isUserInteractionEnabled());
  screen->viewDidAppear(platform::Animated::No);  // a second delivery
  EXPECT_TRUE(screen->view()->isUserInteractionEnabled());

  screen->relinquishScreen();
  platform::RunLoop::main().advanceForTesting(GADViewController::kDeferredAppearanceSeconds + 1);
  EXPECT_FALSE(screen->view()->isUserInteractionEnabled()) << "the deferred appearance was cancelled";
}

TEST_F(GADViewControllerTest, ARepeatedRelinquishIsIgnored) {
  auto weak = presentOver(host.get());
  auto screen = weak.lock();
  screen->relinquishScreen();
  screen->relinquishScreen();
  EXPECT_EQ(events->calls,
            (std::vector<std::string>{"WillPresentFullScreen", "willPresent", "willDismiss", "DidRelinquishFullScreen"}));
}

TEST_F(GADViewControllerTest, ANestedScreenSendsNoScreenEventsLeavesTheStatusBarButPostsBothNotifications) {
  auto outer = presentOver<GADWebAppViewController>(host.get());
  events->calls.clear();
  Application::shared().setStatusBarHidden(false);  // as if the user had brought it back

  auto inner = presentOver<GADBrowserController>(outer.lock().get());
  ASSERT_FALSE(inner.expired());
  EXPECT_FALSE(inner.lock()->isFirstGADViewController());
  EXPECT_EQ(outer.lock()->modalViewController(), inner.lock().get());
  EXPECT_FALSE(Application::shared().isStatusBarHidden());
  inner.lock()->relinquishScreen();
  endTurn();
  EXPECT_TRUE(inner.expired());
  EXPECT_EQ(events->calls, (std::vector<std::string>{"WillPresentFullScreen", "DidRelinquishFullScreen"}));
  EXPECT_FALSE(Application::shared().isStatusBarHidden());

  events->calls.clear();
  outer.lock()->relinquishScreen();
  endTurn();
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willDismiss", "DidRelinquishFullScreen", "didDismiss"}));
}

TEST_F(GADViewControllerTest, OneAdScreenAtATimeAndOnlyAWebApplicationsBrowserOverIt) {
  auto webApp = presentOver<GADWebAppViewController>(host.get());
  ASSERT_FALSE(webApp.expired());
  events->calls.clear();
  // Over the application again, or any screen but a browser over the web
  // application: refused, with nothing posted and nothing kept alive.
  EXPECT_TRUE(presentOver<GADBrowserController>(host.get()).expired());
  EXPECT_TRUE(presentOver<GADWebAppViewController>(host.get()).expired());
  EXPECT_TRUE(presentOver<GADWebAppViewController>(webApp.lock().get()).expired());
  EXPECT_TRUE(presentOver<GADViewController>(webApp.lock().get()).expired());
  auto browser = presentOver<GADBrowserController>(webApp.lock().get());
  ASSERT_FALSE(browser.expired());
  // The nested browser is the last: nothing over it, no second one.
  EXPECT_TRUE(presentOver<GADBrowserController>(browser.lock().get()).expired());
  EXPECT_TRUE(presentOver<GADBrowserController>(webApp.lock().get()).expired());
  EXPECT_EQ(events->calls, (std::vector<std::string>{"WillPresentFullScreen"}));
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Screen), 6);
  EXPECT_EQ(GADViewController::presentedScreenCount(), 2);

  browser.lock()->relinquishScreen();
  webApp.lock()->relinquishScreen();
  endTurn();
  EXPECT_EQ(GADViewController::presentedScreenCount(), 0);
  // Given back, the place is free again.
  auto next = presentOver<GADBrowserController>(host.get());
  ASSERT_FALSE(next.expired());
  next.lock()->relinquishScreen();
  endTurn();
}

TEST_F(GADViewControllerTest, GivingBackAScreenGivesBackTheOneAboveItFirst) {
  auto webApp = presentOver<GADWebAppViewController>(host.get());
  auto browser = presentOver<GADBrowserController>(webApp.lock().get());
  ASSERT_FALSE(browser.expired());
  events->calls.clear();
  // The web application's page sends "close" while its browser covers it.
  webApp.lock()->relinquishScreen();
  endTurn();
  EXPECT_TRUE(browser.expired()) << "no hidden browser left running";
  EXPECT_TRUE(webApp.expired());
  EXPECT_EQ(host->modalViewController(), nullptr);
  EXPECT_EQ(GADViewController::presentedScreenCount(), 0);
  EXPECT_EQ(events->calls, (std::vector<std::string>{"DidRelinquishFullScreen", "willDismiss",
                                                     "DidRelinquishFullScreen", "didDismiss"}));
}

TEST_F(GADViewControllerTest, AScreenNeverPresentedReportsNoDismissal) {
  makeScreen().reset();
  EXPECT_TRUE(events->calls.empty());
}

TEST_F(GADViewControllerTest, OrientationsAndAutorotation) {
  auto screen = makeScreen();
  EXPECT_EQ(screen->supportedOrientations(), 1);
  screen->setSupportedOrientations(2);
  screen->setSupportedOrientations(0);
  EXPECT_EQ(screen->supportedOrientations(), 2) << "0 is ignored";
  const std::vector<bool> portrait = {screen->shouldAutorotateToInterfaceOrientation(1),
                                      screen->shouldAutorotateToInterfaceOrientation(2),
                                      screen->shouldAutorotateToInterfaceOrientation(3),
                                      screen->shouldAutorotateToInterfaceOrientation(4)};
  EXPECT_EQ(portrait, (std::vector<bool>{true, true, false, false}));
  screen->setSupportedOrientations(3);
  EXPECT_FALSE(screen->shouldAutorotateToInterfaceOrientation(1));
  EXPECT_TRUE(screen->shouldAutorotateToInterfaceOrientation(4));
  screen->setSupportedOrientations(1);
  EXPECT_TRUE(screen->shouldAutorotateToInterfaceOrientation(3));

  const std::string any = "any", upright = "Portrait";
  EXPECT_EQ(GADViewController::orientationFromString(&any), 1);
  EXPECT_EQ(GADViewController::orientationFromString(&upright), 0) << "exact and case-sensitive";
  EXPECT_EQ(GADViewController::orientationFromString(nullptr), 0);
}

TEST_F(GADViewControllerTest, ASettingsMessageFromAPageOfTheScreenSetsItsOrientations) {
  auto screen = makeScreen();
  auto page = platform::View::make<platform::WebView>(platform::Rect(0, 0, 320, 480));
  screen->view()->addSubview(page);
  auto stranger = platform::View::make<platform::WebView>(platform::Rect(0, 0, 320, 50));
  auto& center = GADNotificationCenter::defaultCenter();
  auto settings = [&](const void* sender, const char* text) {
    center.post("settings", sender, platform::Dictionary{{kGADSupportedOrientationsKey, text}});
  };
  settings(page.get(), "landscape");
  EXPECT_EQ(screen->supportedOrientations(), 3);
  settings(stranger.get(), "portrait");
  EXPECT_EQ(screen->supportedOrientations(), 3) << "another screen's page";
  settings(page.get(), "sideways");
  EXPECT_EQ(screen->supportedOrientations(), 3) << "unknown text changes nothing";
  settings(screen->view().get(), "portrait");
  EXPECT_EQ(screen->supportedOrientations(), 2) << "the root view itself";
  center.post("settings", page.get(), platform::Dictionary{});
  EXPECT_EQ(screen->supportedOrientations(), 2);
}

TEST_F(GADViewControllerTest, APagesCloseMessageGivesTheScreenBack) {
  auto weak = presentOver(host.get());
  auto page = platform::View::make<platform::WebView>(platform::Rect(0, 0, 320, 480));
  auto delegate = std::make_unique<GADWebViewDelegate>();
  delegate->setViewController(weak.lock().get());
  page->setDelegate(delegate.get());
  weak.lock()->view()->addSubview(page);
  events->calls.clear();
  EXPECT_EQ(platform::HeadlessWebViewPeer::of(*page)->decide(
                platform::URLRequest(*platform::URL::create("gmsg://zovo/close")), platform::NavigationType::Other),
            false);
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willDismiss", "DidRelinquishFullScreen", "didDismiss"}));
  page->setDelegate(nullptr);
}

TEST_F(GADViewControllerTest, FiftyOpenCloseCyclesLeaveNothingBehind) {
  // The shared statistics, made by the first disappearance, observe once.
  GADStatistics::sharedStatistics();
  auto& notifications = platform::NotificationCenter::defaultCenter();
  const size_t observers = notifications.observerCount();
  const size_t messageObservers = GADNotificationCenter::defaultCenter().observerCount();
  const size_t registered = GADPrivateUtilities::countForTesting();
  for (int i = 0; i < 50; ++i) {
    auto weak = presentOver(host.get());
    weak.lock()->relinquishScreen();
    endTurn();
    ASSERT_TRUE(weak.expired()) << "cycle " << i;
  }
  EXPECT_EQ(notifications.observerCount(), observers);
  EXPECT_EQ(GADNotificationCenter::defaultCenter().observerCount(), messageObservers);
  EXPECT_EQ(GADPrivateUtilities::countForTesting(), registered);
  EXPECT_EQ(std::count(events->calls.begin(), events->calls.end(), "didDismiss"), 50);
  EXPECT_EQ(host->modalViewController(), nullptr);
}

}  // namespace
