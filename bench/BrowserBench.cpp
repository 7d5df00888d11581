// The in-app browser from a click on a shown ad, with real WebKit in a real
// window (bench/run.sh starts Xvfb when there is none) and the sandbox ad
// network on loopback. Figures only:
//  - from a user's click on the ad (a real pointer event, xdotool's run
//    included), and from the click (the button's release) reaching the
//    ad's web view, to the landing page's first finished load in the
//    browser: the first apart, then the median of 20;
//  - resident memory and live web processes after 1 and after 50 browser
//    open/close cycles (each load finished, each slide ended), and the
//    same for 50 web application cycles.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADOpener.h"
#include "ads/fullscreen/GADBrowserController.h"
#include "ads/fullscreen/GADWebAppViewController.h"
#include "ads/request/GADStatistics.h"
#include "bench/ProcessFigures.h"
#include "bench/RunFigures.h"
#include "bench/SandboxBanner.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "platform/gtk/GtkToolkit.h"

using Clock = RunFigures::Clock;

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  SandboxBanner sandbox("browser-bench");
  if (!sandbox.showAd()) return 1;
  auto& root = sandbox.root;
  std::printf("%-52s %d\n", "web processes with the banner alone", ProcessFigures::webProcesses());

  constexpr int kCycles = 50, kTimed = 21;
  std::vector<double> loads, clicks;
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    const auto start = Clock::now();
    sandbox.click();
    GADBrowserController* browser = nullptr;
    const bool loaded = loop.runUntil(
        [&] {
          browser = dynamic_cast<GADBrowserController*>(root->modalViewController());
          if (!browser || !browser->webView() || browser->webView()->isLoading()) return false;
          auto url = browser->webView()->currentURL();
          return url && url->path() == "/landing";
        },
        30);
    if (!loaded) {
      std::fprintf(stderr, "the landing page never loaded\n");
      return 1;
    }
    if (cycle <= kTimed) {
      loads.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      clicks.push_back(sandbox.millisecondsSinceClick().value_or(-1));
    }
    std::weak_ptr<platform::ViewController> weak = browser->weak_from_this();
    if (!loop.runUntil([&] { return browser->view()->isUserInteractionEnabled(); }, 10)) return 1;
    browser->relinquishScreen();
    if (!loop.runUntil([&] { return weak.expired(); }, 10)) {
      std::fprintf(stderr, "a browser outlived its dismissal\n");
      return 1;
    }
    // Each click starts its landing page's timings afresh.
    for (const char* name : {"plpl", "plpd", "pcl"}) GADStatistics::sharedStatistics().removeTimingNamed(name);
    if (cycle == 1 || cycle == kCycles) {
      loop.runFor(1.0);  // let the browser's web process go
      std::printf("after %2d browser open/close cycles: resident %7ld kB, web processes %d\n", cycle,
                  ProcessFigures::residentKilobytes(), ProcessFigures::webProcesses());
    }
  }
  RunFigures::report("click (xdotool's run) to the landing page finished", loads);
  RunFigures::report("click in the ad's web view to the landing page finished", clicks);

  // The web application, opened as a click with click tracking opens it.
  auto& opener = sandbox.loader()->webViewDelegate()->opener();
  opener.setViewController(root.get());
  const auto webAppURL = *platform::URL::create(sandbox.network.url("/webapp"));
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    opener.openWebAppSupportedOrientations(webAppURL, 1);
    auto* webApp = dynamic_cast<GADWebAppViewController*>(root->modalViewController());
    if (!webApp || !loop.runUntil([&] { return webApp->view()->isUserInteractionEnabled() && !webApp->webView()->isLoading(); }, 30)) {
      std::fprintf(stderr, "the web application never showed\n");
      return 1;
    }
    std::weak_ptr<platform::ViewController> weak = webApp->weak_from_this();
    webApp->relinquishScreen();
    if (!loop.runUntil([&] { return weak.expired(); }, 10)) {
      std::fprintf(stderr, "a web application outlived its dismissal\n");
      return 1;
    }
    if (cycle == 1 || cycle == kCycles) {
      loop.runFor(1.0);
      std::printf("after %2d web application open/close cycles: resident %7ld kB, web processes %d\n", cycle,
                  ProcessFigures::residentKilobytes(), ProcessFigures::webProcesses());
    }
  }
  return 0;
}
