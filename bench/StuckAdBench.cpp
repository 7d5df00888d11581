// Ads that try to freeze or kill the banner, in a real window against the
// sandbox (bench/run.sh runs it under Xvfb). Figures only:
//  - the main loop's turns while each hostile creative (and the flood) runs
//    for a few seconds: the gaps between ticks of a 1 ms timer, p50, p99
//    and the longest;
//  - a page process killed while its ad is shown: the time to the failure
//    the banner reports, and the next load (half a second later, once
//    WebKit has seen its other killed processes go) to the ad shown.
#include <gtk/gtk.h>
#include <signal.h>

#include <chrono>
#include <cstdio>

#include "adnet/HostileCreatives.h"
#include "bench/ProcessFigures.h"
#include "bench/RunFigures.h"
#include "bench/SandboxBanner.h"
#include "bench/StallMeter.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

using Clock = RunFigures::Clock;


}  // namespace

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  SandboxBanner sandbox("stuck-ad-bench");
  if (!sandbox.showAd()) return 1;
  constexpr double kSeconds = 4;
  StallMeter stalls;
  std::printf("%-34s %8s %8s %8s %7s\n", "creative (" "4 s each)", "p50 ms", "p99 ms", "max ms", "turns");
  for (const auto kind : adnet::HostileCreatives::all()) {
    sandbox.network.behaviour() = adnet::AdNetwork::Behaviour{};
    sandbox.network.behaviour().hostile = kind;
    const int received = sandbox.events->received, failed = sandbox.events->failed;
    stalls.restart();
    sandbox.banner->loadRequest(GADRequest::request());
    loop.runUntil([&] { return sandbox.events->received > received || sandbox.events->failed > failed; }, 30);
    loop.runFor(kSeconds);
    std::printf("%-34s %8.2f %8.2f %8.2f %7zu%s\n", adnet::HostileCreatives::name(kind).c_str(),
                stalls.percentile(0.5), stalls.percentile(0.99), stalls.longest(), stalls.turns(),
                sandbox.events->failed > failed ? "  (failed once, as it should)" : "");
    sandbox.loader()->cancelPendingActions();
  }

  sandbox.network.behaviour() = adnet::AdNetwork::Behaviour{};
  std::printf("\npage process killed while the ad is shown (5 runs):\n");
  for (int run = 0; run < 5; ++run) {
    // A plain ad up (the hung page's last attempt may have failed).
    const int received = sandbox.events->received;
    for (int tries = 0; tries < 3 && sandbox.events->received == received; ++tries) {
      const int before = sandbox.events->failed;
      sandbox.banner->loadRequest(GADRequest::request());
      loop.runUntil([&] { return sandbox.events->received > received || sandbox.events->failed > before; }, 30);
    }
    if (sandbox.events->received == received) {
      std::fprintf(stderr, "no ad to kill\n");
      return 1;
    }
    const int failed = sandbox.events->failed;
    sandbox.loader()->cancelPendingActions();
    loop.runFor(0.7);
    const auto killed = Clock::now();
    // Not one still launching: WebKit treats that as fatal.
    for (pid_t pid : ProcessFigures::webProcessIds())
      if (ProcessFigures::ageSeconds(pid) > 0.5) ::kill(pid, SIGKILL);
    if (!loop.runUntil([&] { return sandbox.events->failed > failed; }, 30)) {
      std::fprintf(stderr, "no failure after the kill\n");
      return 1;
    }
    const double toFailure = RunFigures::millisecondsSince(killed);
    // WebKit sees its other killed processes (a spare among them) go first.
    loop.runFor(0.5);
    const auto reloaded = Clock::now();
    sandbox.banner->loadRequest(GADRequest::request());
    if (!loop.runUntil([&] { return sandbox.events->received > received + 1; }, 30)) {
      std::fprintf(stderr, "no ad after the failure\n");
      return 1;
    }
    std::printf("  kill to failure %8.2f ms, next load to its ad shown %8.2f ms\n", toFailure,
                RunFigures::millisecondsSince(reloaded));
    sandbox.loader()->cancelPendingActions();
  }
  return 0;
}
