// Holds the ad a banner shows to the bounds browsers hold ads to: an ad the
// user has not interacted with is heavy once it has received more than
// kMaximumNetworkBytes, or used more than kMaximumCPUSecondsInWindow of CPU
// in any kCPUWindowSeconds, or kMaximumCPUSeconds in all. The guard tells
// its owner once, when the first bound is passed; what to do with the ad
// is the owner's.
//
// What a page uses is read from the installed platform::PageResourceMonitor
// (with none, nothing is read and no bound holds). The monitor charges a
// page the CPU of the whole web process it runs in, shared by every ad
// page of the application: an ad is charged at least what it used (its
// neighbours' too), never less. The bounds are browsers' own; the CPU time
// is the process's on all its threads, where browsers count the page's
// main thread alone: stricter again.
//
// It reads every kSampleSeconds while an ad is shown, and the bytes also
// each time the monitor says they grew (on the next turn of the loop): on
// a fast network a page receives a hundred megabytes in a second. A window is measured
// from the newest reading at least kCPUWindowSeconds old, so a measured
// window is at most one sample longer than the bound's: any 30 s that held
// more than 15 s of CPU lies inside one.
//
// Owned by the loader, on the main thread. Its sampling holds it weakly.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/DeferredCall.h"
#include "platform/PageResourceMonitor.h"

namespace platform {
class WebView;
}

class GADHeavyAdGuard : public std::enable_shared_from_this<GADHeavyAdGuard> {
 public:
  static constexpr std::uint64_t kMaximumNetworkBytes = 4 * 1024 * 1024;
  static constexpr double kMaximumCPUSecondsInWindow = 15;
  static constexpr double kCPUWindowSeconds = 30;
  static constexpr double kMaximumCPUSeconds = 60;
  static constexpr double kSampleSeconds = 1;

  enum class Bound { Network, CPUInWindow, CPUTotal };
  struct Bounds {
    std::uint64_t networkBytes = kMaximumNetworkBytes;
    double cpuSecondsInWindow = kMaximumCPUSecondsInWindow;
    double windowSeconds = kCPUWindowSeconds;
    double cpuSeconds = kMaximumCPUSeconds;
  };
  // The bounds every guard holds its ads to: the ones above, unless a
  // window test on a busy machine lowers them (nullopt: back to those).
  static Bounds bounds();
  static void setBoundsForTesting(std::optional<Bounds> bounds);
  // What the page had used since its load began when the bound was passed.
  using Passed = std::function<void(Bound bound, const platform::PageResourceUsage& used)>;

  explicit GADHeavyAdGuard(Passed passed) : passed_(std::move(passed)) {}
  GADHeavyAdGuard(const GADHeavyAdGuard&) = delete;
  GADHeavyAdGuard& operator=(const GADHeavyAdGuard&) = delete;

  // A new ad starts loading in `view`: what it uses counts from now, and
  // the ad before it is no longer watched. Nothing is read until it shows.
  void beginPage(const std::shared_ptr<platform::WebView>& view);
  // The ad is on screen: its usage is read from now on.
  void pageShown();
  // The user has interacted with the ad: no bound holds it any more.
  void exempt();
  // The page has gone: nothing more is read for it.
  void end();

  bool isWatching() const { return sample_.isPending(); }
  bool isExempt() const { return exempt_; }
  static const char* name(Bound bound);

 private:
  // Periodic: CPU and network, then the next reading is armed. Network:
  // the bytes alone, when they grew.
  enum class Reading { Periodic, Network };
  void armSample();
  void networkGrew();
  // False once the ad passed a bound (its owner has been told).
  bool check(Reading reading);
  // Adds the periodic reading; the bound it finds passed, if any.
  std::optional<Bound> periodicReading(double now, double cpuSeconds, const platform::PageResourceUsage& used,
                                       const Bounds& bounds);

  Passed passed_;
  std::weak_ptr<platform::WebView> view_;
  std::optional<platform::PageResourceUsage> start_;  // at the load's start
  double shownAt_ = 0;                                // run loop's clock
  std::uint64_t activationsAtShow_ = 0;               // the web view's, when the ad showed
  bool exempt_ = false;
  // Readings since the ad showed: (time, CPU seconds), oldest first.
  std::deque<std::pair<double, double>> readings_;
  platform::DeferredCall sample_;
  platform::DeferredCall networkCheck_;
};
