#include "platform/gtk/GtkButtonPeer.h"

#include "platform/gtk/GtkImages.h"

namespace platform::gtk {

GtkButtonPeer::GtkButtonPeer(std::weak_ptr<ButtonClient> client) : GtkPeer(gtk_button_new()), client_(std::move(client)) {
  clicked_ = ScopedSignal(widget(), g_signal_connect(widget(), "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
                                                       auto* self = static_cast<GtkButtonPeer*>(data);
                                                       if (auto client = self->client_.lock()) client->peerWasPressed();
                                                     }),
                                                     this));
}

void GtkButtonPeer::setTitle(const std::string& title) {
  title_ = title;
  if (!hasImage_) gtk_button_set_label(GTK_BUTTON(widget()), title.c_str());
}

void GtkButtonPeer::setImage(const std::shared_ptr<const Image>& image) {
  hasImage_ = image != nullptr;
  if (!image) {
    gtk_button_set_label(GTK_BUTTON(widget()), title_.c_str());
    gtk_widget_remove_css_class(widget(), "image-button");
    return;
  }
  gtk_button_set_child(GTK_BUTTON(widget()), newPictureOfImage(*image));
  // The artwork is the whole button: no frame or padding around it.
  gtk_widget_add_css_class(widget(), "image-button");
  gtk_widget_add_css_class(widget(), "flat");
}

void GtkButtonPeer::setEnabled(bool enabled) { gtk_widget_set_sensitive(widget(), enabled); }

// A flat GTK button already lights up while pressed: that is the glow.
void GtkButtonPeer::setShowsTouchWhenHighlighted(bool) {}

}  // namespace platform::gtk
