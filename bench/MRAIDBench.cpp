// The rich-media interface in a real window (bench/run.sh starts Xvfb when
// there is none), with the sandbox's mraid-events creative on loopback.
// Figures only, by the page's own clock (WebKit gives it to the
// millisecond), over 100 ads after a first apart:
//  - from the page asking for "mraid.js" to its "ready" (which waits for
//    the ad to be shown: the page's load, the client's show, one message
//    and one answer);
//  - from the page's start to its first "exposureChange".
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/RunFigures.h"
#include "bench/SandboxBanner.h"
#include "platform/NumberText.h"
#include "platform/RunLoop.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

// The value of the page's first report of `event` among the requests from
// `from` on.
std::optional<double> reported(const adnet::AdNetwork& network, size_t from, const std::string& event) {
  const auto& requests = network.requests();
  for (size_t i = from; i < requests.size(); ++i) {
    if (requests[i].path != "/zovo/mraid/report" || !requests[i].query) continue;
    auto query = adnet::parseQuery(*requests[i].query);
    if (query["e"] == event) return platform::NumberText::parse(query["v"]);
  }
  return std::nullopt;
}

}  // namespace

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  SandboxBanner sandbox("mraid-bench");
  sandbox.network.behaviour().mraid = adnet::MRAIDCreatives::Kind::Events;
  sandbox.network.behaviour().refreshRate = "3600";
  std::vector<double> ready, exposure;
  for (int i = 0; i <= 100; ++i) {
    const size_t from = sandbox.network.requests().size();
    const int before = sandbox.events->received;
    sandbox.banner->loadRequest(GADRequest::request());
    const bool shown = loop.runUntil(
        [&] {
          return sandbox.events->received > before && reported(sandbox.network, from, "ms-to-ready") &&
                 reported(sandbox.network, from, "ms-to-exposure");
        },
        30);
    if (!shown) {
      std::fprintf(stderr, "ad %d never told its figures\n", i);
      return 1;
    }
    sandbox.loader()->cancelPendingActions();
    // An ad a tenth of a second: within a page's message rate, as the
    // sandbox's banner refresh would never come near.
    loop.runFor(0.1);
    ready.push_back(*reported(sandbox.network, from, "ms-to-ready"));
    exposure.push_back(*reported(sandbox.network, from, "ms-to-exposure"));
  }
  RunFigures::report("mraid.js asked for to ready (ms)", ready);
  RunFigures::report("page start to first exposureChange (ms)", exposure);
  return 0;
}
