#include "platform/Application.h"

#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "tests/support/PlatformTest.h"

using platform::Application;
using platform::ApplicationState;

namespace {

class ApplicationTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    for (const char* name :
         {platform::kApplicationDidFinishLaunchingNotification, platform::kApplicationWillResignActiveNotification,
          platform::kApplicationDidBecomeActiveNotification, platform::kApplicationDidEnterBackgroundNotification,
          platform::kApplicationWillEnterForegroundNotification, platform::kApplicationWillTerminateNotification}) {
      platform::NotificationCenter::defaultCenter().addObserver(
          this, name, &Application::shared(), [this](const platform::Notification& n) {
            std::string shortName = n.name.substr(std::string("Application").size());
            shortName.resize(shortName.size() - std::string("Notification").size());
            posted.push_back(shortName);
          });
    }
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    PlatformTest::TearDown();
  }
  std::vector<std::string> posted;
};

TEST_F(ApplicationTest, LaunchFinishesThenBecomesActive) {
  Application& app = Application::shared();
  EXPECT_FALSE(app.hasFinishedLaunching());
  app.finishLaunching();
  EXPECT_EQ(posted, (std::vector<std::string>{"DidFinishLaunching", "DidBecomeActive"}));
  EXPECT_EQ(app.state(), ApplicationState::Active);
}

TEST_F(ApplicationTest, FocusLossAndReturnToggleActive) {
  Application& app = Application::shared();
  app.finishLaunching();
  posted.clear();
  app.setFocused(false);
  EXPECT_EQ(app.state(), ApplicationState::Inactive);
  app.setFocused(true);
  EXPECT_EQ(posted, (std::vector<std::string>{"WillResignActive", "DidBecomeActive"}));
}

TEST_F(ApplicationTest, MinimisingGoesToTheBackgroundAndBack) {
  Application& app = Application::shared();
  app.finishLaunching();
  posted.clear();
  app.setMinimized(true);
  EXPECT_EQ(app.state(), ApplicationState::Background);
  app.setMinimized(true);  // no second announcement
  app.setMinimized(false);
  EXPECT_EQ(app.state(), ApplicationState::Active);
  EXPECT_EQ(posted, (std::vector<std::string>{"WillResignActive", "DidEnterBackground", "WillEnterForeground",
                                              "DidBecomeActive"}));
}

TEST_F(ApplicationTest, RestoredWithoutFocusStaysInactive) {
  Application& app = Application::shared();
  app.finishLaunching();
  app.setMinimized(true);
  app.setFocused(false);
  posted.clear();
  app.setMinimized(false);
  EXPECT_EQ(app.state(), ApplicationState::Inactive);
  EXPECT_EQ(posted, (std::vector<std::string>{"WillEnterForeground"}));
}

TEST_F(ApplicationTest, EventsBeforeLaunchAnnounceNothing) {
  Application::shared().setFocused(false);
  Application::shared().setMinimized(true);
  EXPECT_TRUE(posted.empty());
}

TEST_F(ApplicationTest, TerminationIsAnnounced) {
  Application::shared().willTerminate();
  EXPECT_EQ(posted, (std::vector<std::string>{"WillTerminate"}));
}

TEST_F(ApplicationTest, HidingTheStatusBarGivesItsStripToTheApplicationFrame) {
  auto& screen = platform::Screen::main();
  EXPECT_EQ(screen.applicationFrame(), platform::Rect(0, 20, 320, 460));
  EXPECT_EQ(screen.statusBarFrame(), platform::Rect(0, 0, 320, 20));
  Application::shared().setStatusBarHidden(true);
  EXPECT_EQ(screen.applicationFrame(), platform::Rect(0, 0, 320, 480));
  EXPECT_EQ(screen.statusBarFrame(), platform::Rect());
}

}  // namespace

namespace {

class OpenURLTest : public PlatformTest {};

TEST_F(OpenURLTest, URLsGoToTheReplacedHandlersInTests) {
  std::vector<std::string> opened;
  platform::Application::shared().setOpenURLForTesting([&](const std::string& url) {
    opened.push_back(url);
    return url.rfind("tel:", 0) == 0;
  });
  EXPECT_TRUE(platform::Application::shared().openURL("tel:1"));
  EXPECT_FALSE(platform::Application::shared().openURL("mailto:a@example.test"));
  EXPECT_EQ(opened, (std::vector<std::string>{"tel:1", "mailto:a@example.test"}));
}

TEST_F(OpenURLTest, ASchemeNoApplicationHandlesIsNotOpened) {
  EXPECT_FALSE(platform::Application::shared().canOpenURL("blorvik-no-such-scheme:x"));
  EXPECT_FALSE(platform::Application::shared().openURL("blorvik-no-such-scheme:x"));
  EXPECT_FALSE(platform::Application::shared().openURL("not a url"));
}

}  // namespace
