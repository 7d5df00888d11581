#include "platform/gtk/GtkActivityIndicatorPeer.h"

namespace platform::gtk {

GtkActivityIndicatorPeer::GtkActivityIndicatorPeer()
    : GtkPeer(gtk_spinner_new()), colour_(GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new())) {
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget()), GTK_STYLE_PROVIDER(colour_.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

void GtkActivityIndicatorPeer::setAnimating(bool animating) { gtk_spinner_set_spinning(GTK_SPINNER(widget()), animating); }

void GtkActivityIndicatorPeer::setStyle(int style) {
  const char* css = style == ActivityIndicator::kStyleGray ? "* { color: #808080; }" : "* { color: #ffffff; }";
  gtk_css_provider_load_from_data(colour_.get(), css, -1);
}

}  // namespace platform::gtk
