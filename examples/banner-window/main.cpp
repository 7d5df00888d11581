// A plain GTK 4 window with an ad banner at its bottom, built against the
// installed ad client (find_package(BlorvikAds) or pkg-config blorvik-ads).
// It prints "ad received" when the first ad shows, and with --exit-on-ad
// quits then (status 0), or after 30 seconds without one (status 1).
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "ads/core/GADBannerView.h"
#include "ads/core/GADBannerViewDelegate.h"
#include "ads/core/GADRequestError.h"
#include "ads/request/GADPrivacySettings.h"
#include "ads/request/GADRequest.h"
#include "platform/ViewController.h"
#include "platform/gtk/GtkEmbedding.h"

namespace {

bool exitOnAd = false;
int status = 1;

struct Events : GADBannerViewDelegate {
  void adViewDidReceiveAd(GADBannerView*) override {
    std::puts("ad received");
    if (exitOnAd) status = 0, g_main_context_wakeup(nullptr);
  }
  void adViewDidFailToReceiveAdWithError(GADBannerView*, const GADRequestError& error) override {
    std::printf("no ad: %s\n", error.localizedDescription().c_str());
  }
};

}  // namespace

int main(int argc, char** argv) {
  exitOnAd = argc > 1 && std::strcmp(argv[1], "--exit-on-ad") == 0;
  gtk_init();
  platform::gtk::GtkEmbedding::install();
  // Whether this program's user allows personalised ads is this program's
  // question, asked in its own words and kept in its own settings; the
  // banner never asks. Until told Allowed it sends no identifier.
  const bool userAllowedPersonalisedAds = false;
  GADPrivacySettings::setPersonalisedAds(userAllowedPersonalisedAds ? GADPersonalisedAds::Allowed
                                                                    : GADPersonalisedAds::Declined);

  GtkWidget* window = gtk_window_new();
  gtk_window_set_title(GTK_WINDOW(window), "A window with a banner");
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  GtkWidget* text = gtk_label_new("This window's own content.");
  gtk_widget_set_vexpand(text, TRUE);
  gtk_box_append(GTK_BOX(box), text);

  // The banner, its delegate and the controller full-screen ads present from.
  auto controller = std::make_shared<platform::ViewController>();
  auto events = std::make_shared<Events>();
  auto banner = GADBannerView::create(platform::Rect(0, 0, 320, 50));
  banner->setAdUnitID("a1b2c3d4e5f6071");
  banner->setRootViewController(controller.get());
  banner->setDelegate(events);
  GtkWidget* slot = platform::gtk::GtkEmbedding::widgetOf(*banner);
  gtk_widget_set_halign(slot, GTK_ALIGN_CENTER);
  gtk_box_append(GTK_BOX(box), slot);
  gtk_window_set_child(GTK_WINDOW(window), box);
  gtk_window_set_default_size(GTK_WINDOW(window), 360, 240);
  gtk_window_present(GTK_WINDOW(window));
  banner->loadRequest(GADRequest::request());

  bool late = false;
  if (exitOnAd) g_timeout_add_once(30000, [](gpointer late) { *static_cast<bool*>(late) = true; }, &late);
  while (!late && !(exitOnAd && status == 0) && g_list_model_get_n_items(gtk_window_get_toplevels()) > 0)
    g_main_context_iteration(nullptr, TRUE);
  if (exitOnAd) gtk_window_destroy(GTK_WINDOW(window));
  return exitOnAd ? status : 0;
}
