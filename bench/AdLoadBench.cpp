// A banner loading from the sandbox ad network on loopback, with real
// WebKit under a display (bench/run.sh starts Xvfb when there is none).
// Figures only:
//  - loadRequest to adViewDidReceiveAd, the core script cached and not
//    (a fresh cache folder each time), each with a new banner, and 100
//    more with one banner: first load apart, then the median and 90th
//    percentile of the rest;
//  - the main loop's turns during those 100 loads: p50, p99 and the
//    longest gap between ticks of a 1 ms timer;
//  - resident memory after 1, 10, 100 and 1,000 refreshes (the refresh timer
//    driven by the controllable clock, so no waiting for the floor), and
//    the web processes alive then.
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
#include "bench/RunFigures.h"
#include "bench/StallMeter.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/request/GADRequest.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "platform/ViewController.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

using Clock = RunFigures::Clock;


class Events : public GADBannerViewDelegate {
 public:
  int received = 0;
  int failed = 0;
  void adViewDidReceiveAd(GADBannerView*) override { ++received; }
  void adViewDidFailToReceiveAdWithError(GADBannerView*, const GADRequestError&) override { ++failed; }
};


struct Bench {
  std::shared_ptr<platform::View> root = platform::View::create(platform::Rect(0, 0, 320, 480));
  std::shared_ptr<platform::ViewController> screen = std::make_shared<platform::ViewController>();
  std::shared_ptr<Events> events = std::make_shared<Events>();

  std::shared_ptr<GADBannerView> makeBanner() {
    auto banner = GADBannerView::create(platform::Rect(0, 430, 320, 50));
    banner->setAdUnitID("a1b2c3d4e5f6071");
    banner->setRootViewController(screen.get());
    banner->setDelegate(events);
    root->addSubview(banner);
    return banner;
  }
  bool waitForAd(int count) {
    return platform::RunLoop::main().runUntil([&] { return events->received >= count || events->failed > 0; }, 30) &&
           events->failed == 0;
  }
};

}  // namespace

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  adnet::AdNetwork network;
  GADEndpoints::setForTesting(
      GADEndpoints::Overrides{network.staticContentHost(), network.adServerBaseURL(), "127.0.0.1"});
  const auto scratch = std::filesystem::temp_directory_path() / ("ad-load-bench-" + std::to_string(getpid()));
  Bench bench;
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  gtk_window_set_child(window, static_cast<GtkWidget*>(bench.root->peer()->toolkitHandle()));
  gtk_window_present(window);
  StallMeter stalls;
  std::vector<double> gaps;  // of the main loop's turns, during the cached loads after the first

  // A new banner for each load, the script not cached and cached; then one
  // banner loading again and again (its web views warm), as the floor's
  // warm pair does.
  enum class Kind { NotCached, Cached, SameBanner };
  std::shared_ptr<GADBannerView> kept;
  for (const Kind kind : {Kind::NotCached, Kind::Cached, Kind::SameBanner}) {
    const bool cached = kind != Kind::NotCached;
    std::vector<double> loads;
    const int runs = kind == Kind::SameBanner ? 101 : 21;
    for (int i = 0; i < runs; ++i) {
      // Not cached: every load starts with an empty cache folder.
      const auto caches = scratch / (cached ? "kept" : std::to_string(i));
      platform::FileManager::setCachesDirectoryForTesting(caches);
      if (kind == Kind::SameBanner && !kept) kept = bench.makeBanner();
      auto banner = kind == Kind::SameBanner ? kept : bench.makeBanner();
      const int before = bench.events->received;
      stalls.restart();
      const auto start = Clock::now();
      banner->loadRequest(GADRequest::request());
      if (!bench.waitForAd(before + 1)) {
        std::fprintf(stderr, "an ad never arrived\n");
        return 1;
      }
      loads.push_back(RunFigures::millisecondsSince(start));
      if (kind == Kind::SameBanner && i > 0) gaps.insert(gaps.end(), stalls.gaps().begin(), stalls.gaps().end());
      if (kind == Kind::SameBanner) {
        banner->privateObject()->cancelPendingActions();  // no refresh between the loads
      } else {
        banner->removeFromSuperview();
      }
      banner.reset();
      loop.runFor(0.05);
    }
    RunFigures::report(kind == Kind::NotCached ? "loadRequest to didReceiveAd, not cached"
           : kind == Kind::Cached  ? "loadRequest to didReceiveAd, script cached"
                                   : "the same banner again, script cached",
           loads);
  }
  kept->removeFromSuperview();
  kept.reset();
  std::sort(gaps.begin(), gaps.end());
  std::printf("%-44s p50 %6.2f ms  p99 %6.2f ms  max %6.2f ms (100 cached loads)\n", "main loop's turns during one banner's loads",
              gaps[gaps.size() / 2], gaps[gaps.size() * 99 / 100], gaps.back());

  // Refreshes: the timer runs on the controllable clock.
  platform::FileManager::setCachesDirectoryForTesting(scratch / "kept");
  auto banner = bench.makeBanner();
  const int before = bench.events->received;
  banner->loadRequest(GADRequest::request());
  if (!bench.waitForAd(before + 1)) return 1;
  loop.useManualTimeForTesting();
  const auto loader = banner->privateObject();
  for (int refresh = 1; refresh <= 1000; ++refresh) {
    loop.advanceForTesting(loader->scheduledReloadSeconds());
    if (!bench.waitForAd(before + 1 + refresh)) {
      std::fprintf(stderr, "refresh %d never showed\n", refresh);
      return 1;
    }
    if (refresh == 1 || refresh == 10 || refresh == 100 || refresh == 1000) {
      loop.runFor(0.2);
      std::printf("after %4d refreshes: resident %7ld kB, web processes %d\n", refresh,
                  ProcessFigures::residentKilobytes(), ProcessFigures::webProcesses());
    }
  }
  loop.useRealTimeForTesting();
  banner->removeFromSuperview();
  banner.reset();
  gtk_window_set_child(window, nullptr);
  gtk_window_destroy(window);
  platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
  std::filesystem::remove_all(scratch);
  return 0;
}
