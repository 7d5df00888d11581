// Clicks on a shown ad and full-screen ad screens, with real WebKit in a
// real window (bench/run.sh starts Xvfb when there is none) and the
// sandbox ad network on loopback. Figures only:
//  - from a user's click (a real pointer event, xdotool's run included) to
//    the opener's call, and from the click (the release) reaching the ad's
//    web view to that call: the first apart, then the median of the rest;
//  - resident memory after 1 and after 50 presentations and dismissals of
//    a full-screen ad screen over the window, each slide ended.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADOpener.h"
#include "ads/fullscreen/GADViewController.h"
#include "bench/ProcessFigures.h"
#include "bench/RunFigures.h"
#include "bench/SandboxBanner.h"
#include "platform/RunLoop.h"
#include "platform/URL.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

using Clock = RunFigures::Clock;

// Notes when it is asked to open a screen, and opens none.
class TimingOpener : public GADOpener {
 public:
  int calls = 0;
  Clock::time_point last;
  std::function<std::optional<double>()> sinceClick;
  double lastSinceClick = -1;
  void openBrowserToURLSupportedOrientations(const std::optional<platform::URL>&, int) override { note(); }
  void openWebAppSupportedOrientations(const platform::URL&, int) override { note(); }

 private:
  void note() {
    last = Clock::now();
    lastSinceClick = sinceClick ? sinceClick().value_or(-1) : -1;
    ++calls;
  }
};

}  // namespace

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  SandboxBanner sandbox("click-bench");
  if (!sandbox.showAd()) return 1;
  auto loader = sandbox.loader();
  auto& root = sandbox.root;
  auto opener = std::make_shared<TimingOpener>();
  loader->webViewDelegate()->setOpenerForTesting(opener);
  opener->sinceClick = [&sandbox] { return sandbox.millisecondsSinceClick(); };

  constexpr int kClicks = 21;
  std::vector<double> clicks, released;
  for (int i = 0; i < kClicks; ++i) {
    const auto start = Clock::now();
    sandbox.click();
    if (!loop.runUntil([&] { return opener->calls > i; }, 30)) {
      std::fprintf(stderr, "a click never reached the opener\n");
      return 1;
    }
    clicks.push_back(std::chrono::duration<double, std::milli>(opener->last - start).count());
    released.push_back(opener->lastSinceClick);
    loop.runFor(0.05);
  }
  RunFigures::report("click (xdotool's run) to the opener's call", clicks);
  RunFigures::report("click in the ad's web view to the opener's call", released);

  for (int cycle = 1; cycle <= 50; ++cycle) {
    std::weak_ptr<GADViewController> weak;
    {
      auto screen = GADViewController::create<GADViewController>();
      screen->setDelegateManager(loader->sharedDelegateManager());
      screen->presentFromViewController(root.get());
      weak = screen;
    }
    if (!loop.runUntil([&] { return weak.lock()->view()->isUserInteractionEnabled(); }, 10)) return 1;
    weak.lock()->relinquishScreen();
    if (!loop.runUntil([&] { return weak.expired(); }, 10)) {
      std::fprintf(stderr, "a screen outlived its dismissal\n");
      return 1;
    }
    if (cycle == 1 || cycle == 50) {
      loop.runFor(0.3);
      std::printf("after %2d full-screen open/close cycles: resident %7ld kB, web processes %d\n", cycle,
                  ProcessFigures::residentKilobytes(), ProcessFigures::webProcesses());
    }
  }
  return 0;
}
