#include "platform/gtk/GtkEmbedding.h"

#include "platform/Application.h"
#include "platform/View.h"
#include "platform/gtk/GtkPeer.h"
#include "platform/gtk/GtkToolkit.h"
#include "platform/gtk/GtkWebViewSettings.h"

namespace platform::gtk {

namespace {

// The host's windows stand for the application's: its banner is seen while
// one of them is shown and not minimised (or while the host starts, before
// it has shown one), and the host has quit when its last window has gone.
bool hostShowedWindow = false;
bool hostHadWindow = false;

bool isSeen(GtkWidget* window) {
  if (!gtk_widget_get_mapped(window)) return false;
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
  return surface && GDK_IS_TOPLEVEL(surface) &&
         !(gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED);
}

void followHostWindows() {
  GListModel* toplevels = gtk_window_get_toplevels();
  const guint count = g_list_model_get_n_items(toplevels);
  bool seen = !hostShowedWindow;
  for (guint i = 0; i < count && !seen; ++i) {
    auto* window = static_cast<GtkWidget*>(g_list_model_get_item(toplevels, i));
    seen = isSeen(window);
    g_object_unref(window);
  }
  Application::shared().setMinimized(!seen);
}

void onSurfaceState(GdkSurface*, GParamSpec*, gpointer) { followHostWindows(); }

void onWindowMapped(GtkWidget* window, gpointer) {
  hostShowedWindow = true;
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
  if (surface && !g_object_get_data(G_OBJECT(surface), "blorvik-followed")) {
    g_object_set_data(G_OBJECT(surface), "blorvik-followed", GINT_TO_POINTER(1));
    g_signal_connect(surface, "notify::state", G_CALLBACK(onSurfaceState), nullptr);
  }
  followHostWindows();
}

void onWindowUnmapped(GtkWidget*, gpointer) { followHostWindows(); }

void watch(GtkWidget* window) {
  if (g_object_get_data(G_OBJECT(window), "blorvik-followed")) return;
  g_object_set_data(G_OBJECT(window), "blorvik-followed", GINT_TO_POINTER(1));
  g_signal_connect(window, "map", G_CALLBACK(onWindowMapped), nullptr);
  g_signal_connect(window, "unmap", G_CALLBACK(onWindowUnmapped), nullptr);
  if (gtk_widget_get_mapped(window)) onWindowMapped(window, nullptr);
}

void onToplevelsChanged(GListModel* toplevels, guint position, guint, guint added, gpointer) {
  for (guint i = position; i < position + added; ++i) {
    auto* window = static_cast<GtkWidget*>(g_list_model_get_item(toplevels, i));
    watch(window);
    g_object_unref(window);
  }
  const guint count = g_list_model_get_n_items(toplevels);
  if (count > 0) hostHadWindow = true;
  followHostWindows();
  // What is kept at exit (the statistics' timings) is kept now: the host's
  // main loop ends with its last window, and no later hook is ours.
  if (count == 0 && hostHadWindow) {
    hostHadWindow = hostShowedWindow = false;
    Application::shared().willTerminate();
  }
}

}  // namespace

void GtkEmbedding::install() {
  GtkToolkit::install(GtkToolkit::InitGtk::No);
  // The ads' web process starts while the application draws its window.
  GtkWebViewSettings::startWebProcessSoon();
  // The host has launched; from now on its windows say whether the banner
  // is seen, so an unseen banner does not refresh.
  Application::shared().finishLaunching();
  GListModel* toplevels = gtk_window_get_toplevels();
  g_signal_connect(toplevels, "items-changed", G_CALLBACK(onToplevelsChanged), nullptr);
  const guint count = g_list_model_get_n_items(toplevels);
  onToplevelsChanged(toplevels, 0, 0, count, nullptr);
}

GtkWidget* GtkEmbedding::widgetOf(platform::View& view) { return widgetOfPeer(view.peer()); }

}  // namespace platform::gtk
