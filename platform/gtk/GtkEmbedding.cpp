#include "platform/gtk/GtkEmbedding.h"

#include "platform/View.h"
#include "platform/gtk/GtkToolkit.h"
#include "platform/gtk/GtkWebViewSettings.h"

namespace platform::gtk {

void GtkEmbedding::install() {
  GtkToolkit::install(GtkToolkit::InitGtk::No);
  // The ads' web process starts while the application draws its window.
  GtkWebViewSettings::startWebProcessSoon();
}

GtkWidget* GtkEmbedding::widgetOf(platform::View& view) {
  auto* handle = view.peer() ? static_cast<GObject*>(view.peer()->toolkitHandle()) : nullptr;
  return handle && GTK_IS_WIDGET(handle) ? GTK_WIDGET(handle) : nullptr;
}

}  // namespace platform::gtk
