// The application's first run with an empty cache folder, in a real window
// (bench/run.sh starts Xvfb when there is none): the main loop's longest
// stall from launch to the first ad, and from pressing the first sound
// button to the sound's end (the media framework's first use builds its
// plugin registry in the cache folder). Figures only.
#include <gtk/gtk.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "adnet/AdNetwork.h"
#include "ads/core/GADEndpoints.h"
#include "app/BlorvikAppDelegate.h"
#include "app/BlorvikViewController.h"
#include "bench/RunFigures.h"
#include "bench/StallMeter.h"
#include "platform/Application.h"
#include "platform/RunLoop.h"
#include "platform/View.h"
#include "platform/Window.h"
#include "platform/gtk/GtkPeer.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

GtkWidget* findButton(GtkWidget* root, const char* label) {
  if (GTK_IS_BUTTON(root)) {
    const char* text = gtk_button_get_label(GTK_BUTTON(root));
    if (text && std::string(text) == label) return root;
  }
  for (GtkWidget* child = gtk_widget_get_first_child(root); child; child = gtk_widget_get_next_sibling(child))
    if (GtkWidget* found = findButton(child, label)) return found;
  return nullptr;
}

}  // namespace

int main() {
  // An empty cache folder of its own, whatever ran before.
  char pattern[] = "/tmp/first-use-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 2;
  const std::filesystem::path cache = pattern;
  setenv("XDG_CACHE_HOME", pattern, 1);

  const auto launched = RunFigures::Clock::now();
  auto& toolkit = platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  StallMeter stalls;
  adnet::AdNetwork network;
  GADEndpoints::setForTesting(
      GADEndpoints::Overrides{network.staticContentHost(), network.adServerBaseURL(), "127.0.0.1"});
  using platform::Application;
  Application::registerDelegateClass("BlorvikAppDelegate", [] { return std::make_shared<BlorvikAppDelegate>(); });
  Application::registerViewControllerClass("BlorvikViewController",
                                           [] { return std::make_shared<BlorvikViewController>(); });
  const auto launching = RunFigures::Clock::now();
  if (!Application::shared().launch()) return 2;
  const double launchCall = RunFigures::millisecondsSince(launching);
  auto& loop = platform::RunLoop::main();
  if (!loop.runUntil([&] { return network.requestCount("/zovo/imp") >= 1; }, 30)) {
    std::fprintf(stderr, "no ad was shown\n");
    return 1;
  }
  const double toAd = RunFigures::millisecondsSince(launched);
  const double launchStall = stalls.longest();

  auto& screen = dynamic_cast<BlorvikViewController&>(*Application::shared().keyWindow()->rootViewController());
  GtkWidget* gas = findButton(platform::gtk::widgetOfPeer(screen.view()->peer()), "Gas");
  if (!gas) return 2;
  stalls.restart();
  const auto pressed = RunFigures::Clock::now();
  g_signal_emit_by_name(gas, "clicked");
  const double pressCall = RunFigures::millisecondsSince(pressed);
  if (!loop.runUntil([&] { return toolkit.playingSoundCount() == 0; }, 15)) std::fprintf(stderr, "the sound never ended\n");
  const double toEnd = RunFigures::millisecondsSince(pressed);

  std::printf("start to first ad shown  %8.1f ms   longest main-loop stall %7.1f ms (the launch call %.1f ms)\n", toAd,
              launchStall, launchCall);
  std::printf("first sound: the press    %8.1f ms   longest main-loop stall %7.1f ms   to its end %7.1f ms\n",
              pressCall, stalls.longest(), toEnd);
  Application::shared().setDelegate(nullptr);
  std::filesystem::remove_all(cache);
  return 0;
}
