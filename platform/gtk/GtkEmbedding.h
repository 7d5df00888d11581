// What another GTK 4 application needs to show the ad client's banner in
// its own widgets: the client's toolkit installed on the application's
// GTK, and a view's GTK widget. The application runs its own main loop
// (GLib's default context), which the client's work runs on. Main thread
// only.
#pragma once

#include <gtk/gtk.h>

namespace platform {
class View;
}

namespace platform::gtk {

class GtkEmbedding {
 public:
  // Once, after GTK is initialised (gtk_init, or a GtkApplication's
  // startup) and before the first banner is made.
  static void install();
  // The widget that shows `view` (a banner), for the application's own
  // containers; owned by the view, which must outlive its use.
  static GtkWidget* widgetOf(platform::View& view);
};

}  // namespace platform::gtk
