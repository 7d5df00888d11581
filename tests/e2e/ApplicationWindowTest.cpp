// The sound board in a real GTK window (run under xvfb-run): the window and
// its screens, the banner's place on screen, the buttons' wiring from the
// interface files, real sound playback and the slide-up info screen.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <functional>

#include "adnet/AdNetwork.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/fullscreen/GADViewController.h"
#include "app/BlorvikAppDelegate.h"
#include "app/BlorvikViewController.h"
#include "app/info.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/RunLoop.h"
#include "platform/Window.h"
#include "platform/gtk/GtkToolkit.h"
#include "platform/gtk/GtkViewPeer.h"
#include "platform/gtk/GtkWindowPeer.h"
#include "tests/e2e/GtkWidgets.h"
#include "tests/e2e/ScreenshotPixels.h"
#include "tests/e2e/WindowTestMain.h"

using platform::Application;
using platform::RunLoop;
using gtk_widgets::findButton;
using gtk_widgets::screensOf;
using gtk_widgets::widgetOf;

namespace {

bool runUntil(const std::function<bool()>& condition, double seconds = 10) {
  return RunLoop::main().runUntil(condition, seconds);
}

class ApplicationWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    network = std::make_unique<adnet::AdNetwork>();
    pointAtSandbox();
    Application::registerDelegateClass("BlorvikAppDelegate", [] { return std::make_shared<BlorvikAppDelegate>(); });
    Application::registerViewControllerClass("BlorvikViewController",
                                             [] { return std::make_shared<BlorvikViewController>(); });
    ASSERT_TRUE(Application::shared().launch());
  }

  // The application stays up for the rest of the run: its banner's loader
  // goes (and with it its timer and its observers of the application), so
  // that other suites' ad requests and click counts are their own.
  static void TearDownTestSuite() {
    if (auto* window = Application::shared().keyWindow()) {
      if (auto* screen = dynamic_cast<BlorvikViewController*>(window->rootViewController())) {
        GADBannerView* banner = screen->bannerView().get();
        if (auto loader = banner->privateObject()) {
          loader->cancelPendingActions();
          loader->detachFromAdView();
        }
        GADPrivateUtilities::removePrivateObjectForKey(banner);
      }
    }
    network.reset();
  }
  void SetUp() override { pointAtSandbox(); }
  // The application's banners ask this suite's sandbox for their ads.
  static void pointAtSandbox() {
    GADEndpoints::setForTesting(
        GADEndpoints::Overrides{network->staticContentHost(), network->adServerBaseURL(), "127.0.0.1"});
  }

  static inline std::unique_ptr<adnet::AdNetwork> network;
  platform::Window& window() { return *Application::shared().keyWindow(); }
  BlorvikViewController& mainScreen() { return dynamic_cast<BlorvikViewController&>(*window().rootViewController()); }
  GtkWidget* gtkWindow() {
    return GTK_WIDGET(dynamic_cast<platform::gtk::GtkWindowPeer*>(window().peer())->window());
  }
};

TEST_F(ApplicationWindowTest, WindowIsPhoneSizedAndShowsTheMainScreen) {
  ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(gtkWindow()); }));
  ASSERT_TRUE(runUntil([&] { return gtk_widget_get_height(gtkWindow()) > 0; }));
  EXPECT_EQ(gtk_widget_get_width(gtkWindow()), 320);
  EXPECT_EQ(gtk_widget_get_height(gtkWindow()), 480);
  EXPECT_EQ(gtk_stack_get_visible_child(screensOf(window())), widgetOf(*mainScreen().view()));
}

TEST_F(ApplicationWindowTest, BannerOccupiesTheBottomFiftyPointsOfTheScreen) {
  GtkWidget* root = widgetOf(*mainScreen().view());
  GtkWidget* banner = widgetOf(*mainScreen().bannerView());
  ASSERT_NE(banner, nullptr);
  ASSERT_TRUE(runUntil([&] { return gtk_widget_get_height(banner) > 0; }));
  const graphene_point_t zero = GRAPHENE_POINT_INIT(0, 0);
  graphene_point_t origin;
  ASSERT_TRUE(gtk_widget_compute_point(banner, root, &zero, &origin));
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 410);
  EXPECT_EQ(gtk_widget_get_width(banner), 320);
  EXPECT_EQ(gtk_widget_get_height(banner), 50);
  EXPECT_EQ(gtk_widget_get_height(root), 460);
}

TEST_F(ApplicationWindowTest, PressingASoundButtonTwicePlaysTwoOverlappingSoundsToTheEnd) {
  GtkWidget* gas = findButton(widgetOf(*mainScreen().view()), "Gas");
  ASSERT_NE(gas, nullptr);
  g_signal_emit_by_name(gas, "clicked");
  g_signal_emit_by_name(gas, "clicked");
  EXPECT_EQ(installedGtkToolkit().playingSoundCount(), 2u);
  EXPECT_TRUE(runUntil([&] { return installedGtkToolkit().playingSoundCount() == 0; }, 15)) << "the streams never ended";
}

TEST_F(ApplicationWindowTest, InfoButtonSlidesTheInfoScreenUpAndBackRemovesIt) {
  GtkWidget* infoButton = findButton(widgetOf(*mainScreen().view()), "Info");
  ASSERT_NE(infoButton, nullptr);
  for (int round = 0; round < 2; ++round) {
    g_signal_emit_by_name(infoButton, "clicked");
    auto* shown = dynamic_cast<info*>(mainScreen().modalViewController());
    ASSERT_NE(shown, nullptr);
    GtkWidget* page = widgetOf(*shown->view());
    GtkStack* screens = screensOf(window());
    EXPECT_EQ(gtk_stack_get_visible_child(screens), page);
    EXPECT_EQ(gtk_stack_get_transition_type(screens), GTK_STACK_TRANSITION_TYPE_SLIDE_UP);
    ASSERT_NE(shown->bannerView(), nullptr);

    std::weak_ptr<platform::ViewController> weakInfo = shown->shared_from_this();
    std::weak_ptr<GADBannerView> weakBanner = shown->bannerView();
    GtkWidget* back = findButton(page, "Back");
    ASSERT_NE(back, nullptr);
    g_signal_emit_by_name(back, "clicked");
    EXPECT_EQ(gtk_stack_get_transition_type(screens), GTK_STACK_TRANSITION_TYPE_SLIDE_DOWN);
    ASSERT_TRUE(runUntil([&] { return weakInfo.expired(); }));
    EXPECT_TRUE(weakBanner.expired());
    EXPECT_EQ(gtk_stack_get_visible_child(screens), widgetOf(*mainScreen().view()));
    EXPECT_EQ(gtk_widgets::childCount(GTK_WIDGET(screens)), 1) << "the info page left the stack";
  }
}

TEST_F(ApplicationWindowTest, BothScreensShowAnAdFromTheSandboxAndTheMainOneKeepsItsScheduleUnderInfo) {
  auto mainLoader = mainScreen().bannerView()->privateObject();
  ASSERT_TRUE(runUntil([&] { return mainLoader->state() == kGADObjectStateAdShown; }, 20));
  EXPECT_TRUE(Application::shared().isContentReady()) << "a start-up screenshot may be taken";
  const size_t before = network->adRequests().size();

  GtkWidget* infoButton = findButton(widgetOf(*mainScreen().view()), "Info");
  ASSERT_NE(infoButton, nullptr);
  g_signal_emit_by_name(infoButton, "clicked");
  auto* shown = dynamic_cast<info*>(mainScreen().modalViewController());
  ASSERT_NE(shown, nullptr);
  auto infoLoader = shown->bannerView()->privateObject();
  ASSERT_TRUE(runUntil([&] { return infoLoader->state() == kGADObjectStateAdShown; }, 20));
  EXPECT_EQ(network->adRequests().size(), before + 1) << "the info screen's banner made its own request";
  EXPECT_NE(infoLoader->webView(), mainLoader->webView());
  // Only the background and full-screen ads pause a banner's refresh.
  EXPECT_TRUE(mainLoader->hasReloadTimer());

  g_signal_emit_by_name(findButton(widgetOf(*shown->view()), "Back"), "clicked");
  ASSERT_TRUE(runUntil([&] { return mainScreen().modalViewController() == nullptr; }));
}

TEST_F(ApplicationWindowTest, AFullScreenAdScreenCoversTheWindowHidesTheStatusBarAndGivesItBack) {
  GtkWidget* content = gtk_window_get_child(GTK_WINDOW(gtkWindow()));
  GtkWidget* strip = gtk_widget_get_first_child(content);
  ASSERT_TRUE(gtk_widget_get_visible(strip));
  auto banner = mainScreen().bannerView()->privateObject();
  ASSERT_TRUE(runUntil([&] { return banner->state() == kGADObjectStateAdShown; }, 20));
  ASSERT_TRUE(banner->hasReloadTimer());
  std::weak_ptr<GADViewController> weak;
  {
    auto screen = GADViewController::create<GADViewController>();
    screen->presentFromViewController(&mainScreen());
    weak = screen;
  }
  ASSERT_FALSE(weak.expired()) << "it keeps itself alive while presented";
  auto* screen = weak.lock().get();
  EXPECT_EQ(mainScreen().modalViewController(), screen);
  EXPECT_FALSE(gtk_widget_get_visible(strip));
  EXPECT_FALSE(banner->hasReloadTimer()) << "the banner does not refresh under the ad screen";
  // Interaction comes back once the slide-up has ended.
  ASSERT_TRUE(runUntil([&] { return screen->view()->isUserInteractionEnabled(); }));
  EXPECT_EQ(gtk_stack_get_visible_child(screensOf(window())), widgetOf(*screen->view()));
  EXPECT_TRUE(gtk_widget_get_can_target(widgetOf(*screen->view())));

  screen->relinquishScreen();
  EXPECT_TRUE(gtk_widget_get_visible(strip));
  EXPECT_EQ(banner->scheduledReloadSeconds(), 30) << "a full interval after it";
  EXPECT_FALSE(gtk_widget_get_can_target(widgetOf(*screen->view()))) << "no input while it slides away";
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(gtk_stack_get_visible_child(screensOf(window())), widgetOf(*mainScreen().view()));
}

TEST(GtkWindowPeerTest, AWindowThatGoesMidTransitionEndsNoTransitionLater) {
  auto peer = platform::gtk::GtkWindowPeer::load(platform::Bundle::main().resourcesPath() / "MainWindow.ui");
  ASSERT_NE(peer, nullptr);
  platform::gtk::GtkViewPeer root(gtk_fixed_new());
  platform::gtk::GtkViewPeer modal(gtk_fixed_new());
  peer->setRootView(&root);
  int ended = 0;
  peer->pushModal(&modal, platform::Animated::No, [&] { ++ended; });
  ASSERT_TRUE(runUntil([&] { return ended == 1; }));
  peer->popModal(&modal, platform::Animated::Yes, [&] { ++ended; });
  peer.reset();
  RunLoop::main().runFor(platform::gtk::GtkWindowPeer::kTransitionSeconds + 0.2);
  EXPECT_EQ(ended, 1) << "the pop's end was cancelled with its window";
}

TEST_F(ApplicationWindowTest, HidingTheStatusBarHidesItsStrip) {
  GtkWidget* content = gtk_window_get_child(GTK_WINDOW(gtkWindow()));
  GtkWidget* strip = gtk_widget_get_first_child(content);
  EXPECT_TRUE(gtk_widget_get_visible(strip));
  Application::shared().setStatusBarHidden(true);
  EXPECT_FALSE(gtk_widget_get_visible(strip));
  Application::shared().setStatusBarHidden(false);
  EXPECT_TRUE(gtk_widget_get_visible(strip));
}

TEST_F(ApplicationWindowTest, ScreenshotOfTheWindowIsAPng) {
  ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(gtkWindow()); }));
  RunLoop::main().runFor(0.2);
  const auto png = std::filesystem::temp_directory_path() / "blorvik-window-test.png";
  ASSERT_TRUE(window().peer()->saveScreenshot(png));
  EXPECT_GT(std::filesystem::file_size(png), 1000u);
  // What a person sees: the main screen in its own colour, with its
  // buttons' labels.
  const ScreenshotPixels shot(png);
  ASSERT_TRUE(shot.isLoaded());
  EXPECT_TRUE(shot.at(5, 300).near(ScreenshotPixels::fromHex("#ffcf3f"))) << "the main screen's colour";
  EXPECT_GT(shot.count(20, 60, 280, 200, [](const auto& c) { return c.luminance() < 110; }), 100)
      << "the buttons' labels are painted";
  std::filesystem::remove(png);
}

}  // namespace

int main(int argc, char** argv) { return runApplicationWindowTests(argc, argv); }
