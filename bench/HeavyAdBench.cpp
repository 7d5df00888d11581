// Heavy ads in a real window against the sandbox (bench/run.sh runs it
// under Xvfb). Figures only: for each heavy creative, shown until the
// banner unloads it or WebKit ends its page process (or two minutes pass),
//  - how it ended and the seconds from its showing to then;
//  - the CPU seconds its page process used and the bytes its loads
//    received meanwhile (as the banner's monitor reads them), and the bytes
//    the sandbox sent for its downloads;
//  - the resident memory of this process and of its web processes at the
//    start, at the end, and the web processes' peak (read every 0.25 s).
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>

#include "adnet/HostileCreatives.h"
#include "ads/core/GADHeavyAdGuard.h"
#include "bench/ProcessFigures.h"
#include "bench/SandboxBanner.h"
#include "platform/PageResourceMonitor.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

double megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  auto* monitor = platform::PageResourceMonitor::installed();
  SandboxBanner sandbox("heavy-ad-bench");
  if (!sandbox.showAd() || !monitor) return 1;
  constexpr double kLongestSeconds = 120;
  std::printf("%-22s %-15s %7s %7s %9s %9s %17s %23s\n", "creative", "ended by", "after s", "CPU s", "recv MB",
              "served MB", "app RSS MB", "web RSS MB start/end/peak");
  for (const auto kind : adnet::HostileCreatives::heavy()) {
    auto& loader = *sandbox.loader();
    sandbox.network.behaviour() = adnet::AdNetwork::Behaviour{};
    sandbox.network.behaviour().hostile = kind;
    loop.runFor(1.0);  // the last creative's process settles
    const long appStart = ProcessFigures::residentKilobytes();
    const std::uint64_t webStart = monitor->webProcessResidentBytes();
    const size_t blobsBefore = sandbox.network.requestCount("/zovo/blob");
    const int received = sandbox.events->received, failed = sandbox.events->failed;
    const int unloaded = loader.heavyAdUnloadCount();
    sandbox.banner->loadRequest(GADRequest::request());
    // The usage from before its load, so what it used while loading counts.
    const platform::PageResourceUsage before = monitor->usage(*loader.webView());
    loop.runUntil([&] { return sandbox.events->received > received || sandbox.events->failed > failed; }, 30);
    const bool shown = sandbox.events->received > received;
    sandbox.network.behaviour() = adnet::AdNetwork::Behaviour{};  // the next ad is plain
    const double shownAt = loop.now();
    std::uint64_t webPeak = webStart;
    auto ended = [&] { return loader.heavyAdUnloadCount() > unloaded || sandbox.events->failed > failed; };
    platform::PageResourceUsage after = before;
    while (shown && !ended() && loop.now() - shownAt < kLongestSeconds) {
      loop.runUntil(ended, 0.25);
      webPeak = std::max(webPeak, monitor->webProcessResidentBytes());
      after = monitor->usage(*loader.webView());
    }
    if (ended()) after = monitor->usage(*loader.webView());
    const double seconds = loop.now() - shownAt;
    const char* how = !shown                                        ? "never shown"
                      : loader.heavyAdUnloadCount() > unloaded      ? "unloaded"
                      : sandbox.events->failed > failed             ? "process ended"
                                                                    : "still up";
    // The next (plain) ad, so the web processes are read with it up: an
    // unloaded ad's comes at once, an ended process's on the schedule,
    // brought forward here.
    if (!loader.isMakingRequest()) sandbox.banner->loadRequest(GADRequest::request());
    loop.runUntil([&] { return sandbox.events->received > received + (shown ? 1 : 0); }, 30);
    loader.cancelPendingActions();
    loop.runFor(1.0);  // past the monitor's last reading, which it keeps half a second
    const long appEnd = ProcessFigures::residentKilobytes();
    const std::uint64_t webEnd = monitor->webProcessResidentBytes();
    const size_t blobs = sandbox.network.requestCount("/zovo/blob") - blobsBefore;
    std::printf("%-22s %-15s %7.1f %7.1f %9.1f %9.1f %8.0f -> %6.0f %7.0f / %5.0f / %5.0f\n",
                adnet::HostileCreatives::name(kind).c_str(), how, seconds, after.cpuSeconds - before.cpuSeconds,
                megabytes(after.networkBytes - before.networkBytes),
                megabytes(blobs * static_cast<std::uint64_t>(adnet::HostileCreatives::kDownloadBytes)),
                static_cast<double>(appStart) / 1024.0, static_cast<double>(appEnd) / 1024.0, megabytes(webStart),
                megabytes(webEnd), megabytes(webPeak));
  }
  std::printf("\nbounds: %.0f MiB received, %.0f s of CPU in any %.0f s, %.0f s in all; web process memory limit "
              "512 MB, ended at the limit\n",
              megabytes(GADHeavyAdGuard::kMaximumNetworkBytes), GADHeavyAdGuard::kMaximumCPUSecondsInWindow,
              GADHeavyAdGuard::kCPUWindowSeconds, GADHeavyAdGuard::kMaximumCPUSeconds);
  return 0;
}
