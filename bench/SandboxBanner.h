// A banner showing an ad from the sandbox ad network (on loopback, with a
// cache folder of its own) at the bottom of a real window, for the window
// benchmarks. The banner's refresh is stopped once the ad is shown.
#pragma once

#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "adnet/AdNetwork.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/request/GADRequest.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "platform/gtk/GtkWindowPeer.h"
// Last: X11's headers define names (None) that the others use.
#include <gdk/x11/gdkx.h>

class SandboxBanner {
 public:
  class Events : public GADBannerViewDelegate {
   public:
    int received = 0, failed = 0;
    void adViewDidReceiveAd(GADBannerView*) override { ++received; }
    void adViewDidFailToReceiveAdWithError(GADBannerView*, const GADRequestError&) override { ++failed; }
  };

  explicit SandboxBanner(const std::string& name)
      : caches(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))),
        window(platform::gtk::GtkWindowPeer::load(platform::Bundle::main().resourcesPath() / "MainWindow.ui")) {
    GADEndpoints::setForTesting(
        GADEndpoints::Overrides{network.staticContentHost(), network.adServerBaseURL(), "127.0.0.1"});
    platform::FileManager::setCachesDirectoryForTesting(caches);
    window.setRootViewController(root);
    window.makeKeyAndVisible();
    banner->setAdUnitID("a1b2c3d4e5f6071");
    banner->setRootViewController(root.get());
    banner->setDelegate(events);
    root->view()->addSubview(banner);
  }
  ~SandboxBanner() {
    banner->removeFromSuperview();
    banner.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    std::filesystem::remove_all(caches);
  }

  // Loads the first ad; false (with a line on stderr) when none came.
  bool showAd() {
    banner->loadRequest(GADRequest::request());
    if (!platform::RunLoop::main().runUntil([&] { return events->received == 1; }, 30)) {
      std::fprintf(stderr, "no ad\n");
      return false;
    }
    loader()->cancelPendingActions();  // no refresh under the measurements
    return true;
  }
  std::shared_ptr<GADObjectPrivate> loader() const { return banner->privateObject(); }
  // Milliseconds since the pointer's release (the click) reached the
  // banner's page (as its web view saw it); nullopt before any.
  std::optional<double> millisecondsSinceClick() const {
    const auto seconds = loader()->webView()->secondsSinceUserActivation();
    return seconds ? std::optional<double>(*seconds * 1000) : std::nullopt;
  }
  // A user's click on the shown creative: a real X pointer event by
  // xdotool (a click a script dispatches is no user's), near the creative's
  // left edge, where its link is. The time includes xdotool's own run.
  void click() const {
    platform::RunLoop::main().runFor(0.05);  // what the loop has to draw is drawn first
    auto* widget = static_cast<GtkWidget*>(loader()->webView()->peer()->toolkitHandle());
    GtkNative* native = gtk_widget_get_native(widget);
    graphene_point_t in = GRAPHENE_POINT_INIT(20.f, 25.f), out;
    if (!native || !gtk_widget_compute_point(widget, GTK_WIDGET(native), &in, &out)) return;
    double dx = 0, dy = 0;
    gtk_native_get_surface_transform(native, &dx, &dy);
    const std::string window = std::to_string(gdk_x11_surface_get_xid(gtk_native_get_surface(native)));
    const std::string x = std::to_string(static_cast<int>(out.x + dx)), y = std::to_string(static_cast<int>(out.y + dy));
    const char* argv[] = {"xdotool", "mousemove", "--window", window.c_str(), x.c_str(), y.c_str(), "click", "1", nullptr};
    g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr,
                 nullptr, nullptr);
  }

  adnet::AdNetwork network;
  std::filesystem::path caches;
  platform::Window window;
  std::shared_ptr<platform::ViewController> root = std::make_shared<platform::ViewController>();
  std::shared_ptr<Events> events = std::make_shared<Events>();
  std::shared_ptr<GADBannerView> banner = GADBannerView::create(platform::Rect(0, 410, 320, 50));
};
