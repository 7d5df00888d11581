// A soak: a banner in a real window refreshes 1,000 times (or as many as
// asked) against the sandbox ad network, which injects a fault at random
// into about half of the attempts: error statuses for the script and the
// ad, dropped connections, bodies cut short, trickling answers, a script
// that never answers, an empty ad; now and then the application's delegate
// lets the banner go inside its handler and makes a new one. The refresh
// timer and the attempt deadline run on the controllable clock, so no
// waiting for them. Built with the sanitizers by bench/soak.sh.
// It checks one outcome per attempt (every attempt started ends with
// exactly one delegate callback) and prints the resident memory along the
// way; it exits non-zero when an attempt had no outcome or two.
//   soak_bench [attempts]
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "adnet/AdNetwork.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADRequestError.h"
#include "ads/request/GADRequest.h"
#include "ads/request/GADRequestPrivate.h"
#include "bench/ProcessFigures.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "platform/ViewController.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

// Counts outcomes; may let the banner go from inside a callback.
class Outcomes : public GADBannerViewDelegate {
 public:
  int received = 0, failed = 0;
  bool releaseNext = false;
  std::shared_ptr<GADBannerView>* banner = nullptr;
  void adViewDidReceiveAd(GADBannerView*) override {
    if (std::getenv("SOAK_VERBOSE")) std::printf("  received at %.1f\n", platform::RunLoop::main().now());
    ++received;
    maybeRelease();
  }
  void adViewDidFailToReceiveAdWithError(GADBannerView*, const GADRequestError& error) override {
    if (std::getenv("SOAK_VERBOSE")) std::printf("  failed %ld at %.1f\n", error.code(), platform::RunLoop::main().now());
    ++failed;
    maybeRelease();
  }
  int total() const { return received + failed; }

 private:
  void maybeRelease() {
    if (!releaseNext || !banner) return;
    releaseNext = false;
    // As an application lets a banner go: out of its view, and dropped.
    (*banner)->removeFromSuperview();
    banner->reset();
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int attempts = argc > 1 ? std::atoi(argv[1]) : 1000;
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  adnet::AdNetwork network;
  GADEndpoints::setForTesting(
      GADEndpoints::Overrides{network.staticContentHost(), network.adServerBaseURL(), "127.0.0.1"});
  const auto caches = std::filesystem::temp_directory_path() / ("soak-" + std::to_string(getpid()));
  platform::FileManager::setCachesDirectoryForTesting(caches);
  auto root = std::make_shared<platform::ViewController>();
  auto rootView = platform::View::create(platform::Rect(0, 0, 320, 100));
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  gtk_window_set_child(window, static_cast<GtkWidget*>(rootView->peer()->toolkitHandle()));
  gtk_window_present(window);
  auto outcomes = std::make_shared<Outcomes>();
  std::shared_ptr<GADBannerView> banner;
  outcomes->banner = &banner;
  auto makeBanner = [&] {
    banner = GADBannerView::create(platform::Rect(0, 50, 320, 50));
    banner->setAdUnitID("a1b2c3d4e5f6071");
    banner->setRootViewController(root.get());
    banner->setDelegate(outcomes);
    rootView->addSubview(banner);
    banner->loadRequest(GADRequest::request());
  };
  loop.useManualTimeForTesting();

  std::mt19937 random(20261207);
  int started = 1, missing = 0, doubled = 0, releases = 0, lastFault = -1;
  long residentAt100 = -1;
  makeBanner();
  for (int attempt = 0; attempt < attempts; ++attempt) {
    // This attempt's outcome: wait in real time for the network and WebKit,
    // and bring the deadline forward when the fault is a silent one.
    const int before = outcomes->total();
    if (!loop.runUntil([&] { return outcomes->total() > before; }, 3)) {
      loop.advanceForTesting(GADObjectPrivate::kAttemptTimeoutSeconds);
      if (!loop.runUntil([&] { return outcomes->total() > before; }, 5)) ++missing;
    }
    loop.runFor(0.05);
    if (outcomes->total() > before + 1) {
      ++doubled;
      if (std::getenv("SOAK_VERBOSE")) std::printf("attempt %d after fault %d: %d outcomes\n", attempt, lastFault, outcomes->total() - before);
    }
    if (attempt == 99) residentAt100 = ProcessFigures::residentKilobytes();

    // The next attempt's fault, if any.
    auto& b = network.behaviour();
    b = adnet::AdNetwork::Behaviour{};
    lastFault = static_cast<int>(random() % 16);
    switch (lastFault) {
      case 0: b.scriptStatus = 503; break;
      case 1: b.adStatus = 500; break;
      case 2: b.adStatus = 404; break;
      case 3: b.adDropsConnection = true; break;
      case 4: b.adTruncated = true; break;
      case 5: b.adTrickleSeconds = 0.05; break;
      case 6: b.scriptAnswer = adnet::AdNetwork::ScriptAnswer::Silent; break;
      case 7: b.adBody = ""; break;
      default: break;
    }
    if (random() % 25 == 0) {
      outcomes->releaseNext = true;
      ++releases;
    }
    if (!banner) {
      makeBanner();
    } else {
      auto loader = banner->privateObject();
      const double wait = loader->scheduledReloadSeconds();
      if (std::getenv("SOAK_VERBOSE")) std::printf(" attempt %d fault %d wait %.1f\n", attempt + 1, lastFault, wait);
      if (wait > 0) {
        loop.advanceForTesting(wait);
      } else {
        banner->loadRequest(GADRequest::request());
      }
    }
    ++started;
    if ((attempt + 1) % 100 == 0)
      std::printf("attempts %d: outcomes %d (ads %d, failures %d), resident %ld kB, web processes %d\n", attempt + 1,
                  outcomes->total(), outcomes->received, outcomes->failed, ProcessFigures::residentKilobytes(),
                  ProcessFigures::webProcesses());
    std::fflush(stdout);
  }
  const int before = outcomes->total();
  if (!loop.runUntil([&] { return outcomes->total() > before; }, 3)) {
    loop.advanceForTesting(GADObjectPrivate::kAttemptTimeoutSeconds);
    loop.runUntil([&] { return outcomes->total() > before; }, 5);
  }
  const long residentAtEnd = ProcessFigures::residentKilobytes();
  std::printf("attempts started %d, outcomes %d (ads %d, failures %d), without an outcome %d, with two %d, "
              "banners let go inside their handler %d\n",
              started, outcomes->total(), outcomes->received, outcomes->failed, missing, doubled, releases);
  std::printf("resident after 100 attempts %ld kB, after %d %ld kB\n", residentAt100, attempts, residentAtEnd);
  banner.reset();
  gtk_window_destroy(window);
  platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
  std::filesystem::remove_all(caches);
  return missing == 0 && doubled == 0 && outcomes->total() == started ? 0 : 1;
}
