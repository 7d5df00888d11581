#include "platform/gtk/GtkActivityIndicatorPeer.h"

namespace platform::gtk {

GtkActivityIndicatorPeer::GtkActivityIndicatorPeer()
    : GtkPeer(gtk_spinner_new()), colour_(addStyleProvider(widget())) {}

void GtkActivityIndicatorPeer::setAnimating(bool animating) { gtk_spinner_set_spinning(GTK_SPINNER(widget()), animating); }

void GtkActivityIndicatorPeer::setStyle(int style) {
  const char* css = style == ActivityIndicator::kStyleGray ? "* { color: #808080; }" : "* { color: #ffffff; }";
  gtk_css_provider_load_from_data(colour_.get(), css, -1);
}

}  // namespace platform::gtk
