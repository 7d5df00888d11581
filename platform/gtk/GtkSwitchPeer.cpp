#include "platform/gtk/GtkSwitchPeer.h"

namespace platform::gtk {

GtkSwitchPeer::GtkSwitchPeer(std::weak_ptr<SwitchClient> client) : GtkPeer(gtk_switch_new()), client_(std::move(client)) {
  // A switch is as wide as its track; it sits at the start of its frame.
  gtk_widget_set_halign(widget(), GTK_ALIGN_START);
  gtk_widget_set_valign(widget(), GTK_ALIGN_CENTER);
  changed_ = ScopedSignal(widget(), g_signal_connect(widget(), "notify::active",
                                                     G_CALLBACK(+[](GObject* object, GParamSpec*, gpointer data) {
                                                       auto* self = static_cast<GtkSwitchPeer*>(data);
                                                       if (self->settingFromProgram_) return;
                                                       const bool on = gtk_switch_get_active(GTK_SWITCH(object));
                                                       if (auto client = self->client_.lock()) client->peerWasFlipped(on);
                                                     }),
                                                     this));
}

void GtkSwitchPeer::setOn(bool on) {
  settingFromProgram_ = true;
  gtk_switch_set_active(GTK_SWITCH(widget()), on);
  settingFromProgram_ = false;
}

}  // namespace platform::gtk
