#include "platform/gtk/GtkEmbedding.h"

#include "platform/View.h"
#include "platform/gtk/GtkPeer.h"
#include "platform/gtk/GtkToolkit.h"
#include "platform/gtk/GtkWebViewSettings.h"

namespace platform::gtk {

void GtkEmbedding::install() {
  GtkToolkit::install(GtkToolkit::InitGtk::No);
  // The ads' web process starts while the application draws its window.
  GtkWebViewSettings::startWebProcessSoon();
}

GtkWidget* GtkEmbedding::widgetOf(platform::View& view) { return widgetOfPeer(view.peer()); }

}  // namespace platform::gtk
