#include "ads/core/GADHeavyAdGuard.h"

#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"

namespace {

struct BoundsForTesting {
  std::optional<GADHeavyAdGuard::Bounds> bounds;
};

}  // namespace

GADHeavyAdGuard::Bounds GADHeavyAdGuard::bounds() {
  return platform::processWide<BoundsForTesting>().bounds.value_or(Bounds{});
}

void GADHeavyAdGuard::setBoundsForTesting(std::optional<Bounds> bounds) {
  platform::processWide<BoundsForTesting>().bounds = bounds;
}

const char* GADHeavyAdGuard::name(Bound bound) {
  switch (bound) {
    case Bound::Network: return "network";
    case Bound::CPUInWindow: return "CPU in a window";
    case Bound::CPUTotal: return "CPU in all";
  }
  return "?";
}

void GADHeavyAdGuard::beginPage(const std::shared_ptr<platform::WebView>& view) {
  end();
  view_ = view;
  exempt_ = false;
  auto* monitor = platform::PageResourceMonitor::installed();
  if (!monitor || !view) return;
  start_ = monitor->usage(*view);
  std::weak_ptr<GADHeavyAdGuard> weak = weak_from_this();
  monitor->setNetworkListener(*view, [weak] {
    if (auto self = weak.lock()) self->networkGrew();
  });
}

void GADHeavyAdGuard::pageShown() {
  auto view = view_.lock();
  if (!start_ || !view || exempt_) return;
  shownAt_ = platform::RunLoop::main().now();
  activationsAtShow_ = view->userActivationCount();
  readings_.clear();
  // The CPU the page used while it loaded counts towards its windows too.
  readings_.emplace_back(shownAt_, start_->cpuSeconds);
  armSample();
}

void GADHeavyAdGuard::exempt() {
  exempt_ = true;
  sample_.cancel();
  networkCheck_.cancel();
}

void GADHeavyAdGuard::end() {
  sample_.cancel();
  networkCheck_.cancel();
  auto* monitor = platform::PageResourceMonitor::installed();
  if (auto view = view_.lock(); view && monitor) monitor->setNetworkListener(*view, nullptr);
  start_.reset();
  readings_.clear();
  view_.reset();
}

// The one place the reading is armed: when the ad shows, then after each
// reading that found the ad within its bounds.
void GADHeavyAdGuard::armSample() {
  std::weak_ptr<GADHeavyAdGuard> weak = weak_from_this();
  sample_.schedule(kSampleSeconds, [weak] {
    if (auto self = weak.lock(); self && self->check(Reading::Periodic)) self->armSample();
  });
}

// Told inside the toolkit's report: the check waits for the next turn
// (its owner may empty the page), and one pending check serves them all.
void GADHeavyAdGuard::networkGrew() {
  if (!sample_.isPending() || networkCheck_.isPending()) return;
  std::weak_ptr<GADHeavyAdGuard> weak = weak_from_this();
  networkCheck_.schedule(0, [weak] {
    if (auto self = weak.lock(); self && self->sample_.isPending()) self->check(Reading::Network);
  });
}

bool GADHeavyAdGuard::check(Reading reading) {
  auto view = view_.lock();
  auto* monitor = platform::PageResourceMonitor::installed();
  if (!view || !start_ || !monitor || exempt_) return false;
  // A user's press on the ad (whatever the page made of it) is an
  // interaction, as a click is.
  if (view->userActivationCount() > activationsAtShow_) {
    exempt();
    return false;
  }
  const Bounds bounds = GADHeavyAdGuard::bounds();
  const double now = platform::RunLoop::main().now();
  const platform::PageResourceUsage total = monitor->usage(*view);
  platform::PageResourceUsage used;
  used.cpuSeconds = total.cpuSeconds - start_->cpuSeconds;
  used.networkBytes = total.networkBytes >= start_->networkBytes ? total.networkBytes - start_->networkBytes : 0;
  std::optional<Bound> passed;
  if (reading == Reading::Network) {
    if (used.networkBytes > bounds.networkBytes) passed = Bound::Network;
  } else {
    passed = periodicReading(now, total.cpuSeconds, used, bounds);
  }
  if (!passed) return true;
  // Told once: the page is no longer watched. The owner may start the
  // next ad from its handler.
  auto keep = shared_from_this();
  end();
  passed_(*passed, used);
  return false;
}

std::optional<GADHeavyAdGuard::Bound> GADHeavyAdGuard::periodicReading(double now, double cpuSeconds,
                                                                       const platform::PageResourceUsage& used,
                                                                       const Bounds& bounds) {
  readings_.emplace_back(now, cpuSeconds);
  // The window's start: the newest reading at least a window old (or the
  // first, while the ad is younger than a window). Older ones are let go.
  while (readings_.size() > 2 && readings_[1].first <= now - bounds.windowSeconds) readings_.pop_front();
  const double inWindow = cpuSeconds - readings_.front().second;
  if (used.networkBytes > bounds.networkBytes) return Bound::Network;
  if (inWindow > bounds.cpuSecondsInWindow) return Bound::CPUInWindow;
  if (used.cpuSeconds > bounds.cpuSeconds) return Bound::CPUTotal;
  return std::nullopt;
}
