#include "platform/gtk/GtkButtonPeer.h"

namespace platform::gtk {

GtkButtonPeer::GtkButtonPeer(std::weak_ptr<ButtonClient> client) : GtkPeer(gtk_button_new()), client_(std::move(client)) {
  clicked_ = ScopedSignal(widget(), g_signal_connect(widget(), "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
                                                       auto* self = static_cast<GtkButtonPeer*>(data);
                                                       if (auto client = self->client_.lock()) client->peerWasPressed();
                                                     }),
                                                     this));
}

void GtkButtonPeer::setTitle(const std::string& title) { gtk_button_set_label(GTK_BUTTON(widget()), title.c_str()); }

}  // namespace platform::gtk
