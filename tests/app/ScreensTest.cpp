// The sound board on the headless toolkit: launch, banners, the info screen
// and the clips.
#include "BuildConfig.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADPrivateUtilities.h"
#include "app/BlorvikAppDelegate.h"
#include "app/BlorvikViewController.h"
#include "app/info.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Window.h"
#include "tests/support/PlatformTest.h"

namespace {

class ScreensTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    platform::Application::registerDelegateClass("BlorvikAppDelegate",
                                                 [] { return std::make_shared<BlorvikAppDelegate>(); });
    platform::Application::registerViewControllerClass("BlorvikViewController",
                                                       [] { return std::make_shared<BlorvikViewController>(); });
  }
  void TearDown() override {
    platform::Application::shared().setDelegate(nullptr);
    PlatformTest::TearDown();
  }

  BlorvikViewController* launch() {
    EXPECT_TRUE(platform::Application::shared().launch());
    auto* window = platform::Application::shared().keyWindow();
    return window ? dynamic_cast<BlorvikViewController*>(window->rootViewController()) : nullptr;
  }
};

TEST_F(ScreensTest, LaunchShowsTheMainScreenWithItsBannerAtTheBottom) {
  BlorvikViewController* main = launch();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(platform::Application::shared().keyWindow()->isVisible());
  const auto& banner = main->bannerView();
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(main->view()->frame().height(), 460);
  EXPECT_EQ(banner->frame(), platform::Rect(0, 410, 320, 50));
  EXPECT_EQ(banner->superview(), main->view().get());
  EXPECT_EQ(banner->adUnitID(), config::kAdUnitID);
  EXPECT_EQ(banner->rootViewController(), main);
  EXPECT_NE(banner->privateObject()->request(), nullptr) << "the banner was asked to load";
  EXPECT_TRUE(logLines().empty());
}

TEST_F(ScreensTest, BannerSitsAtTheBottomOfATallerRootView) {
  platform::Application::shared().setStatusBarHidden(true);
  auto screen = std::make_shared<BlorvikViewController>();
  EXPECT_EQ(screen->view()->frame().height(), 480);
  EXPECT_EQ(screen->bannerView()->frame(), platform::Rect(0, 430, 320, 50));
}

TEST_F(ScreensTest, AdUnitIdentifierIsFifteenLowercaseHexDigits) {
  const std::string id = config::kAdUnitID;
  ASSERT_EQ(id.size(), 15u);
  for (char c : id) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << c;
}

TEST_F(ScreensTest, InfoScreenComesWithItsOwnBannerAndGoesWithIt) {
  BlorvikViewController* main = launch();
  ASSERT_NE(main, nullptr);
  const size_t registered = GADPrivateUtilities::countForTesting();
  ASSERT_TRUE(main->performAction("switchview:"));
  auto* shown = dynamic_cast<info*>(main->modalViewController());
  ASSERT_NE(shown, nullptr);
  ASSERT_NE(shown->bannerView(), nullptr);
  EXPECT_NE(shown->bannerView(), main->bannerView());
  EXPECT_EQ(shown->bannerView()->frame(), platform::Rect(0, 410, 320, 50));
  EXPECT_EQ(shown->bannerView()->rootViewController(), shown);
  EXPECT_EQ(GADPrivateUtilities::countForTesting(), registered + 1);

  std::weak_ptr<platform::ViewController> weakInfo = shown->shared_from_this();
  std::weak_ptr<platform::View> weakBanner = shown->bannerView();
  ASSERT_TRUE(shown->performAction("back:"));
  EXPECT_EQ(main->modalViewController(), nullptr);
  ASSERT_TRUE(runUntil([&] { return weakInfo.expired(); }));
  EXPECT_TRUE(weakBanner.expired());
  EXPECT_EQ(GADPrivateUtilities::countForTesting(), registered);
  EXPECT_NE(main->bannerView()->privateObject(), nullptr) << "the main banner stays";
}

TEST_F(ScreensTest, EachOpeningMakesAFreshInfoScreenAndBanner) {
  BlorvikViewController* main = launch();
  ASSERT_NE(main, nullptr);
  main->switchview();
  std::weak_ptr<platform::ViewController> first = main->modalViewController()->shared_from_this();
  std::weak_ptr<GADBannerView> firstBanner = dynamic_cast<info*>(main->modalViewController())->bannerView();
  dynamic_cast<info*>(main->modalViewController())->back();
  ASSERT_TRUE(runUntil([&] { return first.expired() && firstBanner.expired(); }));
  main->switchview();
  auto* second = dynamic_cast<info*>(main->modalViewController());
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second->bannerView(), nullptr);
  EXPECT_FALSE(firstBanner.lock());
}

TEST_F(ScreensTest, EachSoundButtonPlaysItsClipAndPressesOverlap) {
  BlorvikViewController* main = launch();
  ASSERT_NE(main, nullptr);
  for (const char* action : {"playSound:", "playSound:", "playSound2:", "playSound3:", "playSound4:", "playSound5:"})
    ASSERT_TRUE(main->performAction(action)) << action;
  std::vector<std::string> played;
  for (const auto& path : toolkit().playedSounds()) played.push_back(path.filename().string());
  EXPECT_EQ(played, (std::vector<std::string>{"gas.wav", "gas.wav", "long.wav", "loud.wav", "short.wav", "wet.wav"}));
}

TEST_F(ScreensTest, MissingClipPlaysNothingAndSaysNothing) {
  platform::Bundle::setMainForTesting(std::make_shared<platform::Bundle>("/nonexistent-bundle"));
  BlorvikViewController::playClip("gas");
  BlorvikViewController::playClip("../../etc/passwd");
  EXPECT_TRUE(toolkit().playedSounds().empty());
  EXPECT_TRUE(logLines().empty());
}

}  // namespace
