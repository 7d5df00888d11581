// The application's own window with its banner on the sandbox ad network,
// for window tests that go from a shown ad to what a click (or an attack)
// does. Run under xvfb-run with real WebKit; screenshots go to
// $BLORVIK_SCREENSHOTS (the test run names it).
#pragma once

#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "ads/content/GADOpener.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/fullscreen/GADBrowserController.h"
#include "ads/fullscreen/GADWebAppViewController.h"
#include "ads/request/GADRequest.h"
#include "app/BlorvikAppDelegate.h"
#include "bench/ProcessFigures.h"
#include "app/BlorvikViewController.h"
#include "platform/ActivityIndicator.h"
#include "platform/Application.h"
#include "platform/BarButtonItem.h"
#include "platform/Button.h"
#include "platform/MailComposer.h"
#include "platform/RunLoop.h"
#include "platform/Toolbar.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "platform/gtk/GtkToolkit.h"
#include "tests/e2e/GtkWidgets.h"
#include "tests/e2e/PageScript.h"
#include "tests/e2e/RealInput.h"
#include "tests/e2e/ScreenshotPixels.h"
#include "tests/support/BannerEvents.h"

using platform::Application;
using platform::RunLoop;

inline bool runUntil(const std::function<bool()>& condition, double seconds = 20) {
  return RunLoop::main().runUntil(condition, seconds);
}

inline std::string script(platform::WebView& view, const std::string& text) {
  return PageScript::evaluate(view, text).value_or("(failed)");
}

class AppWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    network = std::make_unique<adnet::AdNetwork>();
    GADEndpoints::setForTesting(
        GADEndpoints::Overrides{network->staticContentHost(), network->adServerBaseURL(), "127.0.0.1"});
    Application::registerDelegateClass("BlorvikAppDelegate", [] { return std::make_shared<BlorvikAppDelegate>(); });
    Application::registerViewControllerClass("BlorvikViewController",
                                             [] { return std::make_shared<BlorvikViewController>(); });
    // One application per process, whichever suite comes first.
    if (!Application::shared().hasFinishedLaunching()) {
      ASSERT_TRUE(Application::shared().launch());
    }
    const char* folder = std::getenv("BLORVIK_SCREENSHOTS");
    screenshots = folder ? std::filesystem::path(folder) : std::filesystem::temp_directory_path() / "blorvik-screenshots";
    std::filesystem::create_directories(screenshots);
  }
  static void TearDownTestSuite() { network.reset(); }

  void SetUp() override {
    network->behaviour() = adnet::AdNetwork::Behaviour{};
    banner().setDelegate(events);
  }
  void TearDown() override {
    RunLoop::main().useRealTimeForTesting();
    // A failed test may leave its screens up: give them back, top first.
    for (;;) {
      platform::ViewController* top = &mainScreen();
      while (top->modalViewController()) top = top->modalViewController();
      auto* screen = dynamic_cast<GADViewController*>(top);
      if (!screen) break;
      std::weak_ptr<platform::ViewController> weak = screen->weak_from_this();
      screen->relinquishScreen();
      if (!runUntil([&] { return weak.expired(); })) break;
    }
    Application::shared().setOpenURLForTesting({});
    Application::shared().setCanOpenURLForTesting({});
  }

  platform::Window& window() { return *Application::shared().keyWindow(); }
  BlorvikViewController& mainScreen() { return dynamic_cast<BlorvikViewController&>(*window().rootViewController()); }
  GADBannerView& banner() { return *mainScreen().bannerView(); }
  GADObjectPrivate& loader() { return *banner().privateObject(); }
  // Saves the window as `name` and reads it back for the test's checks.
  ScreenshotPixels screenshot(const std::string& name) {
    RunLoop::main().runFor(0.3);  // let the page paint
    EXPECT_TRUE(window().peer()->saveScreenshot(screenshots / name)) << name;
    ScreenshotPixels shot(screenshots / name);
    EXPECT_TRUE(shot.isLoaded()) << name;
    EXPECT_EQ(shot.width(), 320) << name;
    EXPECT_EQ(shot.height(), 480) << name;
    return shot;
  }
  // Where a widget (a view's, by default) lies in the window, in the
  // screenshot's pixels: x, y, width, height.
  struct Place {
    int x = 0, y = 0, w = 0, h = 0;
  };
  static Place placeInWindow(GtkWidget* widget) {
    graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, 0, 0);
    EXPECT_NE(widget, nullptr);
    if (widget) {
      EXPECT_TRUE(gtk_widget_compute_bounds(widget, GTK_WIDGET(gtk_widget_get_native(widget)), &bounds));
    }
    return Place{static_cast<int>(bounds.origin.x), static_cast<int>(bounds.origin.y),
                 static_cast<int>(bounds.size.width), static_cast<int>(bounds.size.height)};
  }
  static Place placeInWindow(const platform::View& view) { return placeInWindow(gtk_widgets::widgetOf(view)); }
  // The ad's own colour covers most of the banner in `shot`.
  void expectTheAdIn(const ScreenshotPixels& shot) {
    const auto colour = ScreenshotPixels::fromHex(adnet::AdNetwork::creativeColour(network->adRequests().back().creative));
    const Place band = placeInWindow(banner());
    EXPECT_EQ(band.w, 320);
    EXPECT_EQ(band.h, 50);
    EXPECT_GT(shot.count(band.x, band.y, band.w, band.h, [&](const auto& c) { return c.near(colour); }),
              band.w * band.h / 2)
        << "the banner shows the ad's colour";
  }
  // A screenshot once it `shows` what the test looks for, or the last of a
  // few tries: a new page process paints its first frame late.
  ScreenshotPixels screenshotOnce(const std::string& name, const std::function<bool(const ScreenshotPixels&)>& shows) {
    for (int attempt = 0;; ++attempt) {
      ScreenshotPixels shot = screenshot(name);
      if (attempt == 10 || shows(shot)) return shot;
    }
  }
  // A screenshot once the banner shows the last ad served.
  ScreenshotPixels screenshotOnceTheAdShows(const std::string& name) {
    const auto colour = ScreenshotPixels::fromHex(adnet::AdNetwork::creativeColour(network->adRequests().back().creative));
    const Place band = placeInWindow(banner());
    return screenshotOnce(name, [&](const ScreenshotPixels& shot) {
      return shot.count(band.x, band.y, band.w, band.h, [&](const auto& c) { return c.near(colour); }) > band.w * band.h / 2;
    });
  }
  // Dark pixels (a page's text) in the top 200 pixels of `page`.
  static int textIn(const ScreenshotPixels& shot, const Place& page) {
    return shot.count(page.x, page.y, page.w, 200, [](const auto& c) { return c.luminance() < 130; });
  }
  // A fresh ad under the sandbox's present behaviour.
  void showFreshAd() {
    const int before = events->received;
    banner().loadRequest(GADRequest::request());
    ASSERT_TRUE(runUntil([&] { return events->received > before && loader().state() == kGADObjectStateAdShown; }));
  }
  // An opener as the banner's page has it: screens go over the main screen,
  // and tell the banner's delegate.
  std::shared_ptr<GADOpener> openerOverMainScreen() {
    auto opener = std::make_shared<GADOpener>();
    opener->setViewController(&mainScreen());
    opener->setDelegateManager(loader().sharedDelegateManager());
    return opener;
  }
  // A user's click (a real pointer event) on the ad's link.
  void clickTheAd() { EXPECT_TRUE(RealInput::clickElement(*loader().webView(), "ad")); }
  // A user's click on the link with that id in `page`.
  void clickLink(platform::WebView& page, const std::string& id) { EXPECT_TRUE(RealInput::clickElement(page, id)); }
  template <class Screen>
  Screen* presentedOver(platform::ViewController& parent) {
    return dynamic_cast<Screen*>(parent.modalViewController());
  }
  // The screen of that kind once it is up over `parent`; null if none came.
  template <class Screen>
  Screen* waitForScreenOver(platform::ViewController& parent) {
    runUntil([&] { return presentedOver<Screen>(parent) != nullptr; });
    return presentedOver<Screen>(parent);
  }
  // Gives a shown ad screen back, once it can be, and waits until it has gone.
  void giveBack(GADViewController& screen) {
    std::weak_ptr<platform::ViewController> weak = screen.weak_from_this();
    ASSERT_TRUE(runUntil([&] { return screen.view()->isUserInteractionEnabled(); }));
    screen.relinquishScreen();
    ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  }
  // The next ad request, with its parameters: the refresh, brought forward.
  // It waits for that ad to be shown, so no load is left in flight.
  const adnet::AdRequestRecord& nextRequest() {
    const size_t before = network->adRequests().size();
    const int received = events->received;
    RunLoop::main().useManualTimeForTesting();
    RunLoop::main().advanceForTesting(loader().scheduledReloadSeconds());
    EXPECT_TRUE(runUntil([&] { return network->adRequests().size() > before; }));
    RunLoop::main().useRealTimeForTesting();
    EXPECT_TRUE(runUntil([&] { return events->received > received; }));
    return network->adRequests().at(before);
  }
  // The names of the events the web application's page was sent.
  std::string appEvents(platform::WebView& page) {
    return script(page, "window.appEvents ? window.appEvents.map(function(e){return e.name;}).join(',') : '(none)'");
  }

  static inline std::unique_ptr<adnet::AdNetwork> network;
  static inline std::filesystem::path screenshots;
  std::shared_ptr<BannerEvents> events = std::make_shared<BannerEvents>();
};

