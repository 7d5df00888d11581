// Rich-media creatives of the sandbox in the application's banner, with real
// WebKit and real clicks: what each page reports back to the sandbox is what
// the interface told it, in order.
#include <map>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/fullscreen/GADExpandedAdViewController.h"
#include "tests/e2e/AppWindowTest.h"

namespace {

using Kind = adnet::MRAIDCreatives::Kind;

class MRAIDWindowTest : public AppWindowTest {
 protected:
  struct Report {
    std::string event, value;
  };
  // The page's reports so far, in the order it made them, up to the first
  // still on its way.
  std::vector<Report> reports() const {
    std::map<int, Report> ordered;
    const auto& requests = network->requests();
    for (size_t i = firstRequest_; i < requests.size(); ++i) {
      const auto& request = requests[i];
      if (request.path != "/zovo/mraid/report" || !request.query) continue;
      auto query = adnet::parseQuery(*request.query);
      ordered[std::stoi(query["n"])] = Report{query["e"], query["v"]};
    }
    // Beacons race one another: only those with every earlier one here.
    std::vector<Report> list;
    for (auto& [n, report] : ordered) {
      if (n != static_cast<int>(list.size())) break;
      list.push_back(report);
    }
    return list;
  }
  // The value of the first report of `event` since report `from`; "(none)" without one.
  std::string first(const std::string& event, size_t from = 0) const {
    const auto list = reports();
    for (size_t i = from; i < list.size(); ++i)
      if (list[i].event == event) return list[i].value;
    return "(none)";
  }
  std::string last(const std::string& event) const {
    std::string value = "(none)";
    for (const auto& report : reports())
      if (report.event == event) value = report.value;
    return value;
  }
  // Every report, for a failure's message.
  std::string all() const {
    std::string text;
    for (const auto& report : reports()) text += report.event + "=" + report.value + "; ";
    return text;
  }
  size_t indexOf(const std::string& event) const {
    const auto list = reports();
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].event == event) return i;
    return list.size();
  }
  bool waitForReport(const std::string& event, const std::string& value, double seconds = 10) {
    return runUntil([&] { return last(event) == value; }, seconds);
  }
  // A fresh ad of `kind`, its earlier pages' reports left behind.
  void showCreative(Kind kind) {
    network->behaviour().mraid = kind;
    network->behaviour().refreshRate = "600";
    firstRequest_ = network->requests().size();
    showFreshAd();
  }
  size_t firstRequest_ = 0;
  std::string bannerRectangle() {
    const Place band = placeInWindow(banner());
    return std::to_string(band.x) + " " + std::to_string(band.y) + " 320 50";
  }
};

TEST_F(MRAIDWindowTest, AnAdThatLoadsTheInterfaceGetsOursAndItsEventsInOrder) {
  GADContentPolicy::resetForTesting();
  showCreative(Kind::Events);
  ASSERT_TRUE(runUntil([&] { return first("exposureChange") != "(none)"; })) << "no exposure after ready: " << all();

  EXPECT_EQ(first("env"), "3.0 Rezido " + banner().adUnitID()) << "set before the page's first script";
  EXPECT_EQ(first("before"), "undefined") << "no interface before the page asks for it";
  EXPECT_EQ(first("onload"), "1") << "the page's element hears it loaded";
  EXPECT_EQ(network->requestCount("/zovo/ads/mraid.js"), 0u) << "the script is never fetched";
  EXPECT_EQ(first("network-script"), "(none)");
  EXPECT_EQ(first("version"), "3.0");
  EXPECT_EQ(first("state"), "loading") << "until the ad is shown";
  EXPECT_EQ(first("placement"), "inline");
  EXPECT_EQ(first("ready"), "default true");
  EXPECT_EQ(first("supports"), "sms=true tel=true calendar=false storePicture=false inlineVideo=true location=false");
  const std::string rectangle = bannerRectangle();
  EXPECT_EQ(first("geometry"), rectangle + " 320 480 320 480") << "position, then the window as max and screen size";
  EXPECT_EQ(first("location"), "-1");
  EXPECT_LT(indexOf("ready"), indexOf("exposureChange")) << "ready comes first";
  EXPECT_EQ(first("exposureChange"), "100 0 0 320 50");
  EXPECT_EQ(first("stateChange"), "(none)") << "the ready state is no change";
  // The network's own messages still work inside the creative.
  EXPECT_TRUE(runUntil([&] { return last("message").starts_with("openableURLs {\"tel:1\":"); })) << last("message");

  // Its open() without a click is refused and answered as an error.
  ASSERT_TRUE(waitForReport("error", "open"));
  EXPECT_EQ(mainScreen().modalViewController(), nullptr) << "nothing opened by itself";
  EXPECT_GT(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::NoGesture), 0);

  // A screen over the banner's: nothing of the ad shows, and back.
  mainScreen().switchview();
  ASSERT_TRUE(waitForReport("exposureChange", "0"));
  EXPECT_EQ(last("viewableChange"), "false");
  auto* info = mainScreen().modalViewController();
  ASSERT_NE(info, nullptr);
  info->dismissModalViewControllerAnimated(platform::Animated::No);
  ASSERT_TRUE(waitForReport("exposureChange", "100 0 0 320 50"));
  EXPECT_EQ(last("viewableChange"), "true");

  // The window half off the screen's left edge (moved as a desktop would,
  // by X), and back.
  ASSERT_TRUE(RealInput::moveWindow(banner(), -160, 0));
  ASSERT_TRUE(waitForReport("exposureChange", "50 160 0 160 50")) << last("exposureChange");
  ASSERT_TRUE(RealInput::moveWindow(banner(), 0, 0));
  ASSERT_TRUE(waitForReport("exposureChange", "100 0 0 320 50"));

  // The window minimised, as the desktop tells the application, and back.
  Application::shared().setMinimized(true);
  ASSERT_TRUE(waitForReport("exposureChange", "0"));
  Application::shared().setMinimized(false);
  ASSERT_TRUE(waitForReport("exposureChange", "100 0 0 320 50"));

  // The user's click: its open() opens the landing page, once.
  const size_t landings = network->requestCount("/landing");
  clickTheAd();
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(runUntil([&] { return network->requestCount("/landing") == landings + 1; }));
  EXPECT_TRUE(waitForReport("exposureChange", "0")) << "the browser covers the banner";
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(GADViewController::presentedScreenCount(), 1);
  giveBack(*browser);
}

TEST_F(MRAIDWindowTest, AnInterfaceAddedLaterFromAnyPathIsOursAndReady) {
  showCreative(Kind::LoadsLate);
  ASSERT_TRUE(runUntil([&] { return first("ready") != "(none)"; })) << "no ready";
  EXPECT_EQ(first("onload"), "1");
  EXPECT_EQ(first("onerror"), "(none)");
  EXPECT_EQ(first("state"), "default") << "the ad was shown before it asked";
  EXPECT_EQ(first("ready"), "default true");
  EXPECT_EQ(network->requestCount("/creatives/lib/mraid.js"), 0u);
  EXPECT_EQ(first("network-script"), "(none)");
}

// Expanded on the user's click, the ad's own page covers the application
// under a close control of ours, which its drawing cannot cover; the
// control, the page's close() and Escape each bring it back to the banner.
TEST_F(MRAIDWindowTest, AnAdExpandsOnlyOnAClickAndAlwaysShowsOurCloseControl) {
  GADContentPolicy::resetForTesting();
  showCreative(Kind::Expands);
  ASSERT_TRUE(waitForReport("error", "expand")) << "its own expand() is refused: " << all();
  EXPECT_EQ(mainScreen().modalViewController(), nullptr);

  for (const char* way : {"control", "page", "escape"}) {
    SCOPED_TRACE(way);
    clickTheAd();
    auto* screen = waitForScreenOver<GADExpandedAdViewController>(mainScreen());
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(waitForReport("stateChange", "expanded"));
    EXPECT_TRUE(waitForReport("sizeChange", "320 480"));
    EXPECT_TRUE(waitForReport("exposureChange", "100 0 0 320 480")) << "the ad is the screen";
    EXPECT_EQ(loader().webView()->superview(), screen->view().get()) << "the banner's own page";
    ASSERT_TRUE(runUntil([&] { return screen->view()->isUserInteractionEnabled(); })) << "done sliding in";
    // The page paints its red over all of itself, the top right included.
    EXPECT_TRUE(runUntil([&] { return placeInWindow(*screen->closeButton()).y == 0; })) << "at the top once slid in";
    const Place close = placeInWindow(*screen->closeButton());
    EXPECT_EQ(close.x + close.w, 320);
    EXPECT_EQ(close.w, 50);
    const auto red = ScreenshotPixels::fromHex("#d01010");
    auto shot = screenshotOnce(std::string("mraid-expanded-") + way + ".png", [&](const ScreenshotPixels& s) {
      return s.count(0, 100, 320, 300, [&](const auto& c) { return c.near(red); }) > 320 * 300 * 9 / 10;
    });
    EXPECT_GT(shot.count(0, 100, 320, 300, [&](const auto& c) { return c.near(red); }), 320 * 300 * 9 / 10)
        << "the expanded page fills the window";
    // The control's dark disc, where the page drew red.
    EXPECT_GT(shot.count(close.x, close.y, close.w, close.h, [](const auto& c) { return c.luminance() < 80; }), 300)
        << "the close control shows over the page's own corner";

    if (std::string(way) == "control") {
      // Its click opens the landing page over it, once; the browser goes.
      clickLink(*loader().webView(), "visit");
      auto* browser = waitForScreenOver<GADBrowserController>(*screen);
      ASSERT_NE(browser, nullptr) << "the expanded ad's landing page";
      EXPECT_EQ(GADViewController::presentedScreenCount(), 2);
      giveBack(*browser);
    }
    std::weak_ptr<platform::ViewController> weak = screen->weak_from_this();
    if (std::string(way) == "control") {
      EXPECT_TRUE(RealInput::clickAt(*screen->closeButton(), close.w / 2.0, close.h / 2.0));
    } else if (std::string(way) == "page") {
      clickLink(*loader().webView(), "close");
    } else {
      EXPECT_TRUE(RealInput::pressKey(*screen->view(), "Escape"));
    }
    ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
    EXPECT_TRUE(waitForReport("stateChange", "default"));
    EXPECT_TRUE(waitForReport("exposureChange", "100 0 0 320 50"));
    EXPECT_EQ(loader().webView()->superview(), &banner()) << "the page is back in the banner";
    const auto purple = ScreenshotPixels::fromHex("#5a2e8c");
    const Place band = placeInWindow(banner());
    auto inBanner = [&](const ScreenshotPixels& s) {
      return s.count(band.x, band.y, band.w, band.h, [&](const auto& c) { return c.near(purple); });
    };
    auto back = screenshotOnce(std::string("mraid-collapsed-") + way + ".png",
                               [&](const ScreenshotPixels& s) { return inBanner(s) > band.w * band.h / 2; });
    EXPECT_GT(inBanner(back), band.w * band.h / 2) << "the ad shows in the banner again";
  }
}

// Expanded to a page of its own, the ad's second part has the interface in
// the expanded state under the same close control; the first part is
// expanded too, and covered, until it goes.
TEST_F(MRAIDWindowTest, AnAdExpandsToAPageOfItsOwnOnAClick) {
  showCreative(Kind::ExpandsToAPage);
  ASSERT_TRUE(waitForReport("exposureChange", "100 0 0 320 50"));
  clickTheAd();
  auto* screen = waitForScreenOver<GADExpandedAdViewController>(mainScreen());
  ASSERT_NE(screen, nullptr);
  ASSERT_NE(screen->webView(), loader().webView()) << "a page of the screen's own";
  EXPECT_TRUE(waitForReport("part-two", "expanded inline")) << all();
  EXPECT_TRUE(waitForReport("part-two-exposure", "100"));
  EXPECT_TRUE(waitForReport("stateChange", "expanded")) << "the first part too";
  EXPECT_TRUE(waitForReport("exposureChange", "0")) << "covered by its second part";
  EXPECT_TRUE(waitForReport("part-two-error", "open")) << "no screen over the ad's screen";
  EXPECT_EQ(network->requestCount("/zovo/mraid/mraid.js"), 0u);
  EXPECT_TRUE(runUntil([&] { return screen->view()->isUserInteractionEnabled(); }));
  const auto green = ScreenshotPixels::fromHex("#10a040");
  auto shot = screenshotOnce("mraid-expanded-page.png", [&](const ScreenshotPixels& s) {
    return s.count(0, 100, 320, 300, [&](const auto& c) { return c.near(green); }) > 320 * 300 * 9 / 10;
  });
  EXPECT_GT(shot.count(0, 100, 320, 300, [&](const auto& c) { return c.near(green); }), 320 * 300 * 9 / 10);
  EXPECT_GT(shot.count(270, 0, 50, 50, [](const auto& c) { return c.luminance() < 80; }), 300) << "our close control";

  std::weak_ptr<platform::ViewController> weak = screen->weak_from_this();
  clickLink(*screen->webView(), "close");
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_TRUE(waitForReport("stateChange", "default"));
  EXPECT_TRUE(waitForReport("exposureChange", "100 0 0 320 50"));
}

// Every resize the interface must refuse is answered with an error, none
// acts; the user's click resizes the ad over the screen under our close
// control, which puts it back.
TEST_F(MRAIDWindowTest, AResizeIsCheckedAndGrowsOnlyOnAClick) {
  GADContentPolicy::resetForTesting();
  showCreative(Kind::Resizes);
  ASSERT_TRUE(runUntil([&] { return first("tried") != "(none)"; })) << all();
  RunLoop::main().runFor(0.3);
  std::vector<std::string> errors;
  for (const auto& report : reports())
    if (report.event == "resize-error") errors.push_back(report.value);
  EXPECT_EQ(errors, (std::vector<std::string>{
                        "resize: no resize properties set",
                        "setResizeProperties: width, height, offsetX and offsetY are numbers; the size at least 50 x 50",
                        "setResizeProperties: width, height, offsetX and offsetY are numbers; the size at least 50 x 50",
                        "resize: off the screen",
                        "resize: its close region off the screen",
                        "resize: grows only on the user's click",
                    }));
  EXPECT_EQ(first("stateChange"), "(none)") << "nothing resized by itself";
  EXPECT_EQ(loader().webView()->superview(), &banner());

  clickTheAd();
  ASSERT_TRUE(waitForReport("stateChange", "resized")) << all();
  EXPECT_TRUE(waitForReport("sizeChange", "320 100"));
  const Place home = placeInWindow(banner());
  EXPECT_TRUE(waitForReport("exposureChange", "100 0 0 320 100"));
  EXPECT_TRUE(runUntil([&] { return placeInWindow(*loader().webView()).h == 100; })) << "laid out";
  const Place ad = placeInWindow(*loader().webView());
  EXPECT_EQ(ad.y, home.y - 50) << "upward from the banner's place";
  const auto red = ScreenshotPixels::fromHex("#d01010");
  auto shot = screenshotOnce("mraid-resized.png", [&](const ScreenshotPixels& s) {
    return s.count(0, ad.y, 260, 100, [&](const auto& c) { return c.near(red); }) > 260 * 100 * 8 / 10;
  });
  EXPECT_GT(shot.count(0, ad.y, 260, 100, [&](const auto& c) { return c.near(red); }), 260 * 100 * 8 / 10)
      << "the resized ad covers the application above the banner";
  EXPECT_GT(shot.count(270, ad.y, 50, 50, [](const auto& c) { return c.luminance() < 80; }), 300)
      << "our close control at its top right";

  EXPECT_TRUE(RealInput::clickAt(*loader().webView(), 295, 25)) << "on the close control, over the page";
  ASSERT_TRUE(waitForReport("stateChange", "default"));
  EXPECT_TRUE(waitForReport("sizeChange", "320 50"));
  EXPECT_EQ(loader().webView()->superview(), &banner());
}

// A creative that does not ask for the interface has none.
TEST_F(MRAIDWindowTest, APlainAdHasTheEnvironmentButNoInterface) {
  showCreative(Kind{});  // none (X11 takes the name)
  EXPECT_EQ(script(*loader().webView(), "typeof window.mraid"), "undefined");
  EXPECT_EQ(script(*loader().webView(), "MRAID_ENV.version"), "3.0");
}

}  // namespace
