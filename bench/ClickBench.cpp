// Clicks on a shown ad and full-screen ad screens, with real WebKit in a
// real window (bench/run.sh starts Xvfb when there is none) and the
// sandbox ad network on loopback. Figures only:
//  - from a click dispatched in the ad's page to the opener's call: the
//    first apart, then the median of the rest;
//  - resident memory after 1 and after 50 presentations and dismissals of
//    a full-screen ad screen over the window, each slide ended.
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "bench/ProcessFigures.h"
#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADOpener.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/fullscreen/GADViewController.h"
#include "ads/request/GADRequest.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "platform/gtk/GtkToolkit.h"
#include "platform/gtk/GtkWindowPeer.h"

namespace {

using Clock = std::chrono::steady_clock;

class Events : public GADBannerViewDelegate {
 public:
  int received = 0;
  void adViewDidReceiveAd(GADBannerView*) override { ++received; }
};

// Notes when it is asked to open a screen, and opens none.
class TimingOpener : public GADOpener {
 public:
  int calls = 0;
  Clock::time_point last;
  void openBrowserToURLSupportedOrientations(const std::optional<platform::URL>&, int) override { note(); }
  void openWebAppSupportedOrientations(const platform::URL&, int) override { note(); }

 private:
  void note() {
    last = Clock::now();
    ++calls;
  }
};

}  // namespace

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  adnet::AdNetwork network;
  GADEndpoints::setForTesting(
      GADEndpoints::Overrides{network.staticContentHost(), network.adServerBaseURL(), "127.0.0.1"});
  const auto caches = std::filesystem::temp_directory_path() / ("click-bench-" + std::to_string(getpid()));
  platform::FileManager::setCachesDirectoryForTesting(caches);

  platform::Window window(platform::gtk::GtkWindowPeer::load(platform::Bundle::main().resourcesPath() / "MainWindow.ui"));
  auto root = std::make_shared<platform::ViewController>();
  window.setRootViewController(root);
  window.makeKeyAndVisible();

  auto events = std::make_shared<Events>();
  auto banner = GADBannerView::create(platform::Rect(0, 410, 320, 50));
  banner->setAdUnitID("a1b2c3d4e5f6071");
  banner->setRootViewController(root.get());
  banner->setDelegate(events);
  root->view()->addSubview(banner);
  banner->loadRequest(GADRequest::request());
  if (!loop.runUntil([&] { return events->received == 1; }, 30)) {
    std::fprintf(stderr, "no ad\n");
    return 1;
  }
  auto loader = banner->privateObject();
  loader->cancelPendingActions();  // no refresh under the clicks
  auto opener = std::make_shared<TimingOpener>();
  loader->webViewDelegate()->setOpenerForTesting(opener);

  constexpr int kClicks = 21;
  std::vector<double> clicks;
  for (int i = 0; i < kClicks; ++i) {
    const auto start = Clock::now();
    loader->webView()->evaluateJavaScript(
        "document.getElementById('ad').dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true}));");
    if (!loop.runUntil([&] { return opener->calls > i; }, 30)) {
      std::fprintf(stderr, "a click never reached the opener\n");
      return 1;
    }
    clicks.push_back(std::chrono::duration<double, std::milli>(opener->last - start).count());
    loop.runFor(0.05);
  }
  std::vector<double> later(clicks.begin() + 1, clicks.end());
  std::sort(later.begin(), later.end());
  std::printf("%-44s first %8.2f ms   later: median %8.2f ms  min %8.2f  max %8.2f  (%zu clicks)\n",
              "click in the ad's page to the opener's call", clicks.front(), later[later.size() / 2], later.front(),
              later.back(), later.size());

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
      std::printf("after %2d full-screen open/close cycles: resident %7ld kB\n", cycle,
                  ProcessFigures::residentKilobytes());
    }
  }
  banner->removeFromSuperview();
  banner.reset();
  platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
  std::filesystem::remove_all(caches);
  return 0;
}
