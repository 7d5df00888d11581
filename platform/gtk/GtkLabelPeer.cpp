#include "platform/gtk/GtkLabelPeer.h"

namespace platform::gtk {

GtkLabelPeer::GtkLabelPeer() : GtkPeer(gtk_label_new(nullptr)) {
  gtk_label_set_wrap(GTK_LABEL(widget()), TRUE);
  gtk_label_set_justify(GTK_LABEL(widget()), GTK_JUSTIFY_CENTER);
  // Without a width in characters a wrapping label asks for the widest
  // word only and GTK lays it out narrower than its frame.
  gtk_label_set_max_width_chars(GTK_LABEL(widget()), 1);
}

void GtkLabelPeer::setText(const std::string& text) { gtk_label_set_text(GTK_LABEL(widget()), text.c_str()); }

}  // namespace platform::gtk
