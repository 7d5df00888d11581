// The sandbox ad network as a program of its own: serves on loopback until
// SIGINT or SIGTERM.
//   blorvik-adnet [--port N] [--refresh-rate SECONDS|none] [--hostile NAME|all] [--mraid NAME]
// --hostile serves one attacking creative (or each in turn) instead of the
// rotation, to watch the client refuse what they try; "all" leaves out the
// heavy ones (burns-cpu, downloads-without-end, grows-its-memory), which are
// named one at a time. --mraid serves one rich-media creative
// (mraid-events, mraid-loads-late).
#include <glib-unix.h>
#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "adnet/AdNetwork.h"

int main(int argc, char** argv) {
  int port = 8642;
  std::optional<std::string> refresh = "30";
  std::optional<std::string> hostile;
  auto mraid = adnet::MRAIDCreatives::Kind::None;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--refresh-rate") == 0 && i + 1 < argc) {
      const std::string value = argv[++i];
      refresh = value == "none" ? std::nullopt : std::optional<std::string>(value);
    } else if (std::strcmp(argv[i], "--hostile") == 0 && i + 1 < argc) {
      hostile = argv[++i];
      if (*hostile != "all" && !adnet::HostileCreatives::fromName(*hostile)) {
        std::fprintf(stderr, "adnet: no hostile creative named %s\n", hostile->c_str());
        return 2;
      }
    } else if (std::strcmp(argv[i], "--mraid") == 0 && i + 1 < argc) {
      const auto kind = adnet::MRAIDCreatives::fromName(argv[++i]);
      if (!kind) {
        std::fprintf(stderr, "adnet: no rich-media creative named %s\n", argv[i]);
        return 2;
      }
      mraid = *kind;
    } else {
      std::fprintf(stderr, "usage: %s [--port N] [--refresh-rate SECONDS|none] [--hostile NAME|all] [--mraid NAME]\n",
                   argv[0]);
      return 2;
    }
  }
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  try {
    adnet::AdNetwork network(port);
    network.behaviour().refreshRate = refresh;
    network.behaviour().mraid = mraid;
    if (hostile && *hostile == "all") {
      network.behaviour().everyHostile = true;
    } else if (hostile) {
      network.behaviour().hostile = *adnet::HostileCreatives::fromName(*hostile);
    }
    auto quit = +[](gpointer data) -> gboolean {
      g_main_loop_quit(static_cast<GMainLoop*>(data));
      return G_SOURCE_REMOVE;
    };
    g_unix_signal_add(SIGINT, quit, loop);
    g_unix_signal_add(SIGTERM, quit, loop);
    std::printf("adnet: serving on %s\n", network.url("/").c_str());
    std::fflush(stdout);
    g_main_loop_run(loop);
    std::printf("adnet: ads served %zu, impression fetches %zu, click-tracking fetches %zu, clicks at the click "
                "server %zu\n",
                network.adRequests().size(), network.requestCount("/zovo/imp"), network.requestCount("/zovo/clk"),
                network.requestCount("/zovo/aclk"));
    std::fflush(stdout);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "adnet: %s\n", error.what());
    g_main_loop_unref(loop);
    return 1;
  }
  g_main_loop_unref(loop);
  return 0;
}
